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

#ifdef _WIN32
// Formats of the Windows clipboard that no name above covers are kept under
// this prefix and their format's name: "windows:HTML Format" for a
// registered format, "windows:CF_HDROP" for a standard one.
inline constexpr char kClipboardWindowsPrefix[] = "windows:";

// The Windows clipboard. "image/bmp" travels as CF_DIB and the UTF-8 text as
// CF_UNICODETEXT; the system offers the other forms of a picture or a text
// (CF_BITMAP, CF_TEXT...) from these by itself. Every other format whose data
// is a block of memory is kept byte for byte under kClipboardWindowsPrefix,
// so that what the user had copied can be taken and put back. Formats held
// as other kinds of handles (metafiles, palettes, private formats of a
// program) cannot be copied out and are not among the contents.
//
// The clipboard is open to one program at a time; another may hold it for a
// moment, so opening is tried `attempts` times, `pause_ms` apart.
class WindowsClipboard : public Clipboard {
 public:
  explicit WindowsClipboard(int attempts = 10, int pause_ms = 20)
      : attempts_(attempts), pause_ms_(pause_ms) {}
  Result<ClipboardContents> Contents() const override;
  // Checks and converts every entry before the clipboard is touched: a
  // picture that is not a BMP file, text that is not UTF-8 or a format
  // Windows has no name for leaves the clipboard as it was.
  Status SetContents(const ClipboardContents& contents) override;

 private:
  int attempts_;
  int pause_ms_;
};
#endif

}  // namespace tolvan
