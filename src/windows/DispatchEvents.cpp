#include "windows/DispatchEvents.h"

#include "windows/DispatchCommandBarControls.h"

namespace tolvan::windows {

Result<std::shared_ptr<host::CommandBarEvents>> DispatchEvents::CommandBarEvents(
    const std::shared_ptr<host::CommandBarControl>& control) {
  auto ours = std::dynamic_pointer_cast<DispatchCommandBarControl>(control);
  if (!ours || !ours->get()) {
    return Status::Error("no command bar control of the development environment to watch");
  }
  Result<ComPtr<IDispatch>> source =
      object_.GetChild(L"CommandBarEvents", Args(Variant::Dispatch(ours->get())));
  if (!source) return source.status();
  if (!*source) return Status::Error("the development environment gave no click events");
  Result<std::shared_ptr<DispatchCommandBarEvents>> events =
      DispatchCommandBarEvents::Open(std::move(*source));
  if (!events) return events.status();
  return std::shared_ptr<host::CommandBarEvents>(std::move(*events));
}

Result<std::shared_ptr<DispatchCommandBarEvents>> DispatchCommandBarEvents::Open(
    ComPtr<IDispatch> source) {
  auto container = source.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!container) return Status::Error("the click events cannot be watched: no connection points");
  ComPtr<IEnumConnectionPoints> points;
  HRESULT hr = container->EnumConnectionPoints(points.Receive());
  if (FAILED(hr) || !points) {
    return Status::Error("the click events cannot be watched (error " + HexOf(hr) + ")");
  }
  // The click events are the source's one outgoing interface.
  ComPtr<IConnectionPoint> point;
  ULONG fetched = 0;
  hr = points->Next(1, point.Receive(), &fetched);
  if (hr != S_OK || fetched != 1 || !point) {
    return Status::Error("the click events cannot be watched: no connection point");
  }
  IID iid;
  hr = point->GetConnectionInterface(&iid);
  if (FAILED(hr)) {
    return Status::Error("the click events cannot be watched (error " + HexOf(hr) + ")");
  }
  return std::shared_ptr<DispatchCommandBarEvents>(
      new DispatchCommandBarEvents(std::move(source), std::move(point), iid));
}

DispatchCommandBarEvents::~DispatchCommandBarEvents() { Unsubscribe(); }

void DispatchCommandBarEvents::SetClickHandler(host::CommandBarClickHandler handler) {
  if (!handler) {
    Unsubscribe();
    return;
  }
  if (sink_) {
    sink_->SetHandler(std::move(handler));
    return;
  }
  auto* sink = new DispatchClickSink(events_interface_, std::move(handler));
  DWORD cookie = 0;
  const HRESULT hr = point_->Advise(static_cast<IDispatch*>(sink), &cookie);
  if (FAILED(hr)) {
    sink->Detach();
    sink->Release();
    subscribe_status_ =
        Status::Error("the click events cannot be watched (error " + HexOf(hr) + ")");
    return;
  }
  sink_ = sink;
  cookie_ = cookie;
  subscribe_status_ = Status::Ok();
}

void DispatchCommandBarEvents::Unsubscribe() {
  if (!sink_) return;
  // Detached first: a source that fails to let go can no longer reach the
  // handler, whose owner may be gone.
  sink_->Detach();
  (void)point_->Unadvise(cookie_);
  sink_->Release();
  sink_ = nullptr;
  cookie_ = 0;
}

}  // namespace tolvan::windows
