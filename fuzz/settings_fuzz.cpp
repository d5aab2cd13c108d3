// The settings readers: a profile file and a data file from the input are
// loaded as the settings class loads them (profile lines, numbers, the macro
// table, the templates and line comments), and the profile file is read and
// written back key by key. Reading never changes the file's bytes, a value
// written reads back as written, and a load ends in a record or a message.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsDataFile.h"
#include "support/MemoryFileSystem.h"

namespace tolvan {
namespace {

void Run(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(12);
  const std::string key = in.ConsumeRandomLengthString(12);
  const std::string value = in.ConsumeRandomLengthString(40);
  const std::string data_file = in.ConsumeRandomLengthString(4096);
  const std::string profile = in.ConsumeRemainingBytesAsString();

  ProfileFile file(profile);
  FUZZ_CHECK(file.bytes() == profile);
  (void)file.Get(section, key);
  (void)file.Keys(section);
  if (file.Set(section, key, value)) {
    const auto back = ProfileFile(file.bytes()).Get(section, key);
    if (back != value) {
      std::fprintf(stderr, "section [%s] key [%s] value [%s] read back [%s]\n", section.c_str(),
                   key.c_str(), value.c_str(), back ? back->c_str() : "(missing)");
    }
    FUZZ_CHECK(back == value);
    file.Remove(section, key);
    FUZZ_CHECK(!file.Get(section, key));
  }

  SettingsDataReader reader(data_file);
  while (auto n = reader.ReadLastIndex()) {
    for (int32_t i = 0; i <= std::min(*n, 20); ++i) {
      auto text = reader.ReadRecord();
      if (!text) break;
      FUZZ_CHECK(text->find(u'\0') == std::u16string::npos);
    }
  }

  SettingsContext context = InMemorySettingsContext("/addin");
  auto& files = static_cast<MemoryFileSystem&>(context.files());
  files.files()["/addin/Tolvan.ini"] = profile;
  files.files()["/addin/Tolvan.dat"] = data_file;
  SettingsRecord record;
  clsSaveSetting settings(record, context);
  if (settings.Load()) {
    FUZZ_CHECK(record.lngUserDefineLast + 1 == static_cast<int32_t>(record.vntUserDefine.size()));
    // What was loaded saves, and loads back the same.
    if (settings.Save()) {
      SettingsRecord again;
      FUZZ_CHECK(clsSaveSetting(again, context).Load());
      FUZZ_CHECK(again == record);
    }
  }
}

}  // namespace
}  // namespace tolvan

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tolvan::Run(data, size);
  return 0;
}
