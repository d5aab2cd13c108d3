// Registering the add-in with the environment and removing it again, over a
// registry store in memory.
#include "host/Registration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvan::host {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

constexpr std::string_view kAddins = "Software\\Microsoft\\Visual Basic\\6.0\\Addins";

std::vector<std::string> KeyPaths(const RegistryTree& tree) {
  std::vector<std::string> paths;
  for (const auto* key : tree.Keys()) paths.push_back(key->path);
  return paths;
}

TEST(Registration, WritesTheValuesTheEnvironmentReads) {
  MemoryRegistryStore store;
  ASSERT_TRUE(DllRegisterServer(store).ok());
  const RegistryTree::Key* key = store.tree().FindKey(kHkeyCurrentUser, kAddInKey);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->path, "Software\\Microsoft\\Visual Basic\\6.0\\Addins\\Tolvan.Connect");
  // The description in CP932: "VBのヘッダーコメントを生成します".
  const std::string description =
      "VB\x82\xcc\x83\x77\x83\x62\x83\x5f\x81\x5b\x83\x52\x83\x81\x83\x93\x83\x67\x82\xf0"
      "\x90\xb6\x90\xac\x82\xb5\x82\xdc\x82\xb7";
  EXPECT_THAT(
      key->values,
      ElementsAre(Pair("FriendlyName", RegValue{kRegSz, std::string("Tolvan\0", 7)}),
                  Pair("Description", RegValue{kRegSz, description + '\0'}),
                  Pair("LoadBehavior", RegValue{kRegDword, std::string("\1\0\0\0", 4)}),
                  Pair("CommandLineSafe", RegValue{kRegDword, std::string("\1\0\0\0", 4)})));
}

TEST(Registration, RegisteringTwiceChangesNothing) {
  MemoryRegistryStore store;
  ASSERT_TRUE(DllRegisterServer(store).ok());
  const RegistryTree once = store.tree();
  ASSERT_TRUE(DllRegisterServer(store).ok());
  EXPECT_TRUE(store.tree() == once);
}

TEST(Registration, UnregisteringLeavesTheStoreAsItWas) {
  struct Row {
    const char* name;
    std::function<void(RegistryTree&)> before;
    std::vector<std::string> keys_left;
  };
  const Row rows[] = {
      {"empty_store", [](RegistryTree&) {}, {}},
      {"settings_path_elsewhere",
       [](RegistryTree& t) {
         ASSERT_TRUE(t.SetValue(kHkeyCurrentUser, "SOFTWARE\\Quenby Software\\Tolvan",
                                "IniFilePath", RegValue{kRegSz, std::string("/a/T.ini\0", 9)})
                         .ok());
       },
       {"SOFTWARE", "SOFTWARE\\Quenby Software", "SOFTWARE\\Quenby Software\\Tolvan"}},
      {"another_add_in",
       [](RegistryTree& t) {
         ASSERT_TRUE(t.SetValue(kHkeyCurrentUser, std::string(kAddins) + "\\Other.Connect",
                                "LoadBehavior", RegValue{kRegDword, std::string(4, '\0')})
                         .ok());
       },
       {"Software", "Software\\Microsoft", "Software\\Microsoft\\Visual Basic",
        "Software\\Microsoft\\Visual Basic\\6.0", std::string(kAddins),
        std::string(kAddins) + "\\Other.Connect"}},
      {"value_on_the_root",
       [](RegistryTree& t) {
         ASSERT_TRUE(t.SetValue(kHkeyCurrentUser, "Software\\Microsoft\\Visual Basic\\6.0",
                                "Setting", RegValue{kRegSz, std::string("x\0", 2)})
                         .ok());
       },
       {"Software", "Software\\Microsoft", "Software\\Microsoft\\Visual Basic",
        "Software\\Microsoft\\Visual Basic\\6.0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RegistryTree start;
    row.before(start);
    MemoryRegistryStore store(start);
    ASSERT_TRUE(DllRegisterServer(store).ok());
    ASSERT_TRUE(DllUnregisterServer(store).ok());
    EXPECT_TRUE(store.tree() == start);
    EXPECT_EQ(KeyPaths(store.tree()), row.keys_left);
  }
}

TEST(Registration, UnregisteringRemovesKeysBelowTheAddIn) {
  MemoryRegistryStore store;
  EXPECT_TRUE(DllUnregisterServer(store).ok());  // nothing registered yet: no failure
  ASSERT_TRUE(DllRegisterServer(store).ok());
  ASSERT_TRUE(store
                  .Update([](RegistryTree& t) {
                    return t.CreateKey(kHkeyCurrentUser, std::string(kAddInKey) + "\\A\\B");
                  })
                  .ok());
  ASSERT_TRUE(DllUnregisterServer(store).ok());
  EXPECT_TRUE(KeyPaths(store.tree()).empty());
}

TEST(Registration, FailedWriteLeavesTheStoreAlone) {
  MemoryRegistryStore store;
  store.FailWrites(true);
  EXPECT_FALSE(DllRegisterServer(store).ok());
  EXPECT_TRUE(KeyPaths(store.tree()).empty());
  store.FailWrites(false);
  ASSERT_TRUE(DllRegisterServer(store).ok());
  const RegistryTree registered = store.tree();
  store.FailWrites(true);
  EXPECT_FALSE(DllUnregisterServer(store).ok());
  EXPECT_TRUE(store.tree() == registered);
}

}  // namespace
}  // namespace tolvan::host
