// The Windows side of the platform's text conversions, run under Wine by
// scripts/windows.sh: the code page functions must give the same texts and
// the same messages as iconv gives on Linux (the rows are what the Linux
// build answers).
#include <cstdio>
#include <string>

#include "platform/Cp932Decoder.h"
#include "platform/Text.h"

namespace {

int g_failed = 0;
int g_passed = 0;

void Expect(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAIL %s\n", what.c_str());
  }
}

struct DecodeRow {
  const char* name;
  std::string bytes;
  const char* encoding;
  std::u16string text;  // when `message` is empty
  const char* message;  // the error, or ""
};

struct EncodeRow {
  const char* name;
  std::u16string text;
  const char* encoding;
  std::string bytes;
  const char* message;
};

}  // namespace

int main() {
  using namespace tolvan;
  const DecodeRow decodes[] = {
      {"hiragana", "\x82\xA0", "CP932", u"あ", ""},
      {"lower-case name", "\x82\xA0", "cp932", u"あ", ""},
      {"half-width katakana", "\xB1", "CP932", u"\uFF71", ""},
      {"NEC circled digit", "\x87\x40", "CP932", u"\u2460", ""},
      {"ideographic space", "\x81\x40", "CP932", u"\u3000", ""},
      {"ideographic space after text",
       "end \x81\x40"
       "end",
       "CP932", u"end \u3000end", ""},
      {"NUL inside", std::string("a\0b", 3), "CP932", std::u16string(u"a\0b", 3), ""},
      {"empty", "", "CP932", u"", ""},
      {"lone lead byte at the end", "ok\x85", "CP932", u"",
       "the text is not valid CP932 (byte 0x85 at offset 2)"},
      {"lead byte before a line break", "a\x83\r\nb", "CP932", u"",
       "the text is not valid CP932 (byte 0x83 at offset 1)"},
      {"UTF-8", "\xE3\x81\x82", "UTF-8", u"あ", ""},
      {"not UTF-8", "ok\n\x82\xA0", "UTF-8", u"",
       "the text is not valid UTF-8 (byte 0x82 at offset 3)"},
      {"Windows Latin", "\x80", "CP1252", u"€", ""},
      {"unknown encoding", "x", "NO-SUCH-CODESET", u"", "unknown encoding \"NO-SUCH-CODESET\""},
      {"the ANSI code page is never implied", "x", "CP0", u"", "unknown encoding \"CP0\""},
  };
  for (const DecodeRow& row : decodes) {
    Result<std::u16string> got = DecodeText(row.bytes, row.encoding);
    if (*row.message) {
      Expect(!got && got.message() == row.message,
             std::string("decode ") + row.name + ": " + (got ? "no error" : got.message()));
    } else {
      Expect(got && *got == row.text,
             std::string("decode ") + row.name + ": " + (got ? "wrong text" : got.message()));
    }
  }

  const EncodeRow encodes[] = {
      {"hiragana", u"あ", "CP932", "\x82\xA0", ""},
      {"ASCII", u"Option Explicit", "CP932", "Option Explicit", ""},
      {"UTF-8", u"あ", "UTF-8", "\xE3\x81\x82", ""},
      {"outside CP932", u"x😀", "CP932", "",
       "the character '😀' (U+1F600) cannot be written in CP932"},
      {"no best-fit look-alike", u"\u0100", "CP1252", "",
       "the character 'Ā' (U+0100) cannot be written in CP1252"},
      // A lone surrogate is shown as the replacement character.
      {"lone surrogate in UTF-8", std::u16string(1, u'\xD800'), "UTF-8", "",
       "the character '\xEF\xBF\xBD' (U+D800) cannot be written in UTF-8"},
  };
  for (const EncodeRow& row : encodes) {
    Result<std::string> got = EncodeText(row.text, row.encoding);
    if (*row.message) {
      Expect(!got && got.message() == row.message,
             std::string("encode ") + row.name + ": " + (got ? "no error" : got.message()));
    } else {
      Expect(got && *got == row.bytes,
             std::string("encode ") + row.name + ": " + (got ? "wrong bytes" : got.message()));
    }
  }

  // The table decoder agrees with DecodeText and stops at the same byte.
  auto decoder = host::Cp932Decoder::Create();
  Expect(decoder.ok(), "the CP932 table decoder is created");
  if (decoder) {
    const std::string good =
        "Option Explicit\r\n' \x82\xA0\x87\x40\xB1 \x81\x40"
        "end";
    std::u16string out(good.size(), u'\0');
    size_t written = 0;
    const size_t bad = (*decoder)->Decode(good, out.data(), written);
    out.resize(written);
    Result<std::u16string> reference = DecodeText(good, "CP932");
    std::string units;
    for (char16_t unit : out) units += " " + std::to_string(static_cast<unsigned>(unit));
    Expect(bad == std::string::npos && reference && out == *reference,
           "table decoder and DecodeText give the same text (stopped at " +
               std::to_string(bad == std::string::npos ? -1 : static_cast<long>(bad)) + ", units" +
               units + ")");
    const std::string broken = "ab\x85";
    std::u16string scratch(broken.size(), u'\0');
    Expect((*decoder)->Decode(broken, scratch.data(), written) == 2,
           "table decoder stops at the lone lead byte");
  }

  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
