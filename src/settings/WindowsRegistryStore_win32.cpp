// The registry store of WindowsRegistryStore.h.
//
// No KEY_WOW64_32KEY or KEY_WOW64_64KEY is asked for: the add-in's values
// are read and written in the registry view of its own bitness, so a 32-bit
// tolvan.dll finds "InstallPath" where a 32-bit installer put it. The values
// below HKEY_CURRENT_USER\Software are the same in both views anyway.
#include <windows.h>

#include "platform/Text.h"
#include "platform/WindowsError.h"
#include "settings/WindowsRegistryStore.h"

namespace tolvan {
namespace {

// The predefined keys are sign-extended handles on 64-bit Windows, so the
// store's 32-bit numbers are matched rather than cast.
HKEY RootHandle(uint32_t root) {
  switch (root) {
    case kHkeyClassesRoot:
      return HKEY_CLASSES_ROOT;
    case kHkeyCurrentUser:
      return HKEY_CURRENT_USER;
    case kHkeyLocalMachine:
      return HKEY_LOCAL_MACHINE;
    default:
      return nullptr;
  }
}

bool IsString(uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// A key's full name for messages, in UTF-8: "HKEY_CURRENT_USER\SOFTWARE\...".
std::string KeyName(uint32_t root, std::string_view path) {
  std::string name(RootKeyName(root));
  if (!path.empty()) {
    auto text = DecodeAnsi(path);
    name += "\\" + (text ? Utf16ToUtf8(*text) : std::string(path));
  }
  return name;
}

std::string ValueName(uint32_t root, std::string_view path, std::string_view value) {
  auto text = DecodeAnsi(value);
  return KeyName(root, path) + "\\" + (text ? Utf16ToUtf8(*text) : std::string(value));
}

Status RegistryError(const std::string& what, LSTATUS status) {
  return Status::IoError("cannot " + what + ": " +
                         DescribeWindowsError(static_cast<unsigned long>(status)));
}

// An open key, closed when it goes.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (handle_) RegCloseKey(handle_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &handle_; }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

// A key path as the registry takes it: checked as the other stores check
// it, then in UTF-16.
Result<std::u16string> WidePath(std::string_view path) {
  auto normal = NormaliseKeyPath(path);
  if (!normal) return normal.status();
  return DecodeAnsi(*normal);
}

Status CheckValueName(std::string_view name) {
  for (unsigned char b : name) {
    if (b < 0x20 || b == 0x7F) {
      return Status::Error("a registry value name cannot hold control characters");
    }
  }
  return Status::Ok();
}

// The bytes of a value as the store holds them: a string type in CP932
// (terminating NULs and all), any other type as it is.
Result<RegValue> FromRegistry(DWORD type, std::string bytes) {
  if (!IsString(type)) return RegValue{type, std::move(bytes)};
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  auto ansi = EncodeAnsi(text);
  if (!ansi) return ansi.status();
  return RegValue{type, std::move(*ansi)};
}

Result<std::string> ToRegistry(const RegValue& value) {
  if (!IsString(value.type)) return value.data;
  auto text = DecodeAnsi(value.data);
  if (!text) return text.status();
  std::string bytes(text->size() * 2, '\0');
  for (size_t i = 0; i < text->size(); ++i) {
    bytes[2 * i] = static_cast<char>((*text)[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>((*text)[i] >> 8);
  }
  return bytes;
}

}  // namespace

Result<RegistryTree> WindowsRegistryStore::Read() {
  return Status::Error(
      "the Windows registry is read one value at a time and cannot be taken as a whole");
}

Status WindowsRegistryStore::Update(const std::function<Status(RegistryTree&)>&) {
  return Status::Error(
      "the Windows registry is changed one value at a time and cannot be replaced as a whole; "
      "to register the add-in on Windows, run regsvr32 on tolvan.dll");
}

Result<std::optional<RegValue>> WindowsRegistryStore::QueryValue(uint32_t root,
                                                                 std::string_view path,
                                                                 std::string_view name) {
  HKEY root_handle = RootHandle(root);
  if (!root_handle) return std::optional<RegValue>();
  auto wide_path = WidePath(path);
  if (!wide_path) return wide_path.status();
  auto wide_name = DecodeAnsi(name);
  if (!wide_name) return wide_name.status();

  Key key;
  LSTATUS status = RegOpenKeyExW(root_handle, Wide(*wide_path), 0, KEY_QUERY_VALUE, key.out());
  if (status == ERROR_FILE_NOT_FOUND) return std::optional<RegValue>();
  if (status != ERROR_SUCCESS) {
    return RegistryError("open the registry key " + KeyName(root, path), status);
  }
  DWORD type = 0;
  DWORD size = 0;
  status = RegQueryValueExW(key.get(), Wide(*wide_name), nullptr, &type, nullptr, &size);
  std::string bytes;
  // The value may grow between asking its size and reading it.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    bytes.resize(size);
    DWORD got = size;
    status = RegQueryValueExW(key.get(), Wide(*wide_name), nullptr, &type,
                              reinterpret_cast<BYTE*>(bytes.data()), &got);
    if (status == ERROR_SUCCESS) {
      bytes.resize(got);
      break;
    }
    if (status == ERROR_MORE_DATA) size = got > size ? got : size + 256;
  }
  if (status == ERROR_FILE_NOT_FOUND) return std::optional<RegValue>();
  if (status != ERROR_SUCCESS) {
    return RegistryError("read the registry value " + ValueName(root, path, name), status);
  }
  auto value = FromRegistry(type, std::move(bytes));
  if (!value) {
    return Status::Error("cannot read the registry value " + ValueName(root, path, name) + ": " +
                         value.message());
  }
  return std::optional<RegValue>(std::move(*value));
}

Status WindowsRegistryStore::SetValue(uint32_t root, std::string_view path, std::string_view name,
                                      const RegValue& value) {
  HKEY root_handle = RootHandle(root);
  if (!root_handle) return Status::Error("unknown registry root key");
  if (Status s = CheckValueName(name); !s) return s;
  auto wide_path = WidePath(path);
  if (!wide_path) return wide_path.status();
  auto wide_name = DecodeAnsi(name);
  if (!wide_name) return wide_name.status();
  auto bytes = ToRegistry(value);
  if (!bytes) {
    return Status::Error("cannot write the registry value " + ValueName(root, path, name) + ": " +
                         bytes.message());
  }

  Key key;
  LSTATUS status =
      RegCreateKeyExW(root_handle, Wide(*wide_path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.out(), nullptr);
  if (status != ERROR_SUCCESS) {
    return RegistryError("create the registry key " + KeyName(root, path), status);
  }
  status = RegSetValueExW(key.get(), Wide(*wide_name), 0, value.type,
                          reinterpret_cast<const BYTE*>(bytes->data()),
                          static_cast<DWORD>(bytes->size()));
  if (status != ERROR_SUCCESS) {
    return RegistryError("write the registry value " + ValueName(root, path, name), status);
  }
  return Status::Ok();
}

Status WindowsRegistryStore::DeleteKey(uint32_t root, std::string_view parent,
                                       std::string_view child) {
  HKEY root_handle = RootHandle(root);
  if (!root_handle) return Status::Error("unknown registry root key");
  auto parent_path = NormaliseKeyPath(parent);
  if (!parent_path) return parent_path.status();
  auto child_path = NormaliseKeyPath(child);
  if (!child_path) return child_path.status();
  if (child_path->empty()) return Status::Error("no registry key to delete was named");
  auto wide_parent = DecodeAnsi(*parent_path);
  if (!wide_parent) return wide_parent.status();
  auto wide_child = DecodeAnsi(*child_path);
  if (!wide_child) return wide_child.status();
  const std::string full = parent_path->empty() ? *child_path : *parent_path + "\\" + *child_path;

  Key parent_key;
  LSTATUS status =
      RegOpenKeyExW(root_handle, Wide(*wide_parent), 0, KEY_QUERY_VALUE, parent_key.out());
  if (status == ERROR_FILE_NOT_FOUND) {
    return Status::Error("the registry key " + KeyName(root, *parent_path) + " does not exist");
  }
  if (status != ERROR_SUCCESS) {
    return RegistryError("open the registry key " + KeyName(root, *parent_path), status);
  }
  // The platform's delete refuses a key with keys of its own too, but with
  // a word ("access is denied") that does not say why.
  {
    Key child_key;
    status =
        RegOpenKeyExW(parent_key.get(), Wide(*wide_child), 0, KEY_QUERY_VALUE, child_key.out());
    if (status == ERROR_FILE_NOT_FOUND) {
      return Status::Error("the registry key " + KeyName(root, full) + " does not exist");
    }
    if (status != ERROR_SUCCESS) {
      return RegistryError("open the registry key " + KeyName(root, full), status);
    }
    DWORD subkeys = 0;
    status = RegQueryInfoKeyW(child_key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS && subkeys > 0) {
      return Status::Error("the registry key " + KeyName(root, full) +
                           " has keys of its own and is not deleted");
    }
  }
  status = RegDeleteKeyW(parent_key.get(), Wide(*wide_child));
  if (status != ERROR_SUCCESS) {
    return RegistryError("delete the registry key " + KeyName(root, full), status);
  }
  return Status::Ok();
}

}  // namespace tolvan
