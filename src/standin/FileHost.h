// The development environment's object model over one VB module file on
// disk, for running the comment engine outside the IDE. The module file is
// the active code pane's module and the selected component; the project is
// the one whose .vbp lists the file (VbpProject.h). The code module is what
// the IDE would show (ModuleDocument.h): edits land in the file as the IDE
// would put them there, and Save() writes the file back atomically, every
// untouched line byte for byte.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Status.h"
#include "vbide/VBE.h"
#include "vbsource/ModuleDocument.h"
#include "vbsource/VbpProject.h"

namespace tolvan::host {

struct FileOpenOptions {
  std::string encoding;  // an iconv name; empty: UTF-8 when valid, else CP932
};

// The component type of a module file by its extension (any letter case):
// .bas 1, .cls 2, .frm 5 (6 for an MDI form), .pag 7, .ctl 8, .dob 9,
// .dsr 11; 0 for any other extension.
int ComponentTypeOf(const std::filesystem::path& module, bool is_mdi_form);

// The stand-in environment for one module file.
class FileVBE : public VBE {
 public:
  // Reads the module (and looks for its project) through `fs`, which
  // Save() then writes through. A file that is not a regular file, that is
  // too large or holds NUL bytes (UTF-16 text, a binary) is refused.
  static Result<std::shared_ptr<FileVBE>> Open(const std::filesystem::path& module,
                                               const FileOpenOptions& options,
                                               FileSystem& fs = DefaultFileSystem());
  // The same over bytes the caller already holds, with the project given
  // rather than looked up; Save() then writes to `module` without checking
  // what is on disk.
  static Result<std::shared_ptr<FileVBE>> FromBytes(const std::filesystem::path& module,
                                                    std::string_view bytes,
                                                    const FileOpenOptions& options,
                                                    ProjectInfo project);

  std::shared_ptr<VBProject> ActiveVBProject() const override { return project_; }
  std::shared_ptr<host::CodePane> ActiveCodePane() const override { return pane_; }
  std::shared_ptr<VBComponent> SelectedVBComponent() const override { return component_; }
  // Command bars and their events are not part of a module file.
  std::shared_ptr<host::CommandBars> CommandBars() const override { return nullptr; }
  std::shared_ptr<host::Events> Events() const override { return nullptr; }

  // File positions as a text editor shows them: 1-based file line, 1-based
  // column in UTF-16 units of that line (one more, empty line after a final
  // line break). Positions outside the file are errors; a position on a
  // hidden line counts as the end of the nearest code line above it. Sets
  // the active pane's selection (start before end).
  Status SelectFileRange(long start_line, long start_column, long end_line, long end_column);

  // The file's bytes as they would be written now.
  std::string Serialize() const { return document_->Serialize(); }
  // Whether the code was changed since the file was opened or last saved.
  bool Modified() const { return document_->edit_count() != saved_edit_count_; }
  // Writes Serialize() to the module path atomically (ReplaceFile: through
  // a symbolic link, keeping mode, owner and group); nothing when
  // unmodified. A file that changed on disk since Open() (or the last
  // Save()) is not overwritten. A caller that must not lose a concurrent
  // run's edit holds the module's lock (FileSystem::Lock) from Open() to
  // Save().
  Status Save() const;

  const std::filesystem::path& path() const { return path_; }
  // The encoding in use: the one asked for, else "UTF-8" or "CP932".
  const std::string& encoding() const { return document_->encoding(); }
  // The file line holding a code line, for reporting where edits went.
  Result<long> FileLineOf(long code_line) const;
  const ModuleDocument& document() const { return *document_; }

 private:
  FileVBE() = default;
  static Result<std::shared_ptr<FileVBE>> Create(const std::filesystem::path& module,
                                                 std::string bytes, const FileOpenOptions& options,
                                                 ProjectInfo project);

  std::filesystem::path path_;
  FileSystem* fs_ = &DefaultFileSystem();
  std::shared_ptr<ModuleDocument> document_;
  std::shared_ptr<VBProject> project_;
  std::shared_ptr<VBComponent> component_;
  std::shared_ptr<host::CodePane> pane_;
  // Opened from disk: Save() first checks that the file is still what was
  // read (or last written), to notice a change behind our back.
  bool check_disk_ = false;
  mutable long saved_edit_count_ = 0;
  mutable std::optional<std::string> written_;
};

}  // namespace tolvan::host
