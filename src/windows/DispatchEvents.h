// The environment's Events object through IDispatch, and the click event
// source it gives for a command bar control. The source is a
// connection-point container: its point is found when the source is made
// (so that a source that cannot be watched fails there, where the caller
// can say so), a sink is advised when a click handler is set and unadvised
// when the handler is cleared or the source is released.
#pragma once

#include <ocidl.h>

#include "vbide/CommandBars.h"
#include "windows/DispatchClickSink.h"
#include "windows/DispatchObject.h"

namespace tolvan::windows {

class DispatchEvents : public host::Events {
 public:
  explicit DispatchEvents(ComPtr<IDispatch> events) : object_(std::move(events), "Events") {}

  // `control` must be one of the environment's (DispatchCommandBarControl).
  Result<std::shared_ptr<host::CommandBarEvents>> CommandBarEvents(
      const std::shared_ptr<host::CommandBarControl>& control) override;

 private:
  DispatchObject object_;
};

class DispatchCommandBarEvents : public host::CommandBarEvents {
 public:
  // The click events of `source`: its first connection point, whose
  // interface is the click events interface.
  static Result<std::shared_ptr<DispatchCommandBarEvents>> Open(ComPtr<IDispatch> source);
  ~DispatchCommandBarEvents() override;
  DispatchCommandBarEvents(const DispatchCommandBarEvents&) = delete;
  DispatchCommandBarEvents& operator=(const DispatchCommandBarEvents&) = delete;

  void SetClickHandler(host::CommandBarClickHandler handler) override;

  // Whether a sink is advised now, and why the last attempt to advise one
  // failed (ok when none did): SetClickHandler cannot return a failure.
  bool subscribed() const { return sink_ != nullptr; }
  const Status& subscribe_status() const { return subscribe_status_; }

 private:
  DispatchCommandBarEvents(ComPtr<IDispatch> source, ComPtr<IConnectionPoint> point, IID iid)
      : source_(std::move(source)), point_(std::move(point)), events_interface_(iid) {}
  void Unsubscribe();

  ComPtr<IDispatch> source_;
  ComPtr<IConnectionPoint> point_;
  IID events_interface_;
  DispatchClickSink* sink_ = nullptr;  // one reference, ours, while advised
  DWORD cookie_ = 0;
  Status subscribe_status_;
};

}  // namespace tolvan::windows
