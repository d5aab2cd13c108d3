// The development environment's object model over one VB module file on
// disk, for running the comment engine outside the IDE. The module file is
// the active code pane's module and the selected component; the project is
// the one whose .vbp lists the file (VbpProject.h). The code module is the
// file's text buffer (BufferHost.h): edits land in the file as the IDE would
// put them there, and Save() writes the file back atomically, every
// untouched line byte for byte.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Status.h"
#include "standin/BufferHost.h"
#include "vbide/VBE.h"
#include "vbsource/ModuleDocument.h"
#include "vbsource/VbpProject.h"

namespace tolvan::host {

struct FileOpenOptions {
  std::string encoding;  // an iconv name; empty: UTF-8 when valid, else CP932
  // Where the module's project is looked up; null: its folder is read anew.
  ProjectFinder* projects = nullptr;
};

// The component type of a module file by its extension (any letter case):
// .bas 1, .cls 2, .frm 5 (6 for an MDI form), .pag 7, .ctl 8, .dob 9,
// .dsr 11; 0 for any other extension.
int ComponentTypeOf(const std::filesystem::path& module, bool is_mdi_form);

// The stand-in environment for one module file: the module's text buffer
// (BufferHost.h) plus reading it from and writing it back to the file.
class FileVBE : public BufferVBE {
 public:
  // Reads the module (and looks for its project) through `fs`, which
  // Save() then writes through. A file that is not a regular file, that is
  // too large or holds NUL bytes (UTF-16 text, a binary) is refused.
  static Result<std::shared_ptr<FileVBE>> Open(const std::filesystem::path& module,
                                               const FileOpenOptions& options, FileSystem& fs);
  // The same over bytes the caller already holds, with the project given
  // rather than looked up; Save() then writes to `module` without checking
  // what is on disk.
  static Result<std::shared_ptr<FileVBE>> FromBytes(const std::filesystem::path& module,
                                                    std::string_view bytes,
                                                    const FileOpenOptions& options,
                                                    ProjectInfo project);

  // The same over a module model already read (an editor's buffer);
  // nothing is saved from it to disk unasked.
  static std::shared_ptr<FileVBE> FromDocument(const std::filesystem::path& module,
                                               ModuleDocument document,
                                               const BufferModuleInfo& info);

  // Whether the code was changed since the file was opened or last saved.
  bool Modified() const { return document_->edit_count() != saved_edit_count_; }
  // Writes Serialize() to the module path atomically (ReplaceFile: through
  // a symbolic link, keeping mode, owner and group), streamed from the
  // lines rather than copied whole first; nothing when unmodified. A file
  // that changed on disk since Open() (or the last Save()) is not
  // overwritten: it must still hold the bytes read (or last written),
  // compared block by block. A caller that must not lose a concurrent run's
  // edit holds the module's lock (FileSystem::Lock) from Open() to Save().
  Status Save() const;

  const std::filesystem::path& path() const { return path_; }
  // The module model, shared: it changes with every later edit.
  std::shared_ptr<const ModuleDocument> shared_document() const { return document_; }
  // What was passed over on the way, for the user: project files of the
  // folder that could not be read.
  const std::vector<std::string>& notes() const { return notes_; }

 private:
  FileVBE() = default;
  static Result<std::shared_ptr<FileVBE>> Create(const std::filesystem::path& module,
                                                 std::string bytes, const FileOpenOptions& options,
                                                 ProjectInfo project);

  std::filesystem::path path_;
  std::vector<std::string> notes_;
  FileSystem* fs_ = &DefaultFileSystem();
  // Whether the file on disk is still what was read (or last written).
  Status CheckDisk(const std::string& path) const;

  // Opened from disk: Save() first checks that the file is still what was
  // read (or last written), to notice a change behind our back.
  bool check_disk_ = false;
  mutable long saved_edit_count_ = 0;
  // What the last Save() wrote, as the pieces it wrote (views into the
  // module's bytes, which it never lets go of).
  mutable bool saved_ = false;
  mutable std::vector<std::string_view> written_;
};

}  // namespace tolvan::host
