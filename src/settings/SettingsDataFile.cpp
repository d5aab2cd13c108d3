#include "settings/SettingsDataFile.h"

#include <cstdio>
#include <string>

#include "platform/Text.h"

namespace tolvan {
namespace {

void PutLe(std::string& out, uint32_t n, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
}

uint32_t GetLe(std::string_view in, size_t pos, int bytes) {
  uint32_t n = 0;
  for (int i = bytes - 1; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(in[pos + i]);
  return n;
}

Status PutRecord(std::string& out, std::u16string_view text, const std::string& what) {
  auto bytes = EncodeAnsi(text);
  if (!bytes) return Status::Error("cannot save " + what + ": " + bytes.message());
  if (bytes->size() > kMaxRecordBytes) {
    return Status::Error("cannot save " + what + ": it is " + std::to_string(bytes->size()) +
                         " bytes long in CP932, and the data file holds at most " +
                         std::to_string(kMaxRecordBytes) + " bytes per text");
  }
  PutLe(out, kTextRecordType, 2);
  PutLe(out, static_cast<uint32_t>(bytes->size()), 2);
  out += *bytes;
  return Status::Ok();
}

std::string PageName(int page) {
  char name[8];
  std::snprintf(name, sizeof name, "K%02d", page);
  return name;
}

}  // namespace

Result<std::string> EncodeSettingsData(const SettingsRecord& settings) {
  static const char* const kRoles[] = {"before the lines", "on each line", "after the lines"};
  std::string out;
  PutLe(out, kTemplateCount - 1, 4);
  for (int slot = 0; slot < kTemplateCount; ++slot) {
    Status s = PutRecord(out, settings.strTemplate[slot], "the template of page " + PageName(slot));
    if (!s) return s;
  }
  PutLe(out, kLineCommentCount - 1, 4);
  for (int slot = 0; slot < kLineCommentCount; ++slot) {
    Status s = PutRecord(out, settings.strLineComment[slot],
                         std::string("the line comment ") +
                             kRoles[static_cast<int>(LineCommentRoleOf(slot))] + " of page " +
                             PageName(LineCommentPage(LineCommentPattern(slot))));
    if (!s) return s;
  }
  return out;
}

std::optional<int32_t> SettingsDataReader::ReadLastIndex() {
  if (bytes_.size() - pos_ < 4) return std::nullopt;
  int32_t n = static_cast<int32_t>(GetLe(bytes_, pos_, 4));
  pos_ += 4;
  return n;
}

Result<std::u16string> SettingsDataReader::ReadRecord() {
  if (bytes_.size() - pos_ < 4) return Status::Error("the data file ends inside a record");
  uint32_t type = GetLe(bytes_, pos_, 2);
  uint32_t length = GetLe(bytes_, pos_ + 2, 2);
  if (type != kTextRecordType) {
    return Status::Error("a record of the data file has type " + std::to_string(type) +
                         ", not a text");
  }
  if (bytes_.size() - pos_ - 4 < length) return Status::Error("the data file ends inside a record");
  auto text = DecodeAnsi(bytes_.substr(pos_ + 4, length));
  if (!text) return text.status();
  pos_ += 4 + length;
  // Every text ends up in a module, and a module never holds a NUL: one that
  // a damaged or hand-made file carries is dropped, the rest of the text
  // kept.
  std::erase(*text, u'\0');
  return std::move(*text);
}

}  // namespace tolvan
