// The base protocol's framing: each message is a header block of
// "Name: value" lines ended by an empty line, then Content-Length bytes of
// JSON. Bytes arrive in whatever pieces the pipe gives; Feed() takes them
// and Next() hands out whole messages. A header block without a usable
// Content-Length is dropped with an error, and reading goes on after it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Status.h"

namespace tolvan::lsp {

class MessageReader {
 public:
  // Larger messages are refused rather than buffered.
  static constexpr size_t kMaxContentLength = 64u << 20;
  // Bytes without an empty line after them that can still be a header.
  static constexpr size_t kMaxHeaderLength = 16u << 10;

  void Feed(std::string_view bytes) { buffer_.append(bytes); }
  // The next whole message's content; an error for a header block that was
  // dropped; nothing when more bytes are needed.
  std::optional<Result<std::string>> Next();

 private:
  std::string buffer_;
  size_t start_ = 0;  // what is before it has been handed out
};

// The framed form of a message's content.
std::string Frame(std::string_view content);

}  // namespace tolvan::lsp
