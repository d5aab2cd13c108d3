// An in-memory IDE for engine tests: a code module of plain lines whose
// procedures are declared by the test (start, declaration and end lines, as
// the IDE would report them), a code pane with a selection, a project and a
// selected component.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "vbide/VBE.h"

namespace tolvan::testing {

struct FakeProc {
  std::u16string name;
  host::ProcKind kind;
  long start;
  long body;
  long end;
};

class FakeComponent : public host::VBComponent {
 public:
  FakeComponent(std::u16string name, int type) : name_(std::move(name)), type_(type) {}
  std::u16string Name() const override { return name_; }
  int Type() const override { return type_; }

 private:
  std::u16string name_;
  int type_;
};

class FakeProject : public host::VBProject {
 public:
  std::u16string Name() const override { return u"Payroll"; }
  std::u16string Description() const override { return u"給与計算"; }
};

class FakeCodeModule : public host::CodeModule {
 public:
  std::vector<std::u16string> lines;
  std::vector<FakeProc> procs;
  std::shared_ptr<host::VBComponent> parent;
  bool fail_insert = false;
  // Whether the module lists its procedures, as a module over text does;
  // the IDE's does not.
  bool lists_procedures = false;

  const std::vector<host::Procedure>* Procedures() const override {
    if (!lists_procedures) return nullptr;
    listed_.clear();
    for (const auto& p : procs) {
      long last = p.body;
      while (last < CountOfLines() && lines[last - 1].ends_with(u" _")) ++last;
      listed_.push_back({p.name, p.kind, p.start, p.body, last, p.end});
    }
    return &listed_;
  }

  std::shared_ptr<host::VBComponent> Parent() const override { return parent; }
  long CountOfLines() const override { return static_cast<long>(lines.size()); }

  Result<std::u16string> Lines(long start, long count) const override {
    if (start < 1 || count < 0 || start + count - 1 > CountOfLines()) {
      return Status::Error("line out of range");
    }
    std::u16string out;
    for (long i = start; i < start + count; ++i) {
      if (i > start) out += u"\r\n";
      out += lines[i - 1];
    }
    return out;
  }

  Result<std::u16string> ProcOfLine(long line, host::ProcKind& kind) const override {
    if (line < 1 || line > CountOfLines() + 1) return Status::Error("line out of range");
    for (const auto& p : procs) {
      if (line >= p.start && line <= p.end) {
        kind = p.kind;
        return p.name;
      }
    }
    return std::u16string();
  }

  Result<long> ProcStartLine(std::u16string_view name, host::ProcKind kind) const override {
    if (auto* p = Find(name, kind)) return p->start;
    return Status::Error("no such procedure");
  }

  Result<long> ProcBodyLine(std::u16string_view name, host::ProcKind kind) const override {
    if (auto* p = Find(name, kind)) return p->body;
    return Status::Error("no such procedure");
  }

  Status InsertLines(long line, std::u16string_view text) override {
    if (fail_insert) return Status::Error("insertion refused");
    if (line < 1 || line > CountOfLines() + 1) return Status::Error("line out of range");
    std::vector<std::u16string> pieces;
    size_t from = 0;
    while (true) {
      size_t pos = text.find(u"\r\n", from);
      pieces.emplace_back(text.substr(from, pos == std::u16string_view::npos ? pos : pos - from));
      if (pos == std::u16string_view::npos) break;
      from = pos + 2;
    }
    lines.insert(lines.begin() + (line - 1), pieces.begin(), pieces.end());
    return Status::Ok();
  }

  Status DeleteLines(long start, long count) override {
    if (start < 1 || count < 0 || start + count - 1 > CountOfLines()) {
      return Status::Error("line out of range");
    }
    lines.erase(lines.begin() + (start - 1), lines.begin() + (start - 1 + count));
    return Status::Ok();
  }

 private:
  const FakeProc* Find(std::u16string_view name, host::ProcKind kind) const {
    auto it = std::find_if(procs.begin(), procs.end(),
                           [&](const FakeProc& p) { return p.name == name && p.kind == kind; });
    return it == procs.end() ? nullptr : &*it;
  }
  mutable std::vector<host::Procedure> listed_;
};

class FakeCodePane : public host::CodePane {
 public:
  std::shared_ptr<FakeCodeModule> module;
  host::Selection selection;

  std::shared_ptr<host::CodeModule> CodeModule() const override { return module; }
  host::Selection GetSelection() const override { return selection; }
  void SetSelection(const host::Selection& s) override { selection = s; }
};

class FakeVBE : public host::VBE {
 public:
  std::shared_ptr<host::VBProject> project = std::make_shared<FakeProject>();
  std::shared_ptr<FakeCodePane> pane = std::make_shared<FakeCodePane>();
  std::shared_ptr<host::VBComponent> component;

  explicit FakeVBE(int component_type = host::component_type::kStdModule) {
    component = std::make_shared<FakeComponent>(u"modCalc", component_type);
    pane->module = std::make_shared<FakeCodeModule>();
    pane->module->parent = component;
  }

  std::shared_ptr<host::VBProject> ActiveVBProject() const override { return project; }
  std::shared_ptr<host::CodePane> ActiveCodePane() const override { return pane; }
  std::shared_ptr<host::VBComponent> SelectedVBComponent() const override { return component; }
  std::shared_ptr<host::CommandBars> CommandBars() const override { return nullptr; }
  std::shared_ptr<host::Events> Events() const override { return nullptr; }

  FakeCodeModule& module() { return *pane->module; }
  void Select(long l1, long c1, long l2, long c2) { pane->selection = {l1, c1, l2, c2}; }
};

}  // namespace tolvan::testing
