#include "windows/DispatchObject.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/Text.h"

namespace tolvan::windows {
namespace {

// The DISPIDs looked up so far, by interface and name. The environment calls
// in on one thread, but a lock costs nothing next to a cross-object call.
class DispidCache {
 public:
  std::optional<DISPID> Find(const GUID& iid, const std::wstring& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = ids_.find(Key{iid, name});
    if (found == ids_.end()) return std::nullopt;
    return found->second;
  }
  void Remember(const GUID& iid, const std::wstring& name, DISPID id) {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_[Key{iid, name}] = id;
  }

 private:
  struct Key {
    GUID iid;
    std::wstring name;
    bool operator<(const Key& other) const {
      const int c = std::memcmp(&iid, &other.iid, sizeof(GUID));
      return c != 0 ? c < 0 : name < other.name;
    }
  };
  std::mutex mutex_;
  std::map<Key, DISPID> ids_;
};

DispidCache& Cache() {
  static DispidCache cache;
  return cache;
}

std::string Utf8(const wchar_t* name) {
  return Utf16ToUtf8(reinterpret_cast<const char16_t*>(name));
}

// Texts from the system and from objects end in a line break or a space
// more often than not.
std::u16string Trimmed(std::u16string text) {
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
    text.pop_back();
  }
  return text;
}

std::u16string SystemMessage(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (n != 0 && buffer) text.assign(reinterpret_cast<const char16_t*>(buffer), n);
  if (buffer) LocalFree(buffer);
  return Trimmed(std::move(text));
}

void FreeStrings(EXCEPINFO& exception) {
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  exception.bstrSource = nullptr;
  exception.bstrDescription = nullptr;
  exception.bstrHelpFile = nullptr;
}

bool IsNothing(const VARIANT& value) { return V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL; }

}  // namespace

std::string HexOf(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

std::string FailedCallMessage(const std::string& member, HRESULT hr, EXCEPINFO* exception) {
  std::u16string description;
  if (exception) {
    if (hr == DISP_E_EXCEPTION && exception->pfnDeferredFillIn) {
      exception->pfnDeferredFillIn(exception);
      exception->pfnDeferredFillIn = nullptr;
    }
    description = Trimmed(TextOf(exception->bstrDescription));
    if (hr == DISP_E_EXCEPTION && exception->scode != 0) hr = exception->scode;
    FreeStrings(*exception);
  }
  // The environment's own words are what a VB developer would have seen in
  // Err.Description.
  if (!description.empty()) return Utf16ToUtf8(description);
  std::u16string system = SystemMessage(hr);
  if (system.empty()) return member + " failed (error " + HexOf(hr) + ")";
  return member + " failed: " + Utf16ToUtf8(system) + " (" + HexOf(hr) + ")";
}

Result<ComPtr<IDispatch>> ObjectOf(const VARIANT& value, const std::string& member) {
  const VARIANT* v = &value;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
  if (IsNothing(*v)) return ComPtr<IDispatch>();
  switch (V_VT(v)) {
    case VT_DISPATCH:
      return ComPtr<IDispatch>::Share(V_DISPATCH(v));
    case VT_DISPATCH | VT_BYREF:
      return ComPtr<IDispatch>::Share(V_DISPATCHREF(v) ? *V_DISPATCHREF(v) : nullptr);
    case VT_UNKNOWN: {
      if (!V_UNKNOWN(v)) return ComPtr<IDispatch>();
      ComPtr<IDispatch> object = ComPtr<IUnknown>::Share(V_UNKNOWN(v)).As<IDispatch>(IID_IDispatch);
      if (object) return object;
      break;
    }
    default:
      break;
  }
  return Status::Error(member + " gave something that is not an object");
}

const GUID& DispatchObject::InterfaceId() const {
  if (interface_) return *interface_;
  interface_ = GUID_NULL;
  UINT count = 0;
  if (!object_ || FAILED(object_->GetTypeInfoCount(&count)) || count == 0) return *interface_;
  ComPtr<ITypeInfo> info;
  if (FAILED(object_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Receive())) || !info) {
    return *interface_;
  }
  TYPEATTR* attributes = nullptr;
  if (SUCCEEDED(info->GetTypeAttr(&attributes)) && attributes) {
    interface_ = attributes->guid;
    info->ReleaseTypeAttr(attributes);
  }
  return *interface_;
}

Result<DISPID> DispatchObject::IdOf(const wchar_t* name) const {
  if (!object_) return Status::Error("the development environment gave no " + what_);
  const std::wstring key(name);
  const GUID& iid = InterfaceId();
  const bool shared = !IsEqualGUID(iid, GUID_NULL);
  if (shared) {
    if (std::optional<DISPID> id = Cache().Find(iid, key)) return *id;
  } else if (auto own = own_ids_.find(key); own != own_ids_.end()) {
    return own->second;
  }
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    return Status::Error("the development environment's " + what_ + " has no member " + Utf8(name) +
                         " (error " + HexOf(hr) + ")");
  }
  if (shared) {
    Cache().Remember(iid, key, id);
  } else {
    own_ids_[key] = id;
  }
  return id;
}

Result<Variant> DispatchObject::Invoke(const wchar_t* name, WORD flags,
                                       std::vector<Variant>& arguments, bool put) const {
  Result<DISPID> id = IdOf(name);
  if (!id) return id.status();
  // Invoke takes the arguments last first. The copies are shallow: the
  // holders in `arguments` keep ownership, and the callee writes only
  // through by-reference arguments, whose targets the caller owns.
  std::vector<VARIANTARG> reversed;
  reversed.reserve(arguments.size());
  for (auto a = arguments.rbegin(); a != arguments.rend(); ++a) reversed.push_back(a->get());
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), put ? &put_id : nullptr, static_cast<UINT>(reversed.size()),
                    put ? 1u : 0u};
  EXCEPINFO exception{};
  UINT argument_error = 0;
  Variant result;
  const HRESULT hr = object_->Invoke(*id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                     put ? nullptr : result.Receive(), &exception, &argument_error);
  if (FAILED(hr)) {
    return Status::Error(FailedCallMessage(what_ + "." + Utf8(name), hr, &exception));
  }
  FreeStrings(exception);
  return result;
}

Result<Variant> DispatchObject::Get(const wchar_t* name, std::vector<Variant> arguments) const {
  // As VB calls a member whose result it uses: a property or a method.
  return Invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, arguments, false);
}

Status DispatchObject::Put(const wchar_t* name, Variant value) const {
  std::vector<Variant> arguments;
  arguments.push_back(std::move(value));
  return Invoke(name, DISPATCH_PROPERTYPUT, arguments, true).status();
}

Result<Variant> DispatchObject::Call(const wchar_t* name, std::vector<Variant> arguments) const {
  return Invoke(name, DISPATCH_METHOD, arguments, false);
}

Result<std::u16string> DispatchObject::GetText(const wchar_t* name,
                                               std::vector<Variant> arguments) const {
  Result<Variant> value = Get(name, std::move(arguments));
  if (!value) return value.status();
  if (IsNothing(value->get())) return std::u16string();
  if (V_VT(&value->get()) == VT_BSTR) return TextOf(V_BSTR(&value->get()));
  Variant text;
  if (FAILED(VariantChangeType(text.Receive(), &value->get(), 0, VT_BSTR))) {
    return Status::Error(what_ + "." + Utf8(name) + " gave something that is not a text");
  }
  return TextOf(V_BSTR(&text.get()));
}

Result<LONG> DispatchObject::GetLong(const wchar_t* name, std::vector<Variant> arguments) const {
  Result<Variant> value = Get(name, std::move(arguments));
  if (!value) return value.status();
  Variant number;
  if (FAILED(VariantChangeType(number.Receive(), &value->get(), 0, VT_I4))) {
    return Status::Error(what_ + "." + Utf8(name) + " gave something that is not a number");
  }
  return V_I4(&number.get());
}

Result<bool> DispatchObject::GetBool(const wchar_t* name) const {
  Result<Variant> value = Get(name);
  if (!value) return value.status();
  Variant flag;
  if (FAILED(VariantChangeType(flag.Receive(), &value->get(), 0, VT_BOOL))) {
    return Status::Error(what_ + "." + Utf8(name) + " gave something that is not True or False");
  }
  return V_BOOL(&flag.get()) != VARIANT_FALSE;
}

Result<ComPtr<IDispatch>> DispatchObject::GetChild(const wchar_t* name,
                                                   std::vector<Variant> arguments) const {
  Result<Variant> value = Get(name, std::move(arguments));
  if (!value) return value.status();
  return ObjectOf(value->get(), what_ + "." + Utf8(name));
}

}  // namespace tolvan::windows
