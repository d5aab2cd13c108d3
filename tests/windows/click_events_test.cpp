// Command bar clicks through connection points: the subscription made and
// ended with the handler, the sink's handling of Click's arguments as
// callers pass them, and no exception and no stale handler across the COM
// boundary.
#include <gtest/gtest.h>

#include <stdexcept>

#include "StubIde.h"
#include "platform/Clipboard.h"
#include "windows/DispatchClickSink.h"
#include "windows/DispatchCommandBarControls.h"
#include "windows/DispatchEvents.h"
#include "windows/Module.h"

namespace tolvan::windows {
namespace {

struct Clicks {
  Clicks() {
    bars = host::MakeStandardCommandBars(clipboard);
    button = bars->Bar(u"標準")->controls().Append(u"Tolvan");
    sources = std::make_shared<stub::ClickSources>();
    events = std::make_unique<DispatchEvents>(stub::MakeStubEvents(sources));
    control = std::make_shared<DispatchCommandBarControl>(stub::MakeStubControl(button));
  }

  // The user clicks the button: how many sinks ran.
  int Click(VARIANT_BOOL& handled, VARIANT_BOOL& cancel_default) {
    ComPtr<IDispatch> object = stub::MakeStubControl(button);
    stub::ClickSources::Outcome outcome =
        sources->Click(button.get(), object.get(), handled, cancel_default);
    EXPECT_EQ(outcome.result, S_OK);
    return outcome.sinks;
  }
  int Click() {
    VARIANT_BOOL handled = VARIANT_FALSE, cancel_default = VARIANT_FALSE;
    return Click(handled, cancel_default);
  }

  std::shared_ptr<host::CommandBarEvents> Source() {
    Result<std::shared_ptr<host::CommandBarEvents>> source = events->CommandBarEvents(control);
    EXPECT_TRUE(source.ok()) << source.message();
    return source.ok() ? *source : nullptr;
  }

  MemoryClipboard clipboard;
  std::shared_ptr<host::StandInCommandBars> bars;
  std::shared_ptr<host::StandInCommandBarControl> button;
  std::shared_ptr<stub::ClickSources> sources;
  std::unique_ptr<DispatchEvents> events;
  std::shared_ptr<DispatchCommandBarControl> control;
};

TEST(DispatchCommandBarEvents, TheHandlerSubscribesAndClearingItEnds) {
  Clicks ide;
  auto source = ide.Source();
  EXPECT_EQ(ide.sources->Advised(), 0) << "no sink before a handler is set";

  int clicks = 0;
  std::u16string caption;
  source->SetClickHandler(
      [&](const std::shared_ptr<host::CommandBarControl>& control, bool&, bool&) {
        ++clicks;
        caption = control ? control->Caption() : u"(none)";
      });
  EXPECT_EQ(ide.sources->Advised(), 1);
  EXPECT_EQ(ide.Click(), 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(caption, u"Tolvan") << "the clicked control comes through as one of ours";

  // A new handler takes the old one's place on the same sink.
  int second = 0;
  source->SetClickHandler(
      [&](const std::shared_ptr<host::CommandBarControl>&, bool&, bool&) { ++second; });
  EXPECT_EQ(ide.sources->Advised(), 1);
  EXPECT_EQ(ide.Click(), 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(second, 1);

  source->SetClickHandler(nullptr);
  EXPECT_EQ(ide.sources->Advised(), 0);
  EXPECT_EQ(ide.Click(), 0);
  EXPECT_EQ(second, 1);
}

TEST(DispatchCommandBarEvents, ReleasingTheSourceEndsTheSubscription) {
  Clicks ide;
  int clicks = 0;
  {
    auto source = ide.Source();
    source->SetClickHandler(
        [&](const std::shared_ptr<host::CommandBarControl>&, bool&, bool&) { ++clicks; });
    EXPECT_EQ(ide.Click(), 1);
  }
  EXPECT_EQ(ide.sources->Advised(), 0);
  EXPECT_EQ(ide.sources->Sources(), 0) << "the environment's source was let go";
  EXPECT_EQ(ide.Click(), 0);
  EXPECT_EQ(clicks, 1);
}

TEST(DispatchCommandBarEvents, AHandlerThatEndsItsOwnSubscriptionFinishesTheClick) {
  Clicks ide;
  std::shared_ptr<host::CommandBarEvents> source = ide.Source();
  int clicks = 0;
  source->SetClickHandler(
      [&](const std::shared_ptr<host::CommandBarControl>&, bool& handled, bool&) {
        ++clicks;
        source.reset();  // the last reference: unadvises the sink that is running
        handled = true;
      });
  VARIANT_BOOL handled = VARIANT_FALSE, cancel_default = VARIANT_FALSE;
  EXPECT_EQ(ide.Click(handled, cancel_default), 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(ide.sources->Advised(), 0);
}

TEST(DispatchCommandBarEvents, HandledAndCancelDefaultGoBackByReference) {
  Clicks ide;
  auto source = ide.Source();
  source->SetClickHandler(
      [](const std::shared_ptr<host::CommandBarControl>&, bool& handled, bool& cancel_default) {
        handled = !handled;
        cancel_default = true;
      });
  VARIANT_BOOL handled = VARIANT_TRUE, cancel_default = VARIANT_FALSE;
  EXPECT_EQ(ide.Click(handled, cancel_default), 1);
  EXPECT_EQ(handled, VARIANT_FALSE);
  EXPECT_EQ(cancel_default, VARIANT_TRUE);
}

TEST(DispatchEvents, SourcesThatCannotBeWatchedFailWithAReason) {
  Clicks ide;
  auto foreign = std::make_shared<host::StandInCommandBarControl>(
      host::control_type::kButton, u"x", nullptr, std::weak_ptr<host::StandInCommandBarControls>());
  Result<std::shared_ptr<host::CommandBarEvents>> not_ours = ide.events->CommandBarEvents(foreign);
  ASSERT_FALSE(not_ours.ok());
  EXPECT_EQ(not_ours.message(), "no command bar control of the development environment to watch");

  Result<std::shared_ptr<DispatchCommandBarEvents>> pointless =
      DispatchCommandBarEvents::Open(stub::MakeBrokenEventSource(false));
  ASSERT_FALSE(pointless.ok());
  EXPECT_EQ(pointless.message(), "the click events cannot be watched: no connection point");

  Result<std::shared_ptr<DispatchCommandBarEvents>> refusing =
      DispatchCommandBarEvents::Open(stub::MakeBrokenEventSource(true));
  ASSERT_TRUE(refusing.ok()) << refusing.message();
  (*refusing)->SetClickHandler(
      [](const std::shared_ptr<host::CommandBarControl>&, bool&, bool&) {});
  EXPECT_FALSE((*refusing)->subscribed());
  EXPECT_EQ((*refusing)->subscribe_status().message(),
            "the click events cannot be watched (error 0x80040201)");
}

// --- The sink, called directly as an environment would ---------------------------

constexpr IID kEvents = {
    0x55A0C1D2, 0x3B4E, 0x4F60, {0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8}};

struct Seen {
  int calls = 0;
  bool had_control = false;
  bool handled = false;
  bool cancel_default = false;
};

// A sink whose handler records what it saw and sets both flags to `set`.
ComPtr<DispatchClickSink> RecordingSink(Seen& seen, bool set) {
  return ComPtr<DispatchClickSink>::Adopt(new DispatchClickSink(
      kEvents, [&seen, set](const std::shared_ptr<host::CommandBarControl>& control, bool& handled,
                            bool& cancel_default) {
        ++seen.calls;
        seen.had_control = control != nullptr;
        seen.handled = handled;
        seen.cancel_default = cancel_default;
        handled = set;
        cancel_default = set;
      }));
}

VARIANTARG Arg(VARTYPE type) {
  VARIANTARG v;
  VariantInit(&v);
  V_VT(&v) = type;
  return v;
}

TEST(DispatchClickSink, TakesClickArgumentsAsCallersPassThem) {
  std::shared_ptr<host::StandInCommandBarControl> button =
      std::make_shared<host::StandInCommandBarControl>(
          host::control_type::kButton, u"Tolvan", nullptr,
          std::weak_ptr<host::StandInCommandBarControls>());
  ComPtr<IDispatch> control = stub::MakeStubControl(button);

  // Each row: how the control and the two flags are passed. The handler
  // sets both flags; by reference they must come back set.
  enum class Pass { kBoolRef, kVariantRef, kByValue, kLong };
  struct Row {
    const char* name;
    bool control_null;
    Pass flags;
    HRESULT expected;
  };
  const Row rows[] = {
      {"VT_BOOL by reference", false, Pass::kBoolRef, S_OK},
      {"a Variant by reference holding a Boolean", false, Pass::kVariantRef, S_OK},
      {"by value: read, not written", false, Pass::kByValue, S_OK},
      {"no control", true, Pass::kBoolRef, S_OK},
      {"a number for a flag", false, Pass::kLong, DISP_E_TYPEMISMATCH},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Seen seen;
    ComPtr<DispatchClickSink> sink = RecordingSink(seen, true);
    VARIANT_BOOL handled = VARIANT_TRUE, cancel_default = VARIANT_FALSE;
    VARIANT handled_holder = Arg(VT_BOOL), cancel_holder = Arg(VT_BOOL);
    V_BOOL(&handled_holder) = VARIANT_TRUE;
    V_BOOL(&cancel_holder) = VARIANT_FALSE;
    VARIANTARG arguments[3] = {Arg(VT_EMPTY), Arg(VT_EMPTY), Arg(VT_DISPATCH)};
    V_DISPATCH(&arguments[2]) = row.control_null ? nullptr : control.get();
    switch (row.flags) {
      case Pass::kBoolRef:
        arguments[0] = Arg(VT_BOOL | VT_BYREF);
        V_BOOLREF(&arguments[0]) = &cancel_default;
        arguments[1] = Arg(VT_BOOL | VT_BYREF);
        V_BOOLREF(&arguments[1]) = &handled;
        break;
      case Pass::kVariantRef:
        arguments[0] = Arg(VT_VARIANT | VT_BYREF);
        V_VARIANTREF(&arguments[0]) = &cancel_holder;
        arguments[1] = Arg(VT_VARIANT | VT_BYREF);
        V_VARIANTREF(&arguments[1]) = &handled_holder;
        break;
      case Pass::kByValue:
        arguments[0] = cancel_holder;
        arguments[1] = handled_holder;
        break;
      case Pass::kLong:
        arguments[0] = Arg(VT_I4);
        arguments[1] = Arg(VT_I4);
        break;
    }
    DISPPARAMS params{arguments, nullptr, 3, 0};
    UINT bad = 99;
    const HRESULT hr = sink->Invoke(kDispidClick, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                    &params, nullptr, nullptr, &bad);
    EXPECT_EQ(hr, row.expected);
    if (FAILED(hr)) {
      EXPECT_EQ(bad, 1u) << "handled is the first bad argument, counted last first";
      EXPECT_EQ(seen.calls, 0);
      continue;
    }
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.had_control, !row.control_null);
    EXPECT_TRUE(seen.handled) << "the handler sees handled as given (True)";
    EXPECT_FALSE(seen.cancel_default);
    if (row.flags == Pass::kBoolRef) {
      EXPECT_EQ(handled, VARIANT_TRUE);
      EXPECT_EQ(cancel_default, VARIANT_TRUE);
    } else if (row.flags == Pass::kVariantRef) {
      EXPECT_EQ(V_BOOL(&cancel_holder), VARIANT_TRUE);
    }
  }
}

TEST(DispatchClickSink, RefusesWhatIsNotAClick) {
  Seen seen;
  ComPtr<DispatchClickSink> sink = RecordingSink(seen, true);
  VARIANT_BOOL flag = VARIANT_FALSE;
  VARIANTARG three[3] = {Arg(VT_BOOL | VT_BYREF), Arg(VT_BOOL | VT_BYREF), Arg(VT_I4)};
  V_BOOLREF(&three[0]) = &flag;
  V_BOOLREF(&three[1]) = &flag;
  DISPID named = 0;
  struct Row {
    const char* name;
    DISPID id;
    DISPPARAMS params;
    HRESULT expected;
  };
  const Row rows[] = {
      {"another member", 2, {three, nullptr, 3, 0}, DISP_E_MEMBERNOTFOUND},
      {"two arguments", kDispidClick, {three, nullptr, 2, 0}, DISP_E_BADPARAMCOUNT},
      {"named arguments", kDispidClick, {three, &named, 3, 1}, DISP_E_NONAMEDARGS},
      {"a number for the control", kDispidClick, {three, nullptr, 3, 0}, DISP_E_TYPEMISMATCH},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DISPPARAMS params = row.params;
    EXPECT_EQ(sink->Invoke(row.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                           nullptr, nullptr),
              row.expected);
  }
  EXPECT_EQ(seen.calls, 0);

  void* out = nullptr;
  EXPECT_EQ(sink->QueryInterface(kEvents, &out), S_OK);
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(sink->QueryInterface(IID_IConnectionPointContainer, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

TEST(DispatchClickSink, NoExceptionLeavesTheSinkAndADetachedSinkDoesNothing) {
  const long live = LiveObjects();
  {
    auto sink = ComPtr<DispatchClickSink>::Adopt(new DispatchClickSink(
        kEvents, [](const std::shared_ptr<host::CommandBarControl>&, bool&, bool&) {
          throw std::runtime_error("the comment command broke");
        }));
    EXPECT_EQ(LiveObjects(), live + 1) << "a sink keeps the DLL loaded";
    VARIANT_BOOL handled = VARIANT_FALSE, cancel_default = VARIANT_FALSE;
    VARIANTARG arguments[3] = {Arg(VT_BOOL | VT_BYREF), Arg(VT_BOOL | VT_BYREF), Arg(VT_DISPATCH)};
    V_BOOLREF(&arguments[0]) = &cancel_default;
    V_BOOLREF(&arguments[1]) = &handled;
    V_DISPATCH(&arguments[2]) = nullptr;
    DISPPARAMS params{arguments, nullptr, 3, 0};
    EXPECT_EQ(sink->Invoke(kDispidClick, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                           nullptr, nullptr, nullptr),
              E_UNEXPECTED);
    sink->Detach();
    EXPECT_EQ(sink->Invoke(kDispidClick, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                           nullptr, nullptr, nullptr),
              S_OK);
  }
  EXPECT_EQ(LiveObjects(), live);
}

}  // namespace
}  // namespace tolvan::windows
