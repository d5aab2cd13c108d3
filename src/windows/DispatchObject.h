// One of the development environment's objects, reached through IDispatch
// by member name. The VB6 IDE and the VBA editor of Office describe their
// objects in different type libraries, so Tolvan binds no vtable and no
// DISPID at build time: each name is looked up with GetIDsOfNames the first
// time it is used on an interface and remembered for that interface (by the
// interface's IID from the object's type information, so that every code
// module or control shares one look-up; an object that gives no type
// information keeps its own). A failed call comes back as a failed Status
// with the environment's own description of the error when it gives one.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Status.h"
#include "windows/DispatchTypes.h"

namespace tolvan::windows {

class DispatchObject {
 public:
  // `what` names the object in messages ("CodeModule").
  DispatchObject(ComPtr<IDispatch> object, std::string what)
      : object_(std::move(object)), what_(std::move(what)) {}

  // A property, or a method that returns a value; the arguments in the
  // order the member declares them.
  Result<Variant> Get(const wchar_t* name, std::vector<Variant> arguments = {}) const;
  Status Put(const wchar_t* name, Variant value) const;
  Result<Variant> Call(const wchar_t* name, std::vector<Variant> arguments = {}) const;

  // The typed reads of Get.
  Result<std::u16string> GetText(const wchar_t* name, std::vector<Variant> arguments = {}) const;
  Result<LONG> GetLong(const wchar_t* name, std::vector<Variant> arguments = {}) const;
  Result<bool> GetBool(const wchar_t* name) const;
  // An object result; null when the environment has none to give.
  Result<ComPtr<IDispatch>> GetChild(const wchar_t* name,
                                     std::vector<Variant> arguments = {}) const;

  IDispatch* get() const { return object_.get(); }
  const std::string& what() const { return what_; }

 private:
  Result<DISPID> IdOf(const wchar_t* name) const;
  Result<Variant> Invoke(const wchar_t* name, WORD flags, std::vector<Variant>& arguments,
                         bool put) const;
  // The IID of the object's interface from its type information; GUID_NULL
  // when it gives none.
  const GUID& InterfaceId() const;

  ComPtr<IDispatch> object_;
  std::string what_;
  mutable std::optional<GUID> interface_;
  // Names looked up on an object without type information.
  mutable std::map<std::wstring, DISPID> own_ids_;
};

// The arguments of a call, in the order the member declares them.
template <class... Values>
std::vector<Variant> Args(Values&&... values) {
  std::vector<Variant> list;
  list.reserve(sizeof...(Values));
  (list.push_back(std::forward<Values>(values)), ...);
  return list;
}

// The message for a call that failed with `hr`: the description the object
// put into `exception` when there is one, else what the system says of the
// HRESULT. Frees the strings of `exception` (and fills it in first when the
// object deferred that).
std::string FailedCallMessage(const std::string& member, HRESULT hr, EXCEPINFO* exception);

// "0x80004005", as messages show an HRESULT.
std::string HexOf(HRESULT hr);

// The object in a result, with a reference of its own; null for an empty or
// null result. A result that is not an object is an error.
Result<ComPtr<IDispatch>> ObjectOf(const VARIANT& value, const std::string& member);

}  // namespace tolvan::windows
