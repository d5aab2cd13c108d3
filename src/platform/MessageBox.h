// Message boxes with an OK button only, behind an interface: the Qt front
// end shows a window, the add-in on Windows a message box of the system, the
// command line prints the message, and tests record what would have been
// shown.
#pragma once

// windows.h makes MessageBox a macro for MessageBoxW; the class below keeps
// its own name in every file, whatever was included before.
#ifdef MessageBox
#undef MessageBox
#endif

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Text.h"

namespace tolvan {

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  virtual void Show(std::u16string_view prompt, std::u16string_view title) = 0;
};

// Prints "<title>: <prompt>" on a line of its own, for a front end without
// windows.
class StreamMessageBox : public MessageBox {
 public:
  explicit StreamMessageBox(std::ostream& out) : out_(out) {}
  void Show(std::u16string_view prompt, std::u16string_view title) override {
    out_ << Utf16ToUtf8(title) << ": " << Utf16ToUtf8(prompt) << "\n";
  }

 private:
  std::ostream& out_;
};

// Keeps every message, for tests.
class RecordingMessageBox : public MessageBox {
 public:
  struct Shown {
    std::u16string prompt;
    std::u16string title;
    bool operator==(const Shown&) const = default;
  };
  void Show(std::u16string_view prompt, std::u16string_view title) override {
    shown.push_back({std::u16string(prompt), std::u16string(title)});
  }
  std::vector<Shown> shown;
};

#ifdef _WIN32
// A message box of the system, as Visual Basic's MsgBox with vbOKOnly shows
// it: an OK button, no icon, and the product title "Tolvan" when no title is
// given.
class WindowsMessageBox : public MessageBox {
 public:
  // `owner` gives, when the box is shown, the window it belongs to (an HWND,
  // such as the development environment's main window), which cannot be
  // used until the box is closed. Without one, or when it gives null, every
  // window of the calling thread waits for the box instead.
  explicit WindowsMessageBox(std::function<void*()> owner = nullptr) : owner_(std::move(owner)) {}
  void Show(std::u16string_view prompt, std::u16string_view title) override;

 private:
  std::function<void*()> owner_;
};
#endif

}  // namespace tolvan
