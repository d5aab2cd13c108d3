#include <gtest/gtest.h>

#include "vbsource/VbpProject.h"

namespace tolvan::host {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(TOLVAN_FIXTURE_DIR) / "host";

TEST(VbpProjectTest, ParsesNameDescriptionAndMembers) {
  Result<VbpFile> vbp = ParseVbp(
      "Type=Exe\r\n"
      "Form=frmMain.frm\r\n"
      "Module=modCalc; modCalc.bas\r\n"
      "Class=clsEmployee; sub\\clsEmployee.cls\r\n"
      "UserControl=ctl\\Gauge.ctl\r\n"
      "PropertyPage=ppg.pag\r\n"
      "UserDocument=doc.dob\r\n"
      "Designer=DataEnvironment1.Dsr\r\n"
      "RelatedDoc=readme.txt\r\n"
      "Name=\"Payroll\"\r\n"
      "Description=\"\x8B\x8B\x97\x5E\"\r\n"  // 給与 in CP932
      "[MS Transaction Server]\r\n"
      "Name=\"Other\"\r\n"
      "Module=modX; modX.bas\r\n",
      "", "p.vbp");
  ASSERT_TRUE(vbp.ok()) << vbp.message();
  EXPECT_EQ(vbp->name, u"Payroll");
  EXPECT_EQ(vbp->description, u"給与");
  EXPECT_EQ(vbp->members, (std::vector<std::u16string>{
                              u"frmMain.frm", u"modCalc.bas", u"sub\\clsEmployee.cls",
                              u"ctl\\Gauge.ctl", u"ppg.pag", u"doc.dob", u"DataEnvironment1.Dsr"}));
}

TEST(VbpProjectTest, UndecodableProjectFileNamesTheLine) {
  Result<VbpFile> vbp = ParseVbp("Name=\"a\"\r\nDescription=\"\x85\"\r\n", "", "p.vbp");
  ASSERT_FALSE(vbp.ok());
  EXPECT_EQ(vbp.message(), "p.vbp: line 2: the text is not valid CP932 (byte 0x85 at offset 13)");
}

TEST(VbpProjectTest, MatchesMembersWithoutRegardToCaseOrSlashes) {
  VbpFile vbp;
  vbp.members = {u"FRMMAIN.FRM", u".\\sub\\Mod.BAS", u"C:\\abs\\x.bas", u"..\\up\\y.bas"};
  const std::filesystem::path dir = "/p/proj";
  EXPECT_TRUE(VbpListsModule(vbp, dir, "/p/proj/frmMain.frm"));
  EXPECT_TRUE(VbpListsModule(vbp, dir, "/p/proj/sub/mod.bas"));
  EXPECT_TRUE(VbpListsModule(vbp, dir, "/p/up/Y.bas"));
  EXPECT_FALSE(VbpListsModule(vbp, dir, "/p/proj/x.bas"));
  EXPECT_FALSE(VbpListsModule(vbp, dir, "/p/proj/frmMain.frx"));
#ifdef _WIN32
  // Windows folders, and a member on a drive naming its file wherever the
  // project is.
  const std::filesystem::path windows_dir = "C:\\p\\proj";
  EXPECT_TRUE(VbpListsModule(vbp, windows_dir, "c:\\P\\proj\\sub\\mod.bas"));
  EXPECT_TRUE(VbpListsModule(vbp, windows_dir, "C:/p/up/Y.bas"));
  EXPECT_TRUE(VbpListsModule(vbp, windows_dir, "c:\\ABS\\X.BAS"));
  EXPECT_FALSE(VbpListsModule(vbp, windows_dir, "D:\\abs\\x.bas"));
#endif
}

struct FindRow {
  const char* test_name;
  const char* module;
  std::u16string name;
  std::u16string description;
  const char* vbp;
};

class FindProjectTest : public ::testing::TestWithParam<FindRow> {};

TEST_P(FindProjectTest, FromTheFixtures) {
  const FindRow& row = GetParam();
  LocalFileSystem disk;
  Result<ProjectInfo> info = FindProject(kFixtures / row.module, disk);
  ASSERT_TRUE(info.ok()) << info.message();
  EXPECT_EQ(info->name, row.name);
  EXPECT_EQ(info->description, row.description);
  EXPECT_EQ(info->vbp.filename().string(), row.vbp);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FindProjectTest,
    ::testing::Values(FindRow{"ModuleLine", "japan/modJapan.bas", u"業務システム",
                              u"給与計算（表示能力）", "Japan.VBP"},
                      FindRow{"FormInOtherCase", "japan/frmMain.frm", u"業務システム",
                              u"給与計算（表示能力）", "Japan.VBP"},
                      FindRow{"ClassWithDotBackslash", "japan/clsItems.cls", u"業務システム",
                              u"給与計算（表示能力）", "Japan.VBP"},
                      FindRow{"NotListedTakesTheFolderName", "japan/stray.bas", u"japan", u"", ""},
                      FindRow{"Utf8ProjectWithBom", "unix/modLf.bas", u"ツール", u"UTF-8 の説明",
                              "Tools.vbp"},
                      FindRow{"NoProjectFile", "unix/modNoEol.bas", u"unix", u"", ""}),
    [](const ::testing::TestParamInfo<FindRow>& info) { return info.param.test_name; });

}  // namespace
}  // namespace tolvan::host
