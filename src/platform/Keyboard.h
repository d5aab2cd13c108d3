// The state of the modifier keys at the moment a command runs. The front end
// supplies it: command-line flags, or the real keyboard in a GUI
// (WindowsKeyboardState in the add-in on Windows).
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

#ifdef _WIN32
// The keyboard of the Windows desktop as GetKeyState reports it: the keys as
// they were when the message being handled (the click on the button) came
// in, not as they are by the time the command reads them. A key is down when
// the high bit of its state is set.
class WindowsKeyboardState : public KeyboardState {
 public:
  bool ShiftDown() const override;
  bool CtrlDown() const override;
};
#endif

}  // namespace tolvan
