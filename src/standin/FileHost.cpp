#include "standin/FileHost.h"

#include <algorithm>

#include "platform/PathText.h"
#include "platform/Text.h"
#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

std::string LowerExtension(const std::filesystem::path& path) {
  std::string ext = PathUtf8(path.extension());
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

}  // namespace

int ComponentTypeOf(const std::filesystem::path& module, bool is_mdi_form) {
  const std::string ext = LowerExtension(module);
  if (ext == ".bas") return component_type::kStdModule;
  if (ext == ".cls") return component_type::kClassModule;
  if (ext == ".frm") return is_mdi_form ? component_type::kVBMDIForm : component_type::kVBForm;
  if (ext == ".pag") return component_type::kPropPage;
  if (ext == ".ctl") return component_type::kUserControl;
  if (ext == ".dob") return component_type::kDocObject;
  if (ext == ".dsr") return component_type::kActiveXDesigner;
  return 0;
}

Result<std::shared_ptr<FileVBE>> FileVBE::Open(const std::filesystem::path& module,
                                               const FileOpenOptions& options, FileSystem& fs) {
  if (ComponentTypeOf(module, false) == 0) {
    return Status::Error(PathUtf8(module) +
                         " is not a Visual Basic module file (.bas .cls .frm .ctl .pag .dob .dsr)");
  }
  Result<std::string> bytes = fs.ReadFile(PathUtf8(module), kModuleSizeLimit);
  if (!bytes) return bytes.status();
  // A VB module is 8-bit or UTF-8 text, which never holds a NUL byte; one
  // that does is UTF-16 without a byte-order mark or not text at all, and
  // writing an 8-bit header into it would damage it.
  if (bytes->find('\0') != std::string::npos) {
    return Status::InvalidArgument("cannot read " + PathUtf8(module) +
                                   ": it holds NUL bytes (UTF-16 text or not a text file); it was "
                                   "left as it is");
  }
  Result<ProjectInfo> project =
      options.projects ? options.projects->Find(module) : FindProject(module, fs);
  if (!project) return project.status();
  Result<std::shared_ptr<FileVBE>> vbe =
      Create(module, std::move(*bytes), options, std::move(*project));
  if (vbe) {
    (*vbe)->check_disk_ = true;
    (*vbe)->fs_ = &fs;
  }
  return vbe;
}

Result<std::shared_ptr<FileVBE>> FileVBE::FromBytes(const std::filesystem::path& module,
                                                    std::string_view bytes,
                                                    const FileOpenOptions& options,
                                                    ProjectInfo project) {
  if (ComponentTypeOf(module, false) == 0) {
    return Status::Error(PathUtf8(module) +
                         " is not a Visual Basic module file (.bas .cls .frm .ctl .pag .dob .dsr)");
  }
  return Create(module, std::string(bytes), options, std::move(project));
}

std::shared_ptr<FileVBE> FileVBE::FromDocument(const std::filesystem::path& module,
                                               ModuleDocument document,
                                               const BufferModuleInfo& info) {
  std::shared_ptr<FileVBE> vbe(new FileVBE());
  vbe->path_ = module;
  vbe->Init(std::move(document), info);
  return vbe;
}

Result<std::shared_ptr<FileVBE>> FileVBE::Create(const std::filesystem::path& module,
                                                 std::string bytes, const FileOpenOptions& options,
                                                 ProjectInfo project) {
  Result<ModuleDocument> document =
      ModuleDocument::Parse(std::move(bytes), options.encoding, PathUtf8(module));
  if (!document) return document.status();

  std::shared_ptr<FileVBE> vbe(new FileVBE());
  vbe->path_ = module;
  vbe->notes_ = project.notes;
  vbe->Init(std::move(*document),
            BufferModuleInfo{Utf8ToUtf16(PathUtf8(module.stem())), ComponentTypeOf(module, false),
                             std::move(project)});
  return vbe;
}

Status FileVBE::CheckDisk(const std::string& path) const {
  // Compared a block at a time with the bytes read, or with the pieces last
  // written, all of which the module still holds: no second copy of the file.
  Result<bool> same =
      saved_ ? FileHolds(*fs_, path, written_) : FileHolds(*fs_, path, document_->original_bytes());
  if (!same) return same.status();
  if (!*same) {
    return Status::Error(path + " changed on disk after it was read; it was left as it is");
  }
  return Status::Ok();
}

Status FileVBE::Save() const {
  if (!Modified()) return Status::Ok();
  const std::string path = PathUtf8(path_);
  if (check_disk_) {
    if (Status s = CheckDisk(path); !s) return s;
  }
  // The lines go to the file as they are, runs of untouched ones in one
  // piece each, with no copy of the whole module. The pieces are views into
  // the bytes read and the new lines, which the module keeps as long as it
  // lives: what a later Save() compares the file with.
  std::vector<std::string_view> pieces;
  Status s = ReplaceFile(*fs_, path, [&](const std::function<void(std::string_view)>& put) {
    WriteTo([&](std::string_view piece) {
      if (check_disk_) pieces.push_back(piece);
      put(piece);
    });
  });
  if (!s) return s;
  if (check_disk_) {
    written_ = std::move(pieces);
    saved_ = true;
  }
  saved_edit_count_ = document_->edit_count();
  return Status::Ok();
}

}  // namespace tolvan::host
