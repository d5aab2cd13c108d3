// The dialog's settings files and registry, as the add-in gives them to it.
#include "host/DialogBridge.h"

#include <gtest/gtest.h>

#include "settings/clsSaveSetting.h"
#include "support/MemoryFileSystem.h"

namespace tolvan::host {
namespace {

TEST(DialogBridge, SettingsFilesGoThroughTheSettingsClass) {
  SettingsContext context = InMemorySettingsContext("/addin");
  SettingsFilesBridge files(context);
  EXPECT_EQ(files.GetIniDir(), u"/addin/Tolvan.ini");

  SettingsRecord saved;
  ASSERT_TRUE(files.Load(saved).ok());
  saved.strTemplate[3] = u"'自作 $c\r\n";
  ASSERT_TRUE(files.SetIniDir(u"/team/Team.ini").ok());
  ASSERT_TRUE(files.Save(saved).ok());
  EXPECT_EQ(saved.strIniName, u"Team");
  EXPECT_EQ(files.GetIniDir(), u"/team/Team.ini");

  SettingsRecord loaded;
  ASSERT_TRUE(files.Load(loaded).ok());
  EXPECT_EQ(loaded.strTemplate[3], u"'自作 $c\r\n");
  EXPECT_EQ(loaded.strIniName, u"Team");
}

TEST(DialogBridge, RegistryTextsOnly) {
  SettingsContext context = InMemorySettingsContext();
  RegistryBridge registry(context);
  const std::u16string key = u"SOFTWARE\\Quenby Software\\Tolvan";
  EXPECT_EQ(registry.ReadRegistryText(u"HKEY_LOCAL_MACHINE", key, u"InstallPath"), std::nullopt);
  ASSERT_TRUE(
      registry.WriteRegistryText(u"HKEY_LOCAL_MACHINE", key, u"InstallPath", u"/opt/tolvan/").ok());
  EXPECT_EQ(registry.ReadRegistryText(u"HKEY_LOCAL_MACHINE", key, u"InstallPath"), u"/opt/tolvan/");
  // A number is not a text.
  clsReg(context.registry(), context.files())
      .blnSetRegValue(u"HKEY_LOCAL_MACHINE", key, u"Count", RegVariant(int32_t{3}));
  EXPECT_EQ(registry.ReadRegistryText(u"HKEY_LOCAL_MACHINE", key, u"Count"), std::nullopt);
}

}  // namespace
}  // namespace tolvan::host
