// The system clipboard, behind an interface: the connection puts the button
// face there for the tool bar to take, and must give the user's own content
// back afterwards. The content is a set of formats, each with its bytes, so
// that whatever the user had copied can be taken and put back whole.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace tolvan {

// Format name -> bytes. An empty map is an empty clipboard.
using ClipboardContents = std::map<std::string, std::string>;

// A picture, as the bytes of a BMP file.
inline constexpr char kClipboardBitmap[] = "image/bmp";
inline constexpr char kClipboardText[] = "text/plain;charset=utf-8";

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual Result<ClipboardContents> Contents() const = 0;
  // Replaces everything on the clipboard with `contents`.
  virtual Status SetContents(const ClipboardContents& contents) = 0;
};

// A clipboard in memory: the command line's, and the tests'. The failure
// switches let tests play a clipboard that another program holds open.
class MemoryClipboard : public Clipboard {
 public:
  Result<ClipboardContents> Contents() const override {
    if (fail_read) return Status::Error("the clipboard cannot be opened");
    return contents;
  }
  Status SetContents(const ClipboardContents& new_contents) override {
    if (fail_write) return Status::Error("the clipboard cannot be opened");
    contents = new_contents;
    history.push_back(new_contents);
    return Status::Ok();
  }

  ClipboardContents contents;
  // Every content set, in order.
  std::vector<ClipboardContents> history;
  bool fail_read = false;
  bool fail_write = false;
};

}  // namespace tolvan
