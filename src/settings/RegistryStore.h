// The registry behind clsReg. On Windows the add-in's values live in the
// system registry; here they live in a store of our own with the same shape:
// three root keys, each holding a tree of keys, each key holding named values
// of a registry type (string, binary, 32-bit number...) with their bytes
// exactly as the registry would hold them (a string value is its ANSI bytes
// with the terminating NUL).
//
// Names cross in the ANSI code page (CP932) and are compared as Windows
// compares them: ASCII letters without regard to case. A key path is its
// names joined with '\'.
//
// RegistryStore is the seam: the file-backed store (FileRegistryStore.h) for
// the real machine, MemoryRegistryStore for tests and for runs that must not
// touch the user's registry. On Windows the machine's own registry stands
// behind it (WindowsRegistryStore.h), reached one value at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Status.h"

namespace tolvan {

// Registry value types, with the codes the registry gives them.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

// Predefined root keys.
inline constexpr uint32_t kHkeyClassesRoot = 0x80000000u;
inline constexpr uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr uint32_t kHkeyLocalMachine = 0x80000002u;

// "HKEY_CURRENT_USER" for 0x80000001; empty for a value that is no root.
std::string_view RootKeyName(uint32_t root);

struct RegValue {
  uint32_t type = kRegSz;
  std::string data;  // the value's bytes as stored
  bool operator==(const RegValue&) const = default;
};

// A whole registry in memory: keys by path under their root, values by name.
class RegistryTree {
 public:
  struct Key {
    uint32_t root = 0;
    // The key's path below its root as first created (its own spelling is
    // kept, as Windows keeps it); empty for a root key itself.
    std::string path;
    // In the order first written.
    std::vector<std::pair<std::string, RegValue>> values;
    // Where each value is in `values`, by its name with ASCII letters folded,
    // so that a key of many values is found and written in constant time.
    std::unordered_map<std::string, size_t> positions;
  };

  // nullptr when the key does not exist. An empty path is the root key,
  // which always exists (for a known root).
  const Key* FindKey(uint32_t root, std::string_view path) const;
  // nullptr when the key or the value does not exist.
  const RegValue* FindValue(uint32_t root, std::string_view path, std::string_view name) const;

  // Creates the key and every missing key above it.
  Status CreateKey(uint32_t root, std::string_view path);
  Status SetValue(uint32_t root, std::string_view path, std::string_view name, RegValue value);
  // Deletes one key, which must exist and hold no keys of its own.
  Status DeleteKey(uint32_t root, std::string_view path);

  // Every key that exists (roots only when they hold values), parents before
  // their children.
  std::vector<const Key*> Keys() const;

  bool operator==(const RegistryTree& other) const;

 private:
  // Keys by root and folded path, so that a parent sorts before its children.
  std::map<std::pair<uint32_t, std::string>, Key> keys_;
};

// Checks a key path: names joined with '\', none empty (a single trailing '\'
// is allowed and dropped), no control characters. Returns the path without
// the trailing '\'.
Result<std::string> NormaliseKeyPath(std::string_view path);

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // A snapshot of the whole store.
  virtual Result<RegistryTree> Read() = 0;
  // Applies `change` to the store as one update: other writers wait, and
  // nothing is changed unless `change` succeeds and the store is written.
  virtual Status Update(const std::function<Status(RegistryTree&)>& change) = 0;

  // The operations clsReg needs, one value or key at a time. These work
  // through Read() and Update(); a store that cannot hand out its whole tree
  // (the Windows registry) does them on its own.
  //
  // The value, or nullopt when its key or the value itself does not exist.
  virtual Result<std::optional<RegValue>> QueryValue(uint32_t root, std::string_view path,
                                                     std::string_view name);
  // Creates the key (and the keys above it) as needed.
  virtual Status SetValue(uint32_t root, std::string_view path, std::string_view name,
                          const RegValue& value);
  // Deletes `child` of `parent`; the parent must exist, and the child must
  // exist and hold no keys of its own.
  virtual Status DeleteKey(uint32_t root, std::string_view parent, std::string_view child);
};

// A registry held in memory, for tests and for runs that must leave the
// user's registry alone. `FailWrites` makes every update fail, to try the
// callers' failure paths.
class MemoryRegistryStore : public RegistryStore {
 public:
  MemoryRegistryStore() = default;
  explicit MemoryRegistryStore(RegistryTree tree) : tree_(std::move(tree)) {}

  Result<RegistryTree> Read() override { return tree_; }
  Status Update(const std::function<Status(RegistryTree&)>& change) override;

  void FailWrites(bool fail) { fail_writes_ = fail; }
  const RegistryTree& tree() const { return tree_; }

 private:
  RegistryTree tree_;
  bool fail_writes_ = false;
};

}  // namespace tolvan
