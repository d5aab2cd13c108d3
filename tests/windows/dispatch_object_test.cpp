// The object model through IDispatch (DispatchVBE and the rest) against the
// stub's IDispatch servers over Tolvan's own in-memory environment: what the
// comment engine reads and writes through IDispatch must be what it reads
// and writes directly, failures must carry the environment's words, and
// each member name is looked up once per interface.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>

#include "StubIde.h"
#include "platform/Clipboard.h"
#include "standin/BufferHost.h"
#include "windows/DispatchCodeModule.h"
#include "windows/DispatchCommandBarControls.h"
#include "windows/DispatchCommandBars.h"
#include "windows/DispatchObject.h"
#include "windows/DispatchVBE.h"

namespace tolvan::windows {
namespace {

constexpr char16_t kModule[] =
    u"Attribute VB_Name = \"modPay\"\r\n"
    u"Option Explicit\r\n"
    u"\r\n"
    u"Private mlngRate As Long\r\n"
    u"\r\n"
    u"Public Property Get Rate() As Long\r\n"
    u"    Rate = mlngRate\r\n"
    u"End Property\r\n"
    u"\r\n"
    u"Public Property Let Rate(ByVal lngValue As Long)\r\n"
    u"    mlngRate = lngValue\r\n"
    u"End Property\r\n";

struct Ide {
  Ide() {
    host::BufferModuleInfo info;
    info.component_type = host::component_type::kClassModule;
    info.project.name = u"Payroll";
    info.project.description = u"給与計算";
    auto made = host::BufferVBE::FromText(kModule, info, "modPay.cls");
    EXPECT_TRUE(made.ok()) << made.message();
    code = *made;
    bars = host::MakeStandardCommandBars(clipboard);
    sources = std::make_shared<stub::ClickSources>();
    root = stub::MakeStubVBE(code, bars, sources);
    vbe = std::make_shared<DispatchVBE>(root);
  }
  ~Ide() {
    vbe.reset();
    root.Reset();
    EXPECT_EQ(stub::LiveObject::Live(), 0) << "a wrapper kept an object of the environment";
  }

  MemoryClipboard clipboard;
  std::shared_ptr<host::BufferVBE> code;
  std::shared_ptr<host::StandInCommandBars> bars;
  std::shared_ptr<stub::ClickSources> sources;
  ComPtr<IDispatch> root;
  std::shared_ptr<DispatchVBE> vbe;
};

TEST(DispatchVBE, ReadsTheProjectComponentAndPane) {
  Ide ide;
  auto project = ide.vbe->ActiveVBProject();
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(project->Name(), u"Payroll");
  EXPECT_EQ(project->Description(), u"給与計算");
  auto component = ide.vbe->SelectedVBComponent();
  ASSERT_NE(component, nullptr);
  EXPECT_EQ(component->Name(), u"modPay");
  EXPECT_EQ(component->Type(), host::component_type::kClassModule);

  // GetSelection hands its four numbers back by reference.
  ASSERT_TRUE(ide.code->SelectFileRange(7, 5, 11, 3).ok());
  auto pane = ide.vbe->ActiveCodePane();
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->GetSelection(), ide.code->ActiveCodePane()->GetSelection());
  pane->SetSelection({3, 1, 3, 1});
  EXPECT_EQ(ide.code->ActiveCodePane()->GetSelection(), (host::Selection{3, 1, 3, 1}));

  // Message boxes and dialogs belong to the main window.
  EXPECT_EQ(ide.vbe->MainWindowHandle(), reinterpret_cast<HWND>(INT_PTR{stub::kStubMainWindow}));
}

TEST(DispatchVBE, AnEnvironmentWithNothingOpenGivesNullptr) {
  MemoryClipboard clipboard;
  auto sources = std::make_shared<stub::ClickSources>();
  ComPtr<IDispatch> root =
      stub::MakeStubVBE(nullptr, host::MakeStandardCommandBars(clipboard), sources);
  DispatchVBE vbe(root);
  EXPECT_EQ(vbe.ActiveVBProject(), nullptr);
  EXPECT_EQ(vbe.ActiveCodePane(), nullptr);
  EXPECT_EQ(vbe.SelectedVBComponent(), nullptr);
  EXPECT_NE(vbe.CommandBars(), nullptr);
  EXPECT_NE(vbe.Events(), nullptr);
}

TEST(DispatchCodeModule, AnswersAsTheModuleBehindIt) {
  Ide ide;
  auto module = ide.vbe->ActiveCodePane()->CodeModule();
  ASSERT_NE(module, nullptr);
  auto direct = ide.code->ActiveCodePane()->CodeModule();
  EXPECT_EQ(module->CountOfLines(), direct->CountOfLines());
  EXPECT_EQ(module->Parent()->Name(), u"modPay");

  struct Row {
    const char* name;
    long line;
    host::ProcKind asked;
    const char16_t* procedure;
    host::ProcKind written;
  };
  const Row rows[] = {
      {"declarations", 1, host::ProcKind::Proc, u"", host::ProcKind::Proc},
      {"Property Get body", 6, host::ProcKind::Proc, u"Rate", host::ProcKind::Get},
      {"Property Let, asked as Get", 10, host::ProcKind::Get, u"Rate", host::ProcKind::Let},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    host::ProcKind kind = row.asked;
    host::ProcKind direct_kind = row.asked;
    Result<std::u16string> name = module->ProcOfLine(row.line, kind);
    ASSERT_TRUE(name.ok()) << name.message();
    EXPECT_EQ(*name, *direct->ProcOfLine(row.line, direct_kind));
    EXPECT_EQ(*name, row.procedure);
    // The kind comes back through the by-reference argument.
    EXPECT_EQ(kind, direct_kind);
  }

  EXPECT_EQ(*module->ProcStartLine(u"Rate", host::ProcKind::Let),
            *direct->ProcStartLine(u"Rate", host::ProcKind::Let));
  EXPECT_EQ(*module->ProcBodyLine(u"Rate", host::ProcKind::Let),
            *direct->ProcBodyLine(u"Rate", host::ProcKind::Let));
  EXPECT_EQ(*module->Lines(5, 3), *direct->Lines(5, 3));

  // The environment's own words come through as the message.
  Result<long> missing = module->ProcStartLine(u"Nothing", host::ProcKind::Proc);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.message(), direct->ProcStartLine(u"Nothing", host::ProcKind::Proc).message());
}

TEST(DispatchCodeModule, InsertsAndDeletesLinesInTheModule) {
  Ide ide;
  auto module = ide.vbe->ActiveCodePane()->CodeModule();
  const long before = module->CountOfLines();
  ASSERT_TRUE(module->InsertLines(3, u"' 一行目\r\n' 二行目").ok());
  EXPECT_EQ(module->CountOfLines(), before + 2);
  EXPECT_EQ(*ide.code->ActiveCodePane()->CodeModule()->Lines(3, 2), u"' 一行目\r\n' 二行目");
  ASSERT_TRUE(module->DeleteLines(3, 2).ok());
  EXPECT_EQ(ide.code->Text(), kModule);

  Status outside = module->DeleteLines(before + 5, 1);
  EXPECT_FALSE(outside.ok());
  EXPECT_FALSE(outside.message().empty());
  EXPECT_EQ(ide.code->Text(), kModule);
}

TEST(DispatchCommandBars, FindsBarsAndAddsControlsWhereAsked) {
  Ide ide;
  auto bars = ide.vbe->CommandBars();
  ASSERT_NE(bars, nullptr);
  EXPECT_EQ(bars->Count(), ide.bars->Count());
  EXPECT_EQ((*bars->Item(1))->Name(), u"メニュー バー");
  Result<std::shared_ptr<host::CommandBar>> missing = bars->Item(u"ありません");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.message(), "no command bar named \"ありません\"");

  auto standard = *bars->Item(u"標準");
  ASSERT_NE(standard, nullptr);
  EXPECT_TRUE(standard->Visible());
  auto edit = *bars->Item(u"編集");
  EXPECT_FALSE(edit->Visible());
  ASSERT_TRUE(edit->SetVisible(true).ok());
  EXPECT_TRUE(ide.bars->Bar(u"編集")->Visible());

  auto controls = standard->Controls();
  const long count = controls->Count();
  // Before a position: Add's optional Id and Parameter are marked missing.
  auto inserted = *controls->Add(host::control_type::kButton, count);
  ASSERT_TRUE(inserted->SetCaption(u"Tolvan").ok());
  EXPECT_EQ(ide.bars->Bar(u"標準")->controls().At(count)->Caption(), u"Tolvan");
  // Without one: appended.
  auto appended = *controls->Add(host::control_type::kButton, std::nullopt);
  ASSERT_TRUE(appended->SetCaption(u"最後").ok());
  EXPECT_EQ(ide.bars->Bar(u"標準")->controls().At(count + 2)->Caption(), u"最後");
  EXPECT_EQ((*controls->Item(count))->Caption(), u"Tolvan");

  ASSERT_TRUE(inserted->Delete().ok());
  ASSERT_TRUE(appended->Delete().ok());
  EXPECT_EQ(controls->Count(), count);
  // A deleted control fails, in the environment's words.
  Status again = inserted->SetCaption(u"x");
  EXPECT_EQ(again.message(), "the command bar control has been deleted");
}

// --- Name look-ups and failures, against objects made for the purpose ----------

// An ITypeInfo that knows only its interface's IID.
class InterfaceOnlyTypeInfo final : public ITypeInfo {
 public:
  explicit InterfaceOnlyTypeInfo(const GUID& iid) { attributes_.guid = iid; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ITypeInfo)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attributes) override {
    *attributes = &attributes_;
    return S_OK;
  }
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR*) override {}
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID, BSTR*, UINT, UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR*, UINT, MEMBERID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID, BSTR*, BSTR*, DWORD*, BSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib**, UINT*) override { return E_NOTIMPL; }
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

 private:
  std::atomic<ULONG> references_{1};
  TYPEATTR attributes_{};
};

// How a member of Probe fails.
enum class Failure { kNone, kException, kDeferredException, kPlainHresult };

// An object with one member, Value, that gives 42 or fails as told, and
// counts the names it is asked for; with an IID it gives type information.
class Probe final : public stub::StubObject {
 public:
  Probe(std::optional<GUID> iid, Failure failure, int* lookups)
      : stub::StubObject({{L"Value", 7}}), iid_(iid), failure_(failure), lookups_(lookups) {}

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = iid_ ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (!iid_) return DISP_E_BADINDEX;
    *info = new InterfaceOnlyTypeInfo(*iid_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override {
    ++*lookups_;
    return stub::StubObject::GetIDsOfNames(iid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* arg_error) override {
    switch (failure_) {
      case Failure::kNone:
        return stub::StubObject::Invoke(id, iid, lcid, flags, params, result, exception, arg_error);
      case Failure::kException:
        exception->bstrSource = SysAllocString(L"VBIDE");
        exception->bstrDescription = SysAllocString(L"プロシージャが見つかりません。\r\n");
        exception->scode = E_INVALIDARG;
        return DISP_E_EXCEPTION;
      case Failure::kDeferredException:
        exception->pfnDeferredFillIn = [](EXCEPINFO* e) -> HRESULT {
          e->bstrDescription = SysAllocString(L"filled in later");
          return S_OK;
        };
        return DISP_E_EXCEPTION;
      case Failure::kPlainHresult:
        return E_ACCESSDENIED;
    }
    return E_UNEXPECTED;
  }

 protected:
  Result<Variant> Run(DISPID, stub::Call&) override { return Variant::Long(42); }

 private:
  std::optional<GUID> iid_;
  Failure failure_;
  int* lookups_;
};

constexpr GUID kProbeIid = {
    0x1E6C0F44, 0x5A2B, 0x4C8D, {0x9F, 0x31, 0x7A, 0x22, 0x5B, 0x60, 0x11, 0x0C}};
constexpr GUID kOtherIid = {
    0x1E6C0F45, 0x5A2B, 0x4C8D, {0x9F, 0x31, 0x7A, 0x22, 0x5B, 0x60, 0x11, 0x0C}};

TEST(DispatchObject, LooksEachNameUpOncePerInterface) {
  int lookups = 0;
  auto probe = [&](std::optional<GUID> iid) {
    return DispatchObject(stub::Make<Probe>(iid, Failure::kNone, &lookups), "Probe");
  };

  // Objects of one interface share the look-up, across wrappers.
  DispatchObject first = probe(kProbeIid);
  DispatchObject second = probe(kProbeIid);
  EXPECT_EQ(*first.GetLong(L"Value"), 42);
  EXPECT_EQ(*first.GetLong(L"Value"), 42);
  EXPECT_EQ(*second.GetLong(L"value"), 42);
  EXPECT_EQ(*second.GetLong(L"Value"), 42);
  EXPECT_EQ(lookups, 2) << "once for \"Value\", once for \"value\"";

  // Another interface has names of its own.
  lookups = 0;
  DispatchObject other = probe(kOtherIid);
  EXPECT_EQ(*other.GetLong(L"Value"), 42);
  EXPECT_EQ(lookups, 1);

  // Without type information each wrapper keeps its own.
  lookups = 0;
  DispatchObject plain = probe(std::nullopt);
  DispatchObject plain_too = probe(std::nullopt);
  EXPECT_EQ(*plain.GetLong(L"Value"), 42);
  EXPECT_EQ(*plain.GetLong(L"Value"), 42);
  EXPECT_EQ(*plain_too.GetLong(L"Value"), 42);
  EXPECT_EQ(lookups, 2);
}

TEST(DispatchObject, FailuresSayWhatTheEnvironmentSaid) {
  int lookups = 0;
  struct Row {
    const char* name;
    Failure failure;
    const char* member;
    std::string message_start;
    std::string message_end;
  };
  const Row rows[] = {
      {"the description, trailing line break dropped", Failure::kException, "Value",
       "プロシージャが見つかりません。", "プロシージャが見つかりません。"},
      {"a description filled in on request", Failure::kDeferredException, "Value",
       "filled in later", "filled in later"},
      {"no description: the member and the HRESULT", Failure::kPlainHresult, "Value",
       "Probe.Value failed", "(0x80070005)"},
      {"a name the object does not have", Failure::kNone, "Missing",
       "the development environment's Probe has no member Missing (error 0x80020006)",
       "(error 0x80020006)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DispatchObject object(stub::Make<Probe>(kProbeIid, row.failure, &lookups), "Probe");
    std::wstring member(row.member, row.member + std::strlen(row.member));
    Result<LONG> value = object.GetLong(member.c_str());
    ASSERT_FALSE(value.ok());
    EXPECT_EQ(value.message().rfind(row.message_start, 0), 0u) << value.message();
    EXPECT_GE(value.message().size(), row.message_end.size());
    EXPECT_EQ(value.message().substr(value.message().size() - row.message_end.size()),
              row.message_end);
  }
}

TEST(DispatchObject, ResultsOfTheWrongKindAreRefused) {
  Ide ide;
  DispatchObject root(ide.root, "VBE");
  // A text is not an object, an object is not a number.
  Result<ComPtr<IDispatch>> object =
      DispatchObject(*root.GetChild(L"ActiveVBProject"), "VBProject").GetChild(L"Name");
  ASSERT_FALSE(object.ok());
  EXPECT_EQ(object.message(), "VBProject.Name gave something that is not an object");
  Result<LONG> number = root.GetLong(L"CommandBars");
  ASSERT_FALSE(number.ok());
  EXPECT_EQ(number.message(), "VBE.CommandBars gave something that is not a number");
}

}  // namespace
}  // namespace tolvan::windows
