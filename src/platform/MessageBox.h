// Message boxes with an OK button only, behind an interface: the Qt front
// end shows a window, the command line prints the message, and tests record
// what would have been shown.
#pragma once

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

}  // namespace tolvan
