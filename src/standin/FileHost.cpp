#include "standin/FileHost.h"

#include <algorithm>

#include "platform/Text.h"
#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

class FileProject : public VBProject {
 public:
  explicit FileProject(ProjectInfo info) : info_(std::move(info)) {}
  std::u16string Name() const override { return info_.name; }
  std::u16string Description() const override { return info_.description; }

 private:
  ProjectInfo info_;
};

class FileComponent : public VBComponent {
 public:
  FileComponent(std::u16string name, int type) : name_(std::move(name)), type_(type) {}
  std::u16string Name() const override { return name_; }
  int Type() const override { return type_; }

 private:
  std::u16string name_;
  int type_;
};

class FileCodeModule : public CodeModule {
 public:
  FileCodeModule(std::shared_ptr<ModuleDocument> document, std::shared_ptr<VBComponent> parent)
      : document_(std::move(document)), parent_(std::move(parent)) {}

  std::shared_ptr<VBComponent> Parent() const override { return parent_; }
  long CountOfLines() const override { return document_->CountOfLines(); }
  Result<std::u16string> Lines(long start, long count) const override {
    return document_->Lines(start, count);
  }

  Result<std::u16string> ProcOfLine(long line, ProcKind& kind) const override {
    const long n = document_->CountOfLines();
    // An empty module still has a cursor line, in its declarations section.
    if (line < 1 || line > std::max(n, 1L)) {
      return Status::Error("line " + std::to_string(line) +
                           " is outside the code module, which has " + std::to_string(n) +
                           (n == 1 ? " line" : " lines"));
    }
    const Procedure* p = document_->Index().ProcedureAt(line);
    if (p == nullptr) {
      kind = ProcKind::Proc;
      return std::u16string();
    }
    kind = p->kind;
    return p->name;
  }

  Result<long> ProcStartLine(std::u16string_view name, ProcKind kind) const override {
    Result<const Procedure*> p = Find(name, kind);
    if (!p) return p.status();
    return (*p)->start_line;
  }

  Result<long> ProcBodyLine(std::u16string_view name, ProcKind kind) const override {
    Result<const Procedure*> p = Find(name, kind);
    if (!p) return p.status();
    return (*p)->body_line;
  }

  Status InsertLines(long line, std::u16string_view text) override {
    return document_->InsertLines(line, text);
  }
  Status DeleteLines(long start, long count) override {
    return document_->DeleteLines(start, count);
  }

 private:
  Result<const Procedure*> Find(std::u16string_view name, ProcKind kind) const {
    const Procedure* p = document_->Index().Find(name, kind);
    if (p == nullptr) {
      return Status::Error(Utf16ToUtf8(parent_->Name()) + " has no " + DescribeProcKind(kind) +
                           " named \"" + Utf16ToUtf8(name) + "\"");
    }
    return p;
  }

  std::shared_ptr<ModuleDocument> document_;
  std::shared_ptr<VBComponent> parent_;
};

class FileCodePane : public CodePane {
 public:
  explicit FileCodePane(std::shared_ptr<host::CodeModule> module) : module_(std::move(module)) {}
  std::shared_ptr<host::CodeModule> CodeModule() const override { return module_; }
  Selection GetSelection() const override { return selection_; }
  void SetSelection(const Selection& selection) override { selection_ = selection; }

 private:
  std::shared_ptr<host::CodeModule> module_;
  Selection selection_;
};

std::string LowerExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
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
    return Status::Error(module.string() +
                         " is not a Visual Basic module file (.bas .cls .frm .ctl .pag .dob .dsr)");
  }
  Result<std::string> bytes = fs.ReadFile(module.string(), kModuleSizeLimit);
  if (!bytes) return bytes.status();
  // A VB module is 8-bit or UTF-8 text, which never holds a NUL byte; one
  // that does is UTF-16 without a byte-order mark or not text at all, and
  // writing an 8-bit header into it would damage it.
  if (bytes->find('\0') != std::string::npos) {
    return Status::InvalidArgument("cannot read " + module.string() +
                                   ": it holds NUL bytes (UTF-16 text or not a text file); it was "
                                   "left as it is");
  }
  Result<ProjectInfo> project = FindProject(module, options.encoding, fs);
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
    return Status::Error(module.string() +
                         " is not a Visual Basic module file (.bas .cls .frm .ctl .pag .dob .dsr)");
  }
  return Create(module, std::string(bytes), options, std::move(project));
}

Result<std::shared_ptr<FileVBE>> FileVBE::Create(const std::filesystem::path& module,
                                                 std::string bytes, const FileOpenOptions& options,
                                                 ProjectInfo project) {
  Result<ModuleDocument> document =
      ModuleDocument::Parse(std::move(bytes), options.encoding, module.string());
  if (!document) return document.status();

  std::shared_ptr<FileVBE> vbe(new FileVBE());
  vbe->path_ = module;
  vbe->document_ = std::make_shared<ModuleDocument>(std::move(*document));
  std::u16string name = vbe->document_->module_name().value_or(Utf8ToUtf16(module.stem().string()));
  vbe->project_ = std::make_shared<FileProject>(std::move(project));
  vbe->component_ = std::make_shared<FileComponent>(
      std::move(name), ComponentTypeOf(module, vbe->document_->is_mdi_form()));
  vbe->pane_ = std::make_shared<FileCodePane>(
      std::make_shared<FileCodeModule>(vbe->document_, vbe->component_));
  return vbe;
}

Status FileVBE::SelectFileRange(long start_line, long start_column, long end_line,
                                long end_column) {
  // A selection made from the end backwards is the same selection.
  if (end_line < start_line || (end_line == start_line && end_column < start_column)) {
    std::swap(start_line, end_line);
    std::swap(start_column, end_column);
  }
  Result<CodePosition> start = document_->CodePositionOf(start_line, start_column);
  if (!start) return start.status();
  Result<CodePosition> end = document_->CodePositionOf(end_line, end_column);
  if (!end) return end.status();
  pane_->SetSelection(Selection{start->line, start->column, end->line, end->column});
  return Status::Ok();
}

Result<long> FileVBE::FileLineOf(long code_line) const {
  const long n = document_->CountOfLines();
  if (code_line < 1 || code_line > n) {
    return Status::Error("line " + std::to_string(code_line) +
                         " is outside the code module, which has " + std::to_string(n) +
                         (n == 1 ? " line" : " lines"));
  }
  return document_->FileLineOf(code_line);
}

Status FileVBE::Save() const {
  if (!Modified()) return Status::Ok();
  if (check_disk_) {
    Result<std::string> now = fs_->ReadFile(path_.string(), kModuleSizeLimit);
    if (!now) return now.status();
    if (*now != (written_ ? *written_ : document_->original_bytes())) {
      return Status::Error(path_.string() +
                           " changed on disk after it was read; it was left as it is");
    }
  }
  std::string bytes = Serialize();
  if (Status s = ReplaceFile(*fs_, path_.string(), bytes); !s) return s;
  if (check_disk_) written_ = std::move(bytes);
  saved_edit_count_ = document_->edit_count();
  return Status::Ok();
}

}  // namespace tolvan::host
