#include "windows/AddInRegistry.h"

#include <objbase.h>

#include <string_view>
#include <vector>

#include "windows/Connect.h"

namespace tolvan::windows {
namespace {

// The texts the add-in manager shows, the same as the Linux registration
// writes (host/Registration.cpp).
constexpr char16_t kProgId[] = u"Tolvan.Connect";
constexpr char16_t kClassName[] = u"Tolvan";
constexpr char16_t kFriendlyName[] = u"Tolvan";
constexpr char16_t kDescription[] = u"VBのヘッダーコメントを生成します";
constexpr DWORD kLoadBehavior = 1;
constexpr DWORD kCommandLineSafe = 1;

constexpr wchar_t kVb6AddIns[] = L"Software\\Microsoft\\Visual Basic\\6.0\\Addins";
#ifdef _WIN64
constexpr wchar_t kVbeAddIns[] = L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64";
#else
constexpr wchar_t kVbeAddIns[] = L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins";
#endif

// These keys are never removed, even when left empty. Below them, a key
// left empty by unregistration was made by registration (Wine, unlike
// Windows, starts without Software\Classes\CLSID below HKEY_CURRENT_USER).
constexpr std::wstring_view kFloors[] = {L"Software\\Microsoft", L"Software"};

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

std::wstring ClsidText() {
  wchar_t text[64] = {};
  StringFromGUID2(kClsidConnect, text, 64);
  return text;
}

struct Value {
  const wchar_t* name;  // nullptr: the key's default value
  std::wstring text;    // a string value, unless `is_dword`
  bool is_dword = false;
  DWORD number = 0;
};

struct Key {
  HKEY root;
  std::wstring path;
  std::vector<Value> values;
};

std::vector<Value> AddInValues() {
  return {{L"FriendlyName", Wide(kFriendlyName)},
          {L"Description", Wide(kDescription)},
          {L"LoadBehavior", L"", true, kLoadBehavior},
          {L"CommandLineSafe", L"", true, kCommandLineSafe}};
}

// Every key registration writes, parents before children.
std::vector<Key> Keys(RegistrationScope scope, const std::wstring& module_path) {
  const HKEY classes_root =
      scope == RegistrationScope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const std::wstring classes = L"Software\\Classes\\";
  const std::wstring clsid = ClsidText();
  const std::wstring prog_id = Wide(kProgId);
  const std::wstring class_key = classes + L"CLSID\\" + clsid;
  return {
      {classes_root, class_key, {{nullptr, Wide(kClassName)}}},
      {classes_root,
       class_key + L"\\InprocServer32",
       {{nullptr, module_path}, {L"ThreadingModel", L"Apartment"}}},
      {classes_root, class_key + L"\\ProgID", {{nullptr, prog_id}}},
      {classes_root, classes + prog_id, {{nullptr, Wide(kClassName)}}},
      {classes_root, classes + prog_id + L"\\CLSID", {{nullptr, clsid}}},
      {HKEY_CURRENT_USER, std::wstring(kVb6AddIns) + L"\\" + prog_id, AddInValues()},
      {HKEY_CURRENT_USER, std::wstring(kVbeAddIns) + L"\\" + prog_id, AddInValues()},
  };
}

// The keys unregistration removes with everything below them.
std::vector<Key> TopKeys(RegistrationScope scope) {
  std::vector<Key> keys = Keys(scope, L"");
  return {keys[0], keys[3], keys[5], keys[6]};
}

HRESULT FromError(LSTATUS status) { return HRESULT_FROM_WIN32(static_cast<DWORD>(status)); }

HRESULT WriteKey(const Key& key) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(key.root, key.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return FromError(status);
  for (const Value& value : key.values) {
    if (value.is_dword) {
      status = RegSetValueExW(handle, value.name, 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&value.number), sizeof value.number);
    } else {
      const DWORD bytes = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
      status = RegSetValueExW(handle, value.name, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.text.c_str()), bytes);
    }
    if (status != ERROR_SUCCESS) break;
  }
  RegCloseKey(handle);
  return FromError(status);
}

bool IsEmptyKey(HKEY root, const std::wstring& path) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
    return false;
  }
  DWORD subkeys = 0, values = 0;
  LSTATUS status = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                    &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

bool IsFloor(std::wstring_view path) {
  for (std::wstring_view floor : kFloors) {
    if (path.size() == floor.size() &&
        CompareStringOrdinal(path.data(), static_cast<int>(path.size()), floor.data(),
                             static_cast<int>(floor.size()), TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return path.find(L'\\') == std::wstring_view::npos;
}

// Removes `key` with everything below it, then each parent left empty.
// Removing a key that is not there is no failure.
HRESULT RemoveKey(const Key& key) {
  LSTATUS status = RegDeleteTreeW(key.root, key.path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return FromError(status);
  status = RegDeleteKeyW(key.root, key.path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return FromError(status);
  std::wstring path = key.path;
  for (size_t cut = path.rfind(L'\\'); cut != std::wstring::npos; cut = path.rfind(L'\\')) {
    path.resize(cut);
    if (IsFloor(path) || !IsEmptyKey(key.root, path)) break;
    // An empty parent that will not go (a hive's root) is left in place.
    if (RegDeleteKeyW(key.root, path.c_str()) != ERROR_SUCCESS) break;
  }
  return S_OK;
}

}  // namespace

HRESULT RegisterAddIn(RegistrationScope scope, const std::wstring& module_path) {
  for (const Key& key : Keys(scope, module_path)) {
    const HRESULT hr = WriteKey(key);
    if (FAILED(hr)) {
      UnregisterAddIn(scope);
      return hr;
    }
  }
  return S_OK;
}

HRESULT UnregisterAddIn(RegistrationScope scope) {
  HRESULT result = S_OK;
  for (const Key& key : TopKeys(scope)) {
    const HRESULT hr = RemoveKey(key);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

bool ParseScope(const wchar_t* command_line, RegistrationScope& scope) {
  if (!command_line || !*command_line) {
    scope = RegistrationScope::kMachine;
    return true;
  }
  if (CompareStringOrdinal(command_line, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
    scope = RegistrationScope::kUser;
    return true;
  }
  if (CompareStringOrdinal(command_line, -1, L"machine", -1, TRUE) == CSTR_EQUAL) {
    scope = RegistrationScope::kMachine;
    return true;
  }
  return false;
}

}  // namespace tolvan::windows
