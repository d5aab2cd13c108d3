#include "settings/clsReg.h"

#include "platform/Text.h"
#include "settings/ProfileFile.h"

namespace tolvan {
namespace {

Result<uint32_t> RootOrError(uint32_t root, std::u16string_view name) {
  if (root == 0) return Status::Error("unknown registry root key \"" + Utf16ToUtf8(name) + "\"");
  return root;
}

// A root name and two texts (subkey and value, or parent and child key) as
// the store takes them: the root's number and the texts in CP932.
struct StoreKey {
  uint32_t root;
  std::string first;
  std::string second;
};

Result<StoreKey> ToStoreKey(uint32_t root_number, std::u16string_view root,
                            std::u16string_view first, std::u16string_view second) {
  auto number = RootOrError(root_number, root);
  if (!number) return number.status();
  auto a = EncodeAnsi(first);
  if (!a) return a.status();
  auto b = EncodeAnsi(second);
  if (!b) return b.status();
  return StoreKey{*number, std::move(*a), std::move(*b)};
}

}  // namespace

uint32_t clsReg::lngGetRootKey(std::u16string_view name) {
  if (name == u"HKEY_CLASSES_ROOT") return kHkeyClassesRoot;
  if (name == u"HKEY_CURRENT_USER") return kHkeyCurrentUser;
  if (name == u"HKEY_LOCAL_MACHINE") return kHkeyLocalMachine;
  return 0;
}

Result<RegVariant> clsReg::GetRegValue(std::u16string_view strKey, std::u16string_view strSubKey,
                                       std::u16string_view strKeyName) {
  auto key = ToStoreKey(lngGetRootKey(strKey), strKey, strSubKey, strKeyName);
  if (!key) return key.status();
  auto found = registry_.QueryValue(key->root, key->first, key->second);
  if (!found) return found.status();
  if (!*found) return RegVariant();
  const RegValue& value = **found;
  switch (value.type) {
    case kRegSz: {
      // The stored NUL, and anything after an earlier one, is not part of
      // the text.
      std::string_view bytes = value.data;
      bytes = bytes.substr(0, bytes.find('\0'));
      auto text = DecodeAnsi(bytes);
      if (!text) return text.status();
      return RegVariant(std::move(*text));
    }
    case kRegBinary:
      return RegVariant(RegBytes(value.data.begin(), value.data.end()));
    case kRegDword: {
      if (value.data.size() != 4) return RegVariant();
      uint32_t n = 0;
      for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value.data[i]);
      return RegVariant(static_cast<int32_t>(n));
    }
    default:
      return RegVariant();
  }
}

RegVariant clsReg::vntGetRegValue(std::u16string_view strKey, std::u16string_view strSubKey,
                                  std::u16string_view strKeyName) {
  auto value = GetRegValue(strKey, strSubKey, strKeyName);
  return value ? *value : RegVariant();
}

Status clsReg::SetRegValue(std::u16string_view strKey, std::u16string_view strSubKey,
                           std::u16string_view strKeyName, const RegVariant& vntDataValue) {
  auto key = ToStoreKey(lngGetRootKey(strKey), strKey, strSubKey, strKeyName);
  if (!key) return key.status();

  RegValue value;
  auto dword = [&](int32_t n) {
    value.type = kRegDword;
    value.data.resize(4);
    for (int i = 0; i < 4; ++i) {
      value.data[i] = static_cast<char>((static_cast<uint32_t>(n) >> (8 * i)) & 0xFF);
    }
  };
  if (std::holds_alternative<std::monostate>(vntDataValue)) {
    return Status::Error("a Null value cannot be written to the registry");
  } else if (auto* i = std::get_if<int16_t>(&vntDataValue)) {
    dword(*i);
  } else if (auto* l = std::get_if<int32_t>(&vntDataValue)) {
    dword(*l);
  } else if (auto* b = std::get_if<bool>(&vntDataValue)) {
    dword(*b ? -1 : 0);
  } else if (auto* bytes = std::get_if<RegBytes>(&vntDataValue)) {
    value.type = kRegBinary;
    value.data.assign(bytes->begin(), bytes->end());
  } else {
    auto text = EncodeAnsi(std::get<std::u16string>(vntDataValue));
    if (!text) return text.status();
    value.type = kRegSz;
    value.data = *text + std::string(1, '\0');
  }
  return registry_.SetValue(key->root, key->first, key->second, value);
}

bool clsReg::blnSetRegValue(std::u16string_view strKey, std::u16string_view strSubKey,
                            std::u16string_view strKeyName, const RegVariant& vntDataValue) {
  return SetRegValue(strKey, strSubKey, strKeyName, vntDataValue).ok();
}

Status clsReg::DelRegSubKey(std::u16string_view strKey, std::u16string_view strSubKeyParent,
                            std::u16string_view strSubkeyName) {
  auto key = ToStoreKey(lngGetRootKey(strKey), strKey, strSubKeyParent, strSubkeyName);
  if (!key) return key.status();
  return registry_.DeleteKey(key->root, key->first, key->second);
}

bool clsReg::blnDelRegSubKey(std::u16string_view strKey, std::u16string_view strSubKeyParent,
                             std::u16string_view strSubkeyName) {
  return DelRegSubKey(strKey, strSubKeyParent, strSubkeyName).ok();
}

Result<std::optional<std::u16string>> clsReg::GetIni(std::u16string_view strFile,
                                                     std::u16string_view strSection,
                                                     std::u16string_view strKey) {
  auto bytes = files_.ReadFile(Utf16ToUtf8(strFile));
  if (!bytes) return bytes.status();
  if (!*bytes) return std::optional<std::u16string>();
  return GetProfileText(ProfileFile(**bytes), strSection, strKey);
}

std::u16string clsReg::strGetIni(std::u16string_view strFile, std::u16string_view strSection,
                                 std::u16string_view strKey) {
  auto value = GetIni(strFile, strSection, strKey);
  return value && *value ? **value : std::u16string();
}

Status clsReg::SetIni(std::u16string_view strFile, std::u16string_view strSection,
                      std::u16string_view strKey, std::u16string_view strValue) {
  std::string path = Utf16ToUtf8(strFile);
  auto bytes = files_.ReadFile(path);
  if (!bytes) return bytes.status();
  ProfileFile file(bytes->value_or(std::string()));
  if (Status s = SetProfileText(file, strSection, strKey, strValue); !s) {
    return Status::Error("cannot write [" + Utf16ToUtf8(strSection) + "] " + Utf16ToUtf8(strKey) +
                         " to " + path + ": " + s.message());
  }
  return ReplaceFiles(files_, {{path, file.bytes()}});
}

}  // namespace tolvan
