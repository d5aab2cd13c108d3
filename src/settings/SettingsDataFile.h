// The data file of a settings file pair: the long multi-line texts that a
// profile file cannot hold. Binary, little-endian, no header; two blocks one
// after the other:
//
//   int32   last index of block 1 (the writer puts 17)
//   record  header templates, slots 0 to that index
//   int32   last index of block 2 (the writer puts 8)
//   record  line-comment texts, slots 0 to that index
//
// Each record is a typed text value:
//
//   uint16  type code, 8 (a text)
//   uint16  length of the text in bytes (so at most 65,535)
//   bytes   the text in CP932, line breaks as CR LF, no terminator
//
// These numbers are written to disk by every version of the add-in and must
// not change. A reader ignores anything after the last record of block 2.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Status.h"
#include "settings/SettingsRecord.h"

namespace tolvan {

inline constexpr uint16_t kTextRecordType = 8;
inline constexpr size_t kMaxRecordBytes = 65535;

// The whole data file for the record's templates and line-comment texts. A
// text CP932 cannot hold, or one too long for a record, is refused with a
// message naming its dialog page.
Result<std::string> EncodeSettingsData(const SettingsRecord& settings);

class SettingsDataReader {
 public:
  explicit SettingsDataReader(std::string_view bytes) : bytes_(bytes) {}

  // The next last index; nullopt when fewer than four bytes are left.
  std::optional<int32_t> ReadLastIndex();
  // The next record's text, without any NUL characters; an error when the
  // record is cut short, is not a text or is not CP932.
  Result<std::u16string> ReadRecord();

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

}  // namespace tolvan
