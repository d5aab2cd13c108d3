// The server side of IDispatch for the host stub and the tests: an object
// with a table of member names, called by DISPID with positional arguments,
// that fails the way the IDE's objects fail (DISP_E_EXCEPTION with a
// description in EXCEPINFO). Like a real IDE's objects it gives no type
// information, so callers look names up per object. Every live object is
// counted, so that a test can tell whether the add-in let go of all it took.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "platform/Status.h"
#include "windows/DispatchTypes.h"

namespace tolvan::stub {

using windows::Bstr;
using windows::ComPtr;
using windows::Variant;

// The arguments of one call, in the order the member declares them; a
// property put's value apart.
class Call {
 public:
  Call(DISPPARAMS& params, WORD flags);

  bool IsPut() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
  WORD flags() const { return flags_; }
  UINT count() const { return count_; }
  // Present and not marked missing.
  bool Given(UINT i) const;
  Result<LONG> Long(UINT i) const;
  Result<bool> Bool(UINT i) const;
  Result<std::u16string> Text(UINT i) const;
  Result<ComPtr<IDispatch>> Object(UINT i) const;
  // An out-parameter: a VT_I4 passed by reference.
  Result<LONG*> LongOut(UINT i) const;
  // The argument as given.
  const VARIANT& Raw(UINT i) const;
  // The value of a property put.
  const VARIANT& PutValue() const { return params_.rgvarg[0]; }

 private:
  DISPPARAMS& params_;
  WORD flags_;
  UINT count_;
};

// Counts the stub's objects alive, for the check that the add-in let go of
// all it took.
class LiveObject {
 public:
  static long Live();

 protected:
  LiveObject();
  ~LiveObject();
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
};

class StubObject : public IDispatch, private LiveObject {
 public:
  struct Name {
    const wchar_t* name;
    DISPID id;
  };

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

  // Names looked up on all the stub's objects.
  static long Lookups();

 protected:
  explicit StubObject(std::vector<Name> names);
  virtual ~StubObject();

  // The member `id`; a failure is raised to the caller with its message.
  virtual Result<Variant> Run(DISPID id, Call& call) = 0;
  // Another interface of the object, without a reference added; null for
  // none.
  virtual void* Other(REFIID) { return nullptr; }

 private:
  std::atomic<ULONG> references_{1};
  std::vector<Name> names_;
};

// A new object of type T with the caller's one reference.
template <class T, class... A>
ComPtr<IDispatch> Make(A&&... arguments) {
  return ComPtr<IDispatch>::Adopt(new T(std::forward<A>(arguments)...));
}

// The result of a member that gives an object.
Variant ObjectResult(ComPtr<IDispatch> object);

// The failure of a member called with a wrong argument or at a wrong time.
Status NoSuchMember(DISPID id);

}  // namespace tolvan::stub
