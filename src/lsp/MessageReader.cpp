#include "lsp/MessageReader.h"

#include <algorithm>
#include <cctype>

namespace tolvan::lsp {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
           return std::tolower(static_cast<unsigned char>(t)) == p;
         });
}

// The Content-Length of a header block; a line that ends in the header (with
// stray bytes before it) counts too, so that reading finds its feet again
// after garbage.
std::optional<size_t> ContentLength(std::string_view header) {
  std::optional<size_t> length;
  constexpr std::string_view kName = "content-length:";
  while (!header.empty()) {
    size_t eol = header.find("\r\n");
    std::string_view line = header.substr(0, eol);
    header = eol == std::string_view::npos ? std::string_view{} : header.substr(eol + 2);
    for (size_t at = 0; at + kName.size() <= line.size(); ++at) {
      if (!StartsWithNoCase(line.substr(at), kName)) continue;
      std::string_view value = line.substr(at + kName.size());
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
      }
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
      }
      if (value.empty() || value.size() > 12 ||
          !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
      }
      length = std::stoull(std::string(value));
      break;
    }
  }
  return length;
}

}  // namespace

std::optional<Result<std::string>> MessageReader::Next() {
  // Drop what has been handed out once it is worth the copy.
  if (start_ > 0 && start_ * 2 >= buffer_.size()) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  std::string_view rest(buffer_);
  rest.remove_prefix(start_);
  const size_t end = rest.find("\r\n\r\n");
  if (end == std::string_view::npos) {
    if (rest.size() > kMaxHeaderLength) {
      // Keep the last bytes: they may be the start of the next header.
      start_ = buffer_.size() - 3;
      return Result<std::string>(Status::Error("dropped " + std::to_string(rest.size() - 3) +
                                               " bytes that are not a message header"));
    }
    return std::nullopt;
  }
  const std::optional<size_t> length = ContentLength(rest.substr(0, end));
  if (!length || *length > kMaxContentLength) {
    start_ += end + 4;
    return Result<std::string>(
        Status::Error(length ? "a message of " + std::to_string(*length) + " bytes is too large"
                             : "a message header without a valid Content-Length was dropped"));
  }
  if (rest.size() - end - 4 < *length) return std::nullopt;
  std::string content(rest.substr(end + 4, *length));
  start_ += end + 4 + *length;
  return Result<std::string>(std::move(content));
}

std::string Frame(std::string_view content) {
  std::string framed = "Content-Length: " + std::to_string(content.size()) + "\r\n\r\n";
  framed.append(content);
  return framed;
}

}  // namespace tolvan::lsp
