// What the Windows common file dialog is handed: the filter as NUL-ended
// parts and the folder to start in.
#include "FormHarness.h"
#include "form/CommonDialogText.h"
#include "form/DialogLogic.h"

namespace tolvan::dialog::testing {
namespace {

// A literal with NULs inside, all of it but the terminating one.
template <size_t N>
std::u16string WithNuls(const char16_t (&text)[N]) {
  return std::u16string(text, N - 1);
}

TEST(CommonDialogText, FilterPartsEndInNulAndTheListInAnEmptyPart) {
  const struct {
    const char* name;
    std::u16string filter;
    std::u16string native;
  } rows[] = {
      {"the settings filter", std::u16string(kFileDialogFilter),
       WithNuls(u"設定ファイル(*.ini)\0*.ini\0\0")},
      {"two pairs", u"Text|*.txt;*.log|All|*.*", WithNuls(u"Text\0*.txt;*.log\0All\0*.*\0\0")},
      {"no filter", u"", WithNuls(u"\0")},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CommonDialogFilter(row.filter), row.native) << row.name;
  }
}

TEST(CommonDialogText, ChooserStartsInTheFolderOfTheFileInUse) {
  const struct {
    const char* name;
    std::u16string path;
    std::u16string folder;
  } rows[] = {
      {"a folder", u"C:\\Tolvan\\Team.ini", u"C:\\Tolvan"},
      {"a drive's root", u"C:\\Team.ini", u"C:\\"},
      {"a share", u"\\\\server\\share\\Team.ini", u"\\\\server\\share"},
      {"forward slashes", u"C:/set/Team.ini", u"C:/set"},
      {"the root of the current drive", u"\\Team.ini", u"\\"},
      {"drive-relative", u"C:Team.ini", u"C:"},
      {"a bare name", u"Team.ini", u""},
      {"nothing", u"", u""},
      {"non-ASCII folder", u"D:\\設定\\𠮷.ini", u"D:\\設定"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(U8(FolderOfFile(row.path)), U8(row.folder)) << row.name;
  }
}

}  // namespace
}  // namespace tolvan::dialog::testing
