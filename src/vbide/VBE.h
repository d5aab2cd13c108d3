// The development environment's object model, as far as Tolvan uses it:
// the root object, projects, components, code panes and code modules.
// These interfaces stand where the IDE's extensibility objects stand on
// Windows; FileHost.h puts real VB source files behind them, and tests put
// in-memory fakes. Line and column numbers are 1-based; texts of several
// lines are joined with CR LF. An operation that the IDE would fail with an
// error returns a failed Status or Result here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace tolvan::host {

class CommandBars;
class Events;

// The IDE's procedure kinds (vbext_ProcKind).
enum class ProcKind : uint8_t { Proc = 0, Let = 1, Set = 2, Get = 3 };

// Component types (vbext_ComponentType) that the system tells apart.
namespace component_type {
inline constexpr int kStdModule = 1;
inline constexpr int kClassModule = 2;
inline constexpr int kMSForm = 3;
inline constexpr int kResFile = 4;
inline constexpr int kVBForm = 5;
inline constexpr int kVBMDIForm = 6;
inline constexpr int kPropPage = 7;
inline constexpr int kUserControl = 8;
inline constexpr int kDocObject = 9;
inline constexpr int kRelatedDocument = 10;
inline constexpr int kActiveXDesigner = 11;
}  // namespace component_type

// Where one procedure lies in a code module, as the IDE's procedure
// operations report it.
struct Procedure {
  std::u16string name;  // as declared, without a type-suffix character
  ProcKind kind = ProcKind::Proc;
  // Lines of a module, which is read only up to 256 MiB: 32 bits hold them,
  // and a procedure takes 56 bytes rather than 72.
  int32_t start_line = 0;      // first line, blank and comment lines above included
  int32_t body_line = 0;       // first line of the declaration
  int32_t body_last_line = 0;  // last line of the declaration (after continuations)
  int32_t end_line = 0;        // the End line; the last line of the module when missing
};

class VBProject {
 public:
  virtual ~VBProject() = default;
  virtual std::u16string Name() const = 0;
  virtual std::u16string Description() const = 0;
};

class VBComponent {
 public:
  virtual ~VBComponent() = default;
  virtual std::u16string Name() const = 0;
  virtual int Type() const = 0;
};

class CodeModule {
 public:
  virtual ~CodeModule() = default;

  // The component that owns the module.
  virtual std::shared_ptr<VBComponent> Parent() const = 0;
  virtual long CountOfLines() const = 0;
  // Lines start..start+count-1 joined with CR LF, no CR LF after the last.
  virtual Result<std::u16string> Lines(long start, long count) const = 0;
  // Name of the procedure holding the line (blank and comment lines above a
  // procedure count to it), empty in the declarations section. `kind` is
  // overwritten with the kind of that procedure; the name does not depend on
  // the kind asked.
  virtual Result<std::u16string> ProcOfLine(long line, ProcKind& kind) const = 0;
  // First line of the procedure, comments above it included; fails when no
  // procedure of that name and kind exists.
  virtual Result<long> ProcStartLine(std::u16string_view name, ProcKind kind) const = 0;
  // The line of the procedure's declaration.
  virtual Result<long> ProcBodyLine(std::u16string_view name, ProcKind kind) const = 0;
  // Every procedure in line order, each part of a property and each
  // declaration under #If/#Else that has a body of its own counted apart;
  // nullptr where the host cannot list them (the IDE's object model has no
  // such call). Valid until the module changes.
  virtual const std::vector<Procedure>* Procedures() const { return nullptr; }
  // Inserts the text before `line` (CountOfLines() + 1 appends). Each CR LF
  // in the text starts a new line, so a text ending in CR LF also inserts an
  // empty line after it.
  virtual Status InsertLines(long line, std::u16string_view text) = 0;
  virtual Status DeleteLines(long start, long count) = 0;
};

struct Selection {
  long startLine = 1;
  long startColumn = 1;
  long endLine = 1;
  long endColumn = 1;
  bool operator==(const Selection&) const = default;
};

class CodePane {
 public:
  virtual ~CodePane() = default;
  virtual std::shared_ptr<host::CodeModule> CodeModule() const = 0;
  virtual Selection GetSelection() const = 0;
  virtual void SetSelection(const Selection& selection) = 0;
};

// The root object (VBInstance). A getter returns nullptr where the IDE has
// nothing to give (no active project, no code window, nothing selected).
class VBE {
 public:
  virtual ~VBE() = default;
  virtual std::shared_ptr<VBProject> ActiveVBProject() const = 0;
  virtual std::shared_ptr<host::CodePane> ActiveCodePane() const = 0;
  virtual std::shared_ptr<VBComponent> SelectedVBComponent() const = 0;
  virtual std::shared_ptr<host::CommandBars> CommandBars() const = 0;
  virtual std::shared_ptr<host::Events> Events() const = 0;
};

}  // namespace tolvan::host
