#include "host/Registration.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/AnsiBytes.h"
#include "platform/Text.h"

namespace tolvan::host {
namespace {

constexpr char16_t kDisplayName[] = u"Tolvan";
constexpr char16_t kDescription[] = u"VBのヘッダーコメントを生成します";
constexpr uint32_t kLoadBehavior = 1;
constexpr uint32_t kCommandLineSafe = 1;

// A string value as the registry holds it: ANSI bytes and a NUL.
Result<RegValue> StringValue(std::u16string_view text) {
  Result<std::string> bytes = EncodeAnsi(text);
  if (!bytes) return bytes.status();
  return RegValue{kRegSz, *bytes + '\0'};
}

RegValue DwordValue(uint32_t n) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  return RegValue{kRegDword, data};
}

bool IsBelow(std::string_view path, std::string_view ancestor) {
  return path.size() > ancestor.size() + 1 && path[ancestor.size()] == '\\' &&
         ansi::EqualsIgnoreCase(path.substr(0, ancestor.size()), ancestor);
}

bool HasKeys(const RegistryTree& tree, std::string_view path) {
  for (const RegistryTree::Key* key : tree.Keys()) {
    if (key->root == kHkeyCurrentUser && IsBelow(key->path, path)) return true;
  }
  return false;
}

std::string Parent(std::string_view path) {
  size_t cut = ansi::FindLast(path, '\\');
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

}  // namespace

Status DllRegisterServer(RegistryStore& store) {
  Result<RegValue> name = StringValue(kDisplayName);
  if (!name) return name.status();
  Result<RegValue> description = StringValue(kDescription);
  if (!description) return description.status();
  return store.Update([&](RegistryTree& tree) -> Status {
    const std::pair<const char*, RegValue> values[] = {
        {"FriendlyName", *name},
        {"Description", *description},
        {"LoadBehavior", DwordValue(kLoadBehavior)},
        {"CommandLineSafe", DwordValue(kCommandLineSafe)},
    };
    for (const auto& [value_name, value] : values) {
      if (Status s = tree.SetValue(kHkeyCurrentUser, kAddInKey, value_name, value); !s) return s;
    }
    return Status::Ok();
  });
}

Status DllUnregisterServer(RegistryStore& store) {
  return store.Update([&](RegistryTree& tree) -> Status {
    if (!tree.FindKey(kHkeyCurrentUser, kAddInKey)) return Status::Ok();
    // Keys of our own below the add-in's key go first, children before
    // their parents.
    std::vector<std::string> doomed;
    for (const RegistryTree::Key* key : tree.Keys()) {
      if (key->root == kHkeyCurrentUser && IsBelow(key->path, kAddInKey)) {
        doomed.push_back(key->path);
      }
    }
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
      if (Status s = tree.DeleteKey(kHkeyCurrentUser, *it); !s) return s;
    }
    if (Status s = tree.DeleteKey(kHkeyCurrentUser, kAddInKey); !s) return s;
    // Keys that registering created on the way hold nothing now; a key that
    // holds anything stays, and so does everything above it.
    for (std::string path = Parent(kAddInKey); !path.empty(); path = Parent(path)) {
      const RegistryTree::Key* key = tree.FindKey(kHkeyCurrentUser, path);
      if (!key || !key->values.empty() || HasKeys(tree, path)) break;
      if (Status s = tree.DeleteKey(kHkeyCurrentUser, path); !s) return s;
    }
    return Status::Ok();
  });
}

}  // namespace tolvan::host
