// The environment's menus and tool bars (command bars), their controls, and
// the click events of a control, as far as the connection uses them. On
// Windows these are the IDE's own objects; StandInCommandBars.h puts an
// in-memory set behind them for the command line and the tests. Positions
// are 1-based. An operation the IDE would fail with an error returns a
// failed Status or Result here.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Status.h"

namespace tolvan::host {

// Control types (MsoControlType) that the system creates.
namespace control_type {
inline constexpr int kButton = 1;
}  // namespace control_type

class CommandBarControl {
 public:
  virtual ~CommandBarControl() = default;
  virtual std::u16string Caption() const = 0;
  virtual Status SetCaption(std::u16string_view caption) = 0;
  // Takes the picture on the system clipboard as the control's face.
  virtual Status PasteFace() = 0;
  // Removes the control from its bar; the object then stands for nothing.
  virtual Status Delete() = 0;
};

class CommandBarControls {
 public:
  virtual ~CommandBarControls() = default;
  virtual long Count() const = 0;
  virtual Result<std::shared_ptr<CommandBarControl>> Item(long position) const = 0;
  // Adds a control of `type` that takes position `before`, moving the control
  // there and those after it one place on; without `before` it is appended.
  virtual Result<std::shared_ptr<CommandBarControl>> Add(int type, std::optional<long> before) = 0;

  // Enumeration in order, as For Each walks the collection. A position that
  // cannot be read yields nullptr.
  class Iterator {
   public:
    Iterator(const CommandBarControls* controls, long position)
        : controls_(controls), position_(position) {}
    std::shared_ptr<CommandBarControl> operator*() const {
      auto item = controls_->Item(position_);
      return item ? *item : nullptr;
    }
    Iterator& operator++() {
      ++position_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return position_ == other.position_; }

   private:
    const CommandBarControls* controls_;
    long position_;
  };
  Iterator begin() const { return Iterator(this, 1); }
  Iterator end() const { return Iterator(this, Count() + 1); }
};

class CommandBar {
 public:
  virtual ~CommandBar() = default;
  virtual std::u16string Name() const = 0;
  virtual bool Visible() const = 0;
  virtual Status SetVisible(bool visible) = 0;
  virtual std::shared_ptr<CommandBarControls> Controls() const = 0;
};

// All menus and tool bars; position 1 is the menu bar.
class CommandBars {
 public:
  virtual ~CommandBars() = default;
  virtual long Count() const = 0;
  virtual Result<std::shared_ptr<CommandBar>> Item(long position) const = 0;
  // Fails for a name that no command bar has.
  virtual Result<std::shared_ptr<CommandBar>> Item(std::u16string_view name) const = 0;
};

// The handler of a control's click. `handled` and `CancelDefault` are passed
// on from one subscriber to the next.
using CommandBarClickHandler =
    std::function<void(const std::shared_ptr<CommandBarControl>& CommandBarControl, bool& handled,
                       bool& CancelDefault)>;

// The click event source of one control. The subscription lasts while the
// source is held and a handler is set: setting an empty handler or releasing
// the source ends it.
class CommandBarEvents {
 public:
  virtual ~CommandBarEvents() = default;
  virtual void SetClickHandler(CommandBarClickHandler handler) = 0;
};

class Events {
 public:
  virtual ~Events() = default;
  // A new event source for the clicks of `control`.
  virtual Result<std::shared_ptr<host::CommandBarEvents>> CommandBarEvents(
      const std::shared_ptr<CommandBarControl>& control) = 0;
};

}  // namespace tolvan::host
