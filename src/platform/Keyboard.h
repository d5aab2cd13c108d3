// The state of the modifier keys at the moment a command runs. The front end
// supplies it: command-line flags, or the real keyboard in a GUI.
#pragma once

namespace tolvan {

class KeyboardState {
 public:
  virtual ~KeyboardState() = default;
  virtual bool ShiftDown() const = 0;
  virtual bool CtrlDown() const = 0;
};

class FixedKeyboardState : public KeyboardState {
 public:
  FixedKeyboardState(bool shift = false, bool ctrl = false) : shift_(shift), ctrl_(ctrl) {}
  bool ShiftDown() const override { return shift_; }
  bool CtrlDown() const override { return ctrl_; }

 private:
  bool shift_;
  bool ctrl_;
};

}  // namespace tolvan
