// An IDE for connection tests: the engine tests' in-memory code window and
// project, with the stand-in command bars and click events added.
#pragma once

#include <memory>

#include "engine/FakeHost.h"
#include "platform/Clipboard.h"
#include "standin/StandInCommandBars.h"

namespace tolvan::testing {

class StandInIde : public FakeVBE {
 public:
  explicit StandInIde(Clipboard& clipboard)
      : bars(host::MakeStandardCommandBars(clipboard)),
        events(std::make_shared<host::StandInEvents>()) {}

  std::shared_ptr<host::CommandBars> CommandBars() const override { return bars; }
  std::shared_ptr<host::Events> Events() const override { return events; }

  host::StandInCommandBarControls& Controls(std::u16string_view bar) {
    return bars->Bar(bar)->controls();
  }

  std::shared_ptr<host::StandInCommandBars> bars;
  std::shared_ptr<host::StandInEvents> events;
};

}  // namespace tolvan::testing
