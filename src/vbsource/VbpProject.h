// The project a module file belongs to, read from the .vbp project file in
// the module's folder that lists it. A .vbp is a list of Key=Value lines:
//   Name="Payroll"                  the project name
//   Description="給与計算"          the project description
//   Module=modCalc; modCalc.bas     standard modules and classes: name; file
//   Class=clsEmployee; clsEmployee.cls
//   Form=frmMain.frm                forms, user controls, property pages,
//   UserControl=ctl\Gauge.ctl       user documents and designers: the file
// Paths are relative to the .vbp's folder with backslashes; file names match
// in any letter case. Sections in brackets ([MS Transaction Server]) end the
// project's own keys. A .vbp has an encoding of its own, whatever the
// module's: UTF-8 when valid UTF-8 (or with a byte-order mark), else CP932,
// as the IDE writes it.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Status.h"

namespace tolvan::host {

struct VbpFile {
  std::u16string name;                  // quotes removed
  std::u16string description;           // quotes removed
  std::vector<std::u16string> members;  // member file paths as written
};

// `encoding` empty: detect. `display_name` names the file in messages.
Result<VbpFile> ParseVbp(std::string_view bytes, const std::string& encoding,
                         const std::string& display_name);

// True when the member path (relative to `vbp_folder`, backslashes allowed)
// names `module`, comparing without regard to letter case.
bool VbpListsModule(const VbpFile& vbp, const std::filesystem::path& vbp_folder,
                    const std::filesystem::path& module);

struct ProjectInfo {
  std::u16string name;
  std::u16string description;
  std::filesystem::path vbp;  // empty when no project file lists the module
  // A line for each .vbp of the folder that could not be read and was
  // passed over, saying why.
  std::vector<std::string> notes;
};

// The first .vbp (in name order) of the module's folder that lists the
// module; without one, the folder's name and an empty description. A .vbp
// that cannot be read or decoded is skipped with a note: it may belong to
// another project of the folder.
Result<ProjectInfo> FindProject(const std::filesystem::path& module, FileSystem& fs);

// FindProject over many modules (a run over a project, an editor's session):
// each .vbp is read and parsed once, and again only when its size or time
// of change differs. Safe to use from several threads.
class ProjectFinder {
 public:
  explicit ProjectFinder(FileSystem& fs) : fs_(fs) {}
  Result<ProjectInfo> Find(const std::filesystem::path& module);
  // How often a .vbp was read, for the tests.
  int reads() const { return reads_; }

 private:
  struct Cached {
    uint64_t size = 0;
    int64_t modified_ns = 0;
    Result<VbpFile> vbp = Status::Error("not read");
  };
  FileSystem& fs_;
  std::mutex mutex_;
  std::map<std::string, Cached> cache_;
  int reads_ = 0;
};

}  // namespace tolvan::host
