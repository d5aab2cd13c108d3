// A fake development environment made of IDispatch objects, for driving
// tolvan.dll as the IDE would: the root object, project, component, code
// pane and code module are servers around any host::VBE (a module file's,
// in the host stub), the command bars are servers around the stand-in bars
// of StandInCommandBars.h, and Events.CommandBarEvents gives connection-point
// containers whose clicks the stub fires. The click events interface has an
// IID of the stub's own, which the add-in can only learn from the connection
// point.
#pragma once

#include <ocidl.h>

#include <memory>
#include <vector>

#include "StubDispatch.h"
#include "standin/StandInCommandBars.h"
#include "vbide/VBE.h"

namespace tolvan::stub {

// {3C7E61D2-9A40-4F0B-8E51-2B6D7A1C9E03}
inline constexpr IID kStubClickEventsIid = {
    0x3C7E61D2, 0x9A40, 0x4F0B, {0x8E, 0x51, 0x2B, 0x6D, 0x7A, 0x1C, 0x9E, 0x03}};

// The handle MainWindow.HWnd gives.
inline constexpr LONG kStubMainWindow = 0x10010;

class EventSource;

// The click event sources handed out, by control, and the sinks advised on
// them.
class ClickSources {
 public:
  struct Outcome {
    int sinks = 0;          // how many sinks were called
    HRESULT result = S_OK;  // the first failure of a sink's Invoke
  };
  // The user clicks `control`: Click(control_object, handled, CancelDefault)
  // goes to every sink advised for it, oldest first, the two flags passed by
  // reference.
  Outcome Click(const host::StandInCommandBarControl* control, IDispatch* control_object,
                VARIANT_BOOL& handled, VARIANT_BOOL& cancel_default);
  // Sinks advised now, on all sources.
  int Advised() const;
  int Sources() const { return static_cast<int>(sources_.size()); }

 private:
  friend class EventSource;
  std::vector<EventSource*> sources_;
};

// The root object of the fake IDE: the code comes from `code`, the command
// bars from `bars`, the click event sources are recorded in `sources`.
ComPtr<IDispatch> MakeStubVBE(std::shared_ptr<host::VBE> code,
                              std::shared_ptr<host::StandInCommandBars> bars,
                              std::shared_ptr<ClickSources> sources);

// A control of the fake IDE, as the first argument of a click.
ComPtr<IDispatch> MakeStubControl(std::shared_ptr<host::StandInCommandBarControl> control);

// The events object alone and a code module alone, for tests.
ComPtr<IDispatch> MakeStubEvents(std::shared_ptr<ClickSources> sources);
ComPtr<IDispatch> MakeStubCodeModule(std::shared_ptr<host::CodeModule> module);

// A connection-point container for `control` that gives no connection point
// (`points` false) or whose one point refuses every sink, for the failures of
// subscribing.
ComPtr<IDispatch> MakeBrokenEventSource(bool points);

}  // namespace tolvan::stub
