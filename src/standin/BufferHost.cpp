#include "standin/BufferHost.h"

#include <algorithm>

#include "platform/Text.h"
#include "vbsource/VbSyntax.h"

namespace tolvan::host {
namespace {

class BufferProject : public VBProject {
 public:
  explicit BufferProject(ProjectInfo info) : info_(std::move(info)) {}
  std::u16string Name() const override { return info_.name; }
  std::u16string Description() const override { return info_.description; }

 private:
  ProjectInfo info_;
};

class BufferComponent : public VBComponent {
 public:
  BufferComponent(std::u16string name, int type) : name_(std::move(name)), type_(type) {}
  std::u16string Name() const override { return name_; }
  int Type() const override { return type_; }

 private:
  std::u16string name_;
  int type_;
};

class BufferCodeModule : public CodeModule {
 public:
  BufferCodeModule(std::shared_ptr<ModuleDocument> document, std::shared_ptr<VBComponent> parent)
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

  const std::vector<Procedure>* Procedures() const override {
    return &document_->Index().procedures();
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

class BufferCodePane : public CodePane {
 public:
  explicit BufferCodePane(std::shared_ptr<host::CodeModule> module) : module_(std::move(module)) {}
  std::shared_ptr<host::CodeModule> CodeModule() const override { return module_; }
  Selection GetSelection() const override { return selection_; }
  void SetSelection(const Selection& selection) override { selection_ = selection; }

 private:
  std::shared_ptr<host::CodeModule> module_;
  Selection selection_;
};

}  // namespace

Result<std::shared_ptr<BufferVBE>> BufferVBE::FromText(std::u16string_view text,
                                                       const BufferModuleInfo& info,
                                                       const std::string& display_name) {
  Result<ModuleDocument> document = ModuleDocument::FromText(text, display_name);
  if (!document) return document.status();
  std::shared_ptr<BufferVBE> vbe(new BufferVBE());
  vbe->Init(std::move(*document), info);
  return vbe;
}

Result<std::shared_ptr<BufferVBE>> BufferVBE::FromBytes(std::string bytes,
                                                        const std::string& encoding,
                                                        const BufferModuleInfo& info,
                                                        const std::string& display_name) {
  Result<ModuleDocument> document = ModuleDocument::Parse(std::move(bytes), encoding, display_name);
  if (!document) return document.status();
  std::shared_ptr<BufferVBE> vbe(new BufferVBE());
  vbe->Init(std::move(*document), info);
  return vbe;
}

void BufferVBE::Init(ModuleDocument document, const BufferModuleInfo& info) {
  document_ = std::make_shared<ModuleDocument>(std::move(document));
  std::u16string name = document_->module_name().value_or(info.fallback_name);
  int type = info.component_type;
  if (type == component_type::kVBForm && document_->is_mdi_form()) {
    type = component_type::kVBMDIForm;
  }
  project_ = std::make_shared<BufferProject>(info.project);
  component_ = std::make_shared<BufferComponent>(std::move(name), type);
  pane_ =
      std::make_shared<BufferCodePane>(std::make_shared<BufferCodeModule>(document_, component_));
}

Status BufferVBE::SelectFileRange(long start_line, long start_column, long end_line,
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

Result<long> BufferVBE::FileLineOf(long code_line) const {
  const long n = document_->CountOfLines();
  if (code_line < 1 || code_line > n) {
    return Status::Error("line " + std::to_string(code_line) +
                         " is outside the code module, which has " + std::to_string(n) +
                         (n == 1 ? " line" : " lines"));
  }
  return document_->FileLineOf(code_line);
}

}  // namespace tolvan::host
