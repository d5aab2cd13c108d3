#include "StubIde.h"

#include <olectl.h>

#include <algorithm>
#include <atomic>

#include "platform/Text.h"

namespace tolvan::stub {
namespace {

// {8F2B5C61-0D4E-4A7B-9C13-6E0F2A9D4B17}: a stub control gives its stand-in
// control through this interface (the object itself, no reference added to
// the stand-in).
constexpr IID kStubControlIid = {
    0x8F2B5C61, 0x0D4E, 0x4A7B, {0x9C, 0x13, 0x6E, 0x0F, 0x2A, 0x9D, 0x4B, 0x17}};

Status ReadOnly() { return Status::Error("the property is read-only"); }

Variant Text(const std::u16string& text) { return Variant::String(text); }

// --- Code ------------------------------------------------------------------

class StubVBProject final : public StubObject {
 public:
  explicit StubVBProject(std::shared_ptr<host::VBProject> project)
      : StubObject({{L"Name", 1}, {L"Description", 2}}), project_(std::move(project)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    if (id == 1) return Text(project_->Name());
    if (id == 2) return Text(project_->Description());
    return NoSuchMember(id);
  }

 private:
  std::shared_ptr<host::VBProject> project_;
};

class StubVBComponent final : public StubObject {
 public:
  explicit StubVBComponent(std::shared_ptr<host::VBComponent> component)
      : StubObject({{L"Name", 1}, {L"Type", 2}}), component_(std::move(component)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    if (id == 1) return Text(component_->Name());
    if (id == 2) return Variant::Long(component_->Type());
    return NoSuchMember(id);
  }

 private:
  std::shared_ptr<host::VBComponent> component_;
};

ComPtr<IDispatch> ComponentObject(std::shared_ptr<host::VBComponent> component) {
  return component ? Make<StubVBComponent>(std::move(component)) : nullptr;
}

class StubCodeModule final : public StubObject {
 public:
  explicit StubCodeModule(std::shared_ptr<host::CodeModule> module)
      : StubObject({{L"Parent", 1},
                    {L"CountOfLines", 2},
                    {L"Lines", 3},
                    {L"ProcOfLine", 4},
                    {L"ProcStartLine", 5},
                    {L"ProcBodyLine", 6},
                    {L"InsertLines", 7},
                    {L"DeleteLines", 8}}),
        module_(std::move(module)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    switch (id) {
      case 1:
        return ObjectResult(ComponentObject(module_->Parent()));
      case 2:
        return Variant::Long(module_->CountOfLines());
      case 3: {
        Result<LONG> start = call.Long(0);
        Result<LONG> count = call.Long(1);
        if (!start) return start.status();
        if (!count) return count.status();
        Result<std::u16string> lines = module_->Lines(*start, *count);
        if (!lines) return lines.status();
        return Text(*lines);
      }
      case 4: {
        Result<LONG> line = call.Long(0);
        Result<LONG*> kind = call.LongOut(1);
        if (!line) return line.status();
        if (!kind) return kind.status();
        host::ProcKind asked = static_cast<host::ProcKind>(**kind);
        Result<std::u16string> name = module_->ProcOfLine(*line, asked);
        if (!name) return name.status();
        **kind = static_cast<LONG>(asked);
        return Text(*name);
      }
      case 5:
      case 6: {
        Result<std::u16string> name = call.Text(0);
        Result<LONG> kind = call.Long(1);
        if (!name) return name.status();
        if (!kind) return kind.status();
        const auto procedure_kind = static_cast<host::ProcKind>(*kind);
        Result<long> line = id == 5 ? module_->ProcStartLine(*name, procedure_kind)
                                    : module_->ProcBodyLine(*name, procedure_kind);
        if (!line) return line.status();
        return Variant::Long(*line);
      }
      case 7: {
        Result<LONG> line = call.Long(0);
        Result<std::u16string> text = call.Text(1);
        if (!line) return line.status();
        if (!text) return text.status();
        if (Status s = module_->InsertLines(*line, *text); !s) return s;
        return Variant();
      }
      case 8: {
        Result<LONG> start = call.Long(0);
        if (!start) return start.status();
        Result<LONG> count = call.Given(1) ? call.Long(1) : Result<LONG>(1);
        if (!count) return count.status();
        if (Status s = module_->DeleteLines(*start, *count); !s) return s;
        return Variant();
      }
      default:
        return NoSuchMember(id);
    }
  }

 private:
  std::shared_ptr<host::CodeModule> module_;
};

class StubCodePane final : public StubObject {
 public:
  explicit StubCodePane(std::shared_ptr<host::CodePane> pane)
      : StubObject({{L"CodeModule", 1}, {L"GetSelection", 2}, {L"SetSelection", 3}}),
        pane_(std::move(pane)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    switch (id) {
      case 1: {
        std::shared_ptr<host::CodeModule> module = pane_->CodeModule();
        return ObjectResult(module ? Make<StubCodeModule>(std::move(module)) : nullptr);
      }
      case 2: {
        LONG* out[4];
        for (UINT i = 0; i < 4; ++i) {
          Result<LONG*> slot = call.LongOut(i);
          if (!slot) return slot.status();
          out[i] = *slot;
        }
        const host::Selection s = pane_->GetSelection();
        *out[0] = s.startLine;
        *out[1] = s.startColumn;
        *out[2] = s.endLine;
        *out[3] = s.endColumn;
        return Variant();
      }
      case 3: {
        LONG in[4];
        for (UINT i = 0; i < 4; ++i) {
          Result<LONG> value = call.Long(i);
          if (!value) return value.status();
          in[i] = *value;
        }
        pane_->SetSelection(host::Selection{in[0], in[1], in[2], in[3]});
        return Variant();
      }
      default:
        return NoSuchMember(id);
    }
  }

 private:
  std::shared_ptr<host::CodePane> pane_;
};

// --- Command bars --------------------------------------------------------------

class StubCommandBarControl final : public StubObject {
 public:
  explicit StubCommandBarControl(std::shared_ptr<host::StandInCommandBarControl> control)
      : StubObject({{L"Caption", 1}, {L"PasteFace", 2}, {L"Delete", 3}}),
        control_(std::move(control)) {}

  const std::shared_ptr<host::StandInCommandBarControl>& control() const { return control_; }

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    switch (id) {
      case 1: {
        if (!call.IsPut()) return Text(control_->Caption());
        if (V_VT(&call.PutValue()) != VT_BSTR) return Status::Error("a caption is a text");
        if (Status s = control_->SetCaption(windows::TextOf(V_BSTR(&call.PutValue()))); !s) {
          return s;
        }
        return Variant();
      }
      case 2:
        if (Status s = control_->PasteFace(); !s) return s;
        return Variant();
      case 3:
        if (Status s = control_->Delete(); !s) return s;
        return Variant();
      default:
        return NoSuchMember(id);
    }
  }
  void* Other(REFIID iid) override {
    return IsEqualIID(iid, kStubControlIid) ? static_cast<IDispatch*>(this) : nullptr;
  }

 private:
  std::shared_ptr<host::StandInCommandBarControl> control_;
};

// The stand-in control behind a control object of the stub; null for any
// other object.
std::shared_ptr<host::StandInCommandBarControl> StandInOf(IDispatch* object) {
  if (!object) return nullptr;
  void* out = nullptr;
  if (FAILED(object->QueryInterface(kStubControlIid, &out)) || !out) return nullptr;
  auto* stub = static_cast<StubCommandBarControl*>(static_cast<IDispatch*>(out));
  std::shared_ptr<host::StandInCommandBarControl> control = stub->control();
  stub->Release();
  return control;
}

ComPtr<IDispatch> ControlObject(const std::shared_ptr<host::CommandBarControl>& control) {
  auto stand_in = std::dynamic_pointer_cast<host::StandInCommandBarControl>(control);
  return stand_in ? Make<StubCommandBarControl>(std::move(stand_in)) : nullptr;
}

class StubCommandBarControls final : public StubObject {
 public:
  explicit StubCommandBarControls(std::shared_ptr<host::CommandBarControls> controls)
      : StubObject({{L"Count", 1}, {L"Item", DISPID_VALUE}, {L"Add", 2}}),
        controls_(std::move(controls)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    switch (id) {
      case 1:
        return Variant::Long(controls_->Count());
      case DISPID_VALUE: {
        Result<LONG> position = call.Long(0);
        if (!position) return position.status();
        Result<std::shared_ptr<host::CommandBarControl>> item = controls_->Item(*position);
        if (!item) return item.status();
        return ObjectResult(ControlObject(*item));
      }
      case 2: {
        // Add(Type, Id, Parameter, Before, Temporary)
        if (call.count() > 5) return Status::Error("Add takes at most five arguments");
        Result<LONG> type =
            call.Given(0) ? call.Long(0) : Result<LONG>(host::control_type::kButton);
        if (!type) return type.status();
        std::optional<long> before;
        if (call.Given(3)) {
          Result<LONG> position = call.Long(3);
          if (!position) return position.status();
          before = *position;
        }
        if (call.Given(4)) {
          Result<bool> temporary = call.Bool(4);
          if (!temporary) return temporary.status();
          // Tolvan's controls stay until it deletes them itself.
          if (*temporary) return Status::Error("the stub takes no temporary controls");
        }
        Result<std::shared_ptr<host::CommandBarControl>> added = controls_->Add(*type, before);
        if (!added) return added.status();
        return ObjectResult(ControlObject(*added));
      }
      default:
        return NoSuchMember(id);
    }
  }

 private:
  std::shared_ptr<host::CommandBarControls> controls_;
};

class StubCommandBar final : public StubObject {
 public:
  explicit StubCommandBar(std::shared_ptr<host::CommandBar> bar)
      : StubObject({{L"Name", 1}, {L"Visible", 2}, {L"Controls", 3}}), bar_(std::move(bar)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    switch (id) {
      case 1:
        if (call.IsPut()) return ReadOnly();
        return Text(bar_->Name());
      case 2: {
        if (!call.IsPut()) return Variant::Bool(bar_->Visible());
        Variant flag;
        if (FAILED(VariantChangeType(flag.Receive(), const_cast<VARIANT*>(&call.PutValue()), 0,
                                     VT_BOOL))) {
          return Status::Error("Visible is True or False");
        }
        if (Status s = bar_->SetVisible(V_BOOL(&flag.get()) != VARIANT_FALSE); !s) return s;
        return Variant();
      }
      case 3: {
        if (call.IsPut()) return ReadOnly();
        std::shared_ptr<host::CommandBarControls> controls = bar_->Controls();
        return ObjectResult(controls ? Make<StubCommandBarControls>(std::move(controls)) : nullptr);
      }
      default:
        return NoSuchMember(id);
    }
  }

 private:
  std::shared_ptr<host::CommandBar> bar_;
};

class StubCommandBars final : public StubObject {
 public:
  explicit StubCommandBars(std::shared_ptr<host::CommandBars> bars)
      : StubObject({{L"Count", 1}, {L"Item", DISPID_VALUE}}), bars_(std::move(bars)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    if (id == 1) return Variant::Long(bars_->Count());
    if (id != DISPID_VALUE) return NoSuchMember(id);
    // By name or by position, as the IDE's collection takes either.
    Result<std::shared_ptr<host::CommandBar>> bar = Status::Error("no index");
    if (call.Given(0) && V_VT(&call.Raw(0)) == VT_BSTR) {
      Result<std::u16string> name = call.Text(0);
      if (!name) return name.status();
      bar = bars_->Item(*name);
    } else {
      Result<LONG> position = call.Long(0);
      if (!position) return position.status();
      bar = bars_->Item(*position);
    }
    if (!bar) return bar.status();
    return ObjectResult(*bar ? Make<StubCommandBar>(*bar) : nullptr);
  }

 private:
  std::shared_ptr<host::CommandBars> bars_;
};

}  // namespace

// --- Click events ----------------------------------------------------------------

// The click event source of one control: an IDispatch (with no members of
// its own) that is a connection-point container with one point.
class EventSource final : public StubObject, public IConnectionPointContainer {
 public:
  EventSource(std::shared_ptr<ClickSources> sources,
              std::shared_ptr<host::StandInCommandBarControl> control, bool points, bool accepts)
      : StubObject({}),
        sources_(std::move(sources)),
        control_(std::move(control)),
        points_(points),
        accepts_(accepts) {
    if (sources_) sources_->sources_.push_back(this);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return StubObject::QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return StubObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return StubObject::Release(); }

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  HRESULT Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    if (!accepts_) return CONNECT_E_ADVISELIMIT;
    // As a real source does: the sink must answer for the events interface.
    void* events = nullptr;
    if (FAILED(sink->QueryInterface(kStubClickEventsIid, &events)) || !events) {
      return CONNECT_E_CANNOTCONNECT;
    }
    sinks_.push_back({++last_cookie_, ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(events))});
    *cookie = last_cookie_;
    return S_OK;
  }
  HRESULT Unadvise(DWORD cookie) {
    auto found = std::find_if(sinks_.begin(), sinks_.end(),
                              [cookie](const Sink& sink) { return sink.cookie == cookie; });
    if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sinks_.erase(found);
    return S_OK;
  }

  const host::StandInCommandBarControl* control() const { return control_.get(); }
  struct Sink {
    DWORD cookie;
    ComPtr<IDispatch> sink;
  };
  const std::vector<Sink>& sinks() const { return sinks_; }

 protected:
  ~EventSource() override {
    if (sources_) std::erase(sources_->sources_, this);
  }
  Result<Variant> Run(DISPID id, Call&) override { return NoSuchMember(id); }
  void* Other(REFIID iid) override {
    if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
      return static_cast<IConnectionPointContainer*>(this);
    }
    return nullptr;
  }

 private:
  std::shared_ptr<ClickSources> sources_;
  std::shared_ptr<host::StandInCommandBarControl> control_;
  bool points_;
  bool accepts_;
  std::vector<Sink> sinks_;
  DWORD last_cookie_ = 0;
};

namespace {

class ConnectionPoint final : public IConnectionPoint, private LiveObject {
 public:
  explicit ConnectionPoint(EventSource* source) : source_(source) { source_->AddRef(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = kStubClickEventsIid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (!out) return E_POINTER;
    source_->AddRef();
    *out = source_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    return source_->Advise(sink, cookie);
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override { return source_->Unadvise(cookie); }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~ConnectionPoint() { source_->Release(); }
  std::atomic<ULONG> references_{1};
  EventSource* source_;
};

class ConnectionPoints final : public IEnumConnectionPoints, private LiveObject {
 public:
  ConnectionPoints(EventSource* source, ULONG count, ULONG next = 0)
      : source_(source), count_(count), next_(next) {
    source_->AddRef();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumConnectionPoints)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IEnumConnectionPoints*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, IConnectionPoint** points, ULONG* fetched) override {
    if (!points) return E_POINTER;
    ULONG given = 0;
    while (given < wanted && next_ < count_) {
      points[given++] = new ConnectionPoint(source_);
      ++next_;
    }
    if (fetched) *fetched = given;
    return given == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG n) override {
    next_ = std::min(count_, next_ + n);
    return next_ < count_ ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
    if (!out) return E_POINTER;
    *out = new ConnectionPoints(source_, count_, next_);
    return S_OK;
  }

 private:
  ~ConnectionPoints() { source_->Release(); }
  std::atomic<ULONG> references_{1};
  EventSource* source_;
  ULONG count_;
  ULONG next_;
};

}  // namespace

HRESULT EventSource::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  *out = new ConnectionPoints(this, points_ ? 1 : 0);
  return S_OK;
}

HRESULT EventSource::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!points_ || !IsEqualIID(iid, kStubClickEventsIid)) return CONNECT_E_NOCONNECTION;
  *out = new ConnectionPoint(this);
  return S_OK;
}

namespace {

class StubEvents final : public StubObject {
 public:
  explicit StubEvents(std::shared_ptr<ClickSources> sources)
      : StubObject({{L"CommandBarEvents", 1}}), sources_(std::move(sources)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    if (id != 1) return NoSuchMember(id);
    Result<ComPtr<IDispatch>> object = call.Object(0);
    if (!object) return object.status();
    std::shared_ptr<host::StandInCommandBarControl> control = StandInOf(object->get());
    if (!control) return Status::Error("not a command bar control of this environment");
    return ObjectResult(ComPtr<IDispatch>::Adopt(
        static_cast<StubObject*>(new EventSource(sources_, std::move(control), true, true))));
  }

 private:
  std::shared_ptr<ClickSources> sources_;
};

// The IDE's main window; its handle is a number, as VB6 gives a Long.
class StubWindow final : public StubObject {
 public:
  StubWindow() : StubObject({{L"HWnd", 1}}) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    if (id == 1) return Variant::Long(kStubMainWindow);
    return NoSuchMember(id);
  }
};

class StubVBE final : public StubObject {
 public:
  StubVBE(std::shared_ptr<host::VBE> code, std::shared_ptr<host::StandInCommandBars> bars,
          std::shared_ptr<ClickSources> sources)
      : StubObject({{L"ActiveVBProject", 1},
                    {L"ActiveCodePane", 2},
                    {L"SelectedVBComponent", 3},
                    {L"CommandBars", 4},
                    {L"Events", 5},
                    {L"MainWindow", 6}}),
        code_(std::move(code)),
        bars_(std::move(bars)),
        sources_(std::move(sources)) {}

 protected:
  Result<Variant> Run(DISPID id, Call& call) override {
    if (call.IsPut()) return ReadOnly();
    switch (id) {
      case 1: {
        auto project = code_ ? code_->ActiveVBProject() : nullptr;
        return ObjectResult(project ? Make<StubVBProject>(std::move(project)) : nullptr);
      }
      case 2: {
        auto pane = code_ ? code_->ActiveCodePane() : nullptr;
        return ObjectResult(pane ? Make<StubCodePane>(std::move(pane)) : nullptr);
      }
      case 3:
        return ObjectResult(ComponentObject(code_ ? code_->SelectedVBComponent() : nullptr));
      case 4:
        return ObjectResult(Make<StubCommandBars>(bars_));
      case 5:
        return ObjectResult(Make<StubEvents>(sources_));
      case 6:
        return ObjectResult(Make<StubWindow>());
      default:
        return NoSuchMember(id);
    }
  }

 private:
  std::shared_ptr<host::VBE> code_;
  std::shared_ptr<host::StandInCommandBars> bars_;
  std::shared_ptr<ClickSources> sources_;
};

}  // namespace

ClickSources::Outcome ClickSources::Click(const host::StandInCommandBarControl* control,
                                          IDispatch* control_object, VARIANT_BOOL& handled,
                                          VARIANT_BOOL& cancel_default) {
  // Taken first: a sink may end its subscription while it runs.
  std::vector<ComPtr<IDispatch>> sinks;
  for (EventSource* source : sources_) {
    if (source->control() != control) continue;
    for (const EventSource::Sink& sink : source->sinks()) sinks.push_back(sink.sink);
  }
  Outcome outcome;
  for (const ComPtr<IDispatch>& sink : sinks) {
    VARIANTARG arguments[3];
    for (VARIANTARG& a : arguments) VariantInit(&a);
    V_VT(&arguments[0]) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&arguments[0]) = &cancel_default;
    V_VT(&arguments[1]) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&arguments[1]) = &handled;
    V_VT(&arguments[2]) = VT_DISPATCH;
    V_DISPATCH(&arguments[2]) = control_object;
    DISPPARAMS params{arguments, nullptr, 3, 0};
    EXCEPINFO exception{};
    UINT argument_error = 0;
    const HRESULT hr = sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    nullptr, &exception, &argument_error);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    ++outcome.sinks;
    if (FAILED(hr) && SUCCEEDED(outcome.result)) outcome.result = hr;
  }
  return outcome;
}

int ClickSources::Advised() const {
  int advised = 0;
  for (const EventSource* source : sources_) advised += static_cast<int>(source->sinks().size());
  return advised;
}

ComPtr<IDispatch> MakeStubVBE(std::shared_ptr<host::VBE> code,
                              std::shared_ptr<host::StandInCommandBars> bars,
                              std::shared_ptr<ClickSources> sources) {
  return Make<StubVBE>(std::move(code), std::move(bars), std::move(sources));
}

ComPtr<IDispatch> MakeStubControl(std::shared_ptr<host::StandInCommandBarControl> control) {
  return Make<StubCommandBarControl>(std::move(control));
}

ComPtr<IDispatch> MakeStubEvents(std::shared_ptr<ClickSources> sources) {
  return Make<StubEvents>(std::move(sources));
}

ComPtr<IDispatch> MakeStubCodeModule(std::shared_ptr<host::CodeModule> module) {
  return Make<StubCodeModule>(std::move(module));
}

ComPtr<IDispatch> MakeBrokenEventSource(bool points) {
  return ComPtr<IDispatch>::Adopt(
      static_cast<StubObject*>(new EventSource(nullptr, nullptr, points, false)));
}

}  // namespace tolvan::stub
