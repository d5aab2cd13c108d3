#include "settings/RegistryStore.h"

#include "platform/AnsiBytes.h"

namespace tolvan {
namespace {

std::string JoinPath(std::string_view parent, std::string_view child) {
  if (parent.empty()) return std::string(child);
  if (child.empty()) return std::string(parent);
  return std::string(parent) + "\\" + std::string(child);
}

}  // namespace

std::string_view RootKeyName(uint32_t root) {
  switch (root) {
    case kHkeyClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser:
      return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    default:
      return {};
  }
}

Result<std::string> NormaliseKeyPath(std::string_view path) {
  if (!path.empty() && path.back() == '\\' && ansi::FindLast(path, '\\') == path.size() - 1) {
    path.remove_suffix(1);
  }
  if (path.empty()) return std::string();
  for (unsigned char b : path) {
    if (b < 0x20 || b == 0x7F)
      return Status::Error("a registry key name cannot hold control characters");
  }
  for (std::string_view name : ansi::Split(path, '\\')) {
    if (name.empty())
      return Status::Error("the registry key path \"" + std::string(path) +
                           "\" has an empty key name");
  }
  return std::string(path);
}

const RegistryTree::Key* RegistryTree::FindKey(uint32_t root, std::string_view path) const {
  if (RootKeyName(root).empty()) return nullptr;
  auto normal = NormaliseKeyPath(path);
  if (!normal) return nullptr;
  auto it = keys_.find({root, ansi::FoldCase(*normal)});
  if (it != keys_.end()) return &it->second;
  if (normal->empty()) {
    // A root key always exists, values or not.
    static const Key kEmptyRoots[3] = {{kHkeyClassesRoot, "", {}, {}},
                                       {kHkeyCurrentUser, "", {}, {}},
                                       {kHkeyLocalMachine, "", {}, {}}};
    return &kEmptyRoots[root - kHkeyClassesRoot];
  }
  return nullptr;
}

const RegValue* RegistryTree::FindValue(uint32_t root, std::string_view path,
                                        std::string_view name) const {
  const Key* key = FindKey(root, path);
  if (!key) return nullptr;
  auto at = key->positions.find(ansi::FoldCase(name));
  return at == key->positions.end() ? nullptr : &key->values[at->second].second;
}

Status RegistryTree::CreateKey(uint32_t root, std::string_view path) {
  if (RootKeyName(root).empty()) return Status::Error("unknown registry root key");
  auto normal = NormaliseKeyPath(path);
  if (!normal) return normal.status();
  std::string so_far;
  for (std::string_view name : ansi::Split(*normal, '\\')) {
    if (name.empty()) break;  // the root itself
    so_far = JoinPath(so_far, name);
    auto id = std::make_pair(root, ansi::FoldCase(so_far));
    if (!keys_.count(id)) keys_.emplace(id, Key{root, so_far, {}, {}});
  }
  return Status::Ok();
}

Status RegistryTree::SetValue(uint32_t root, std::string_view path, std::string_view name,
                              RegValue value) {
  for (unsigned char b : name) {
    if (b < 0x20 || b == 0x7F)
      return Status::Error("a registry value name cannot hold control characters");
  }
  if (Status s = CreateKey(root, path); !s) return s;
  std::string normal = *NormaliseKeyPath(path);
  auto id = std::make_pair(root, ansi::FoldCase(normal));
  Key& key = keys_.try_emplace(id, Key{root, normal, {}, {}}).first->second;
  auto [at, added] = key.positions.try_emplace(ansi::FoldCase(name), key.values.size());
  if (added) {
    key.values.emplace_back(std::string(name), std::move(value));
  } else {
    key.values[at->second].second = std::move(value);
  }
  return Status::Ok();
}

Status RegistryTree::DeleteKey(uint32_t root, std::string_view path) {
  auto normal = NormaliseKeyPath(path);
  if (!normal) return normal.status();
  if (normal->empty()) return Status::Error("a root key cannot be deleted");
  std::string folded = ansi::FoldCase(*normal);
  auto it = keys_.find({root, folded});
  if (it == keys_.end()) {
    return Status::Error("the registry key " + std::string(RootKeyName(root)) + "\\" + *normal +
                         " does not exist");
  }
  auto next = std::next(it);
  if (next != keys_.end() && next->first.first == root &&
      next->first.second.compare(0, folded.size() + 1, folded + "\\") == 0) {
    return Status::Error("the registry key " + std::string(RootKeyName(root)) + "\\" +
                         it->second.path + " has keys of its own and is not deleted");
  }
  keys_.erase(it);
  return Status::Ok();
}

std::vector<const RegistryTree::Key*> RegistryTree::Keys() const {
  std::vector<const Key*> out;
  for (const auto& [id, key] : keys_) {
    if (key.path.empty() && key.values.empty()) continue;
    out.push_back(&key);
  }
  return out;
}

bool RegistryTree::operator==(const RegistryTree& other) const {
  auto a = Keys(), b = other.Keys();
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i]->root != b[i]->root || a[i]->path != b[i]->path || a[i]->values != b[i]->values) {
      return false;
    }
  }
  return true;
}

Result<std::optional<RegValue>> RegistryStore::QueryValue(uint32_t root, std::string_view path,
                                                          std::string_view name) {
  auto tree = Read();
  if (!tree) return tree.status();
  const RegValue* value = tree->FindValue(root, path, name);
  if (!value) return std::optional<RegValue>();
  return std::optional<RegValue>(*value);
}

Status RegistryStore::SetValue(uint32_t root, std::string_view path, std::string_view name,
                               const RegValue& value) {
  return Update([&](RegistryTree& tree) { return tree.SetValue(root, path, name, value); });
}

Status RegistryStore::DeleteKey(uint32_t root, std::string_view parent, std::string_view child) {
  return Update([&](RegistryTree& tree) -> Status {
    auto parent_path = NormaliseKeyPath(parent);
    if (!parent_path) return parent_path.status();
    if (!tree.FindKey(root, *parent_path)) {
      return Status::Error("the registry key " + std::string(RootKeyName(root)) + "\\" +
                           *parent_path + " does not exist");
    }
    auto child_path = NormaliseKeyPath(child);
    if (!child_path) return child_path.status();
    if (child_path->empty()) return Status::Error("no registry key to delete was named");
    return tree.DeleteKey(root, JoinPath(*parent_path, *child_path));
  });
}

Status MemoryRegistryStore::Update(const std::function<Status(RegistryTree&)>& change) {
  RegistryTree copy = tree_;
  if (Status s = change(copy); !s) return s;
  if (fail_writes_) return Status::Error("cannot write the registry: writing is switched off");
  tree_ = std::move(copy);
  return Status::Ok();
}

}  // namespace tolvan
