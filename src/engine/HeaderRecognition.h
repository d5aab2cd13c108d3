// Header comments already in a code module: which procedures (and the
// module) have one, whether it still fits the declaration, and the edit that
// inserts a missing header or brings a stale one up to date while keeping
// what the user wrote in it. Works on any code module (a file, an editor's
// buffer), so the command line and a language server share the rules.
//
// A header is the block of comment lines a template produced: directly above
// the declaration (CommentPattern 0), or directly below it and its
// continuation lines (CommentPattern 1); the module header at the top of the
// module. A block is recognised against the templates in use and the factory
// defaults: a template line without macros must begin the block's line
// (trailing spaces aside; the user may write after it), a line with macros
// must match up to its first macro, the first-parameter line may be missing,
// the further-parameters line may repeat, and lines the user added inside
// the block are allowed, as long as every fixed text stands at its place (a
// parameter line shows a name and a passing text; a line of macros alone
// shows the project's and the module's names and a date). A comment block
// in a header's place that is no header is the procedure's own comment
// (`kForeign`) unless it is commented-out code; it is left alone until the
// user asks to adopt it into the template's header.
//
// An update is a three-way merge: what the user changed in the header
// (against what the templates made for the signature it documents) is
// carried onto the header for today's declaration. A change that has no
// place there leaves the header as it is, and the edit says why.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/ProcedureDeclaration.h"
#include "engine/modMarlet.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"
#include "vbide/VBE.h"

namespace tolvan {

// What a header is checked against and expanded with.
struct HeaderContext {
  const SettingsRecord& settings;  // the templates in use
  const SettingsRecord& defaults;  // the factory defaults, also recognised
  // Slots 0 (project description), 1 (today's date text), 3 (project name)
  // and 4 (module name); the rest is filled per procedure.
  ProcInfo info;
  int component_type = host::component_type::kStdModule;
};

// kForeign: a comment someone wrote stands where the header would.
enum class HeaderState { kMissing, kOk, kStale, kForeign };

struct HeaderStatus {
  bool is_module = false;
  std::u16string name;  // the procedure's name; the module's for a module header
  ProcedureKind kind = ProcedureKind::kSub;  // of a procedure
  std::u16string what;        // "Function CalcPay", "Property Get Value", "module modCalc"
  long declaration_line = 1;  // code line; 1 for the module header
  HeaderState state = HeaderState::kMissing;
  long header_first = 0;  // code lines of the header (or the comment); 0 when missing
  long header_last = 0;
  // For a stale header, one entry per difference: "name: Old -> New",
  // "kind: Sub -> Function", "parameters: +curBonus -lngOld",
  // "return type: Long -> Currency".
  std::vector<std::u16string> details;
};

// The module header first, then every procedure in line order.
Result<std::vector<HeaderStatus>> ExamineHeaders(const host::CodeModule& module,
                                                 const HeaderContext& context);

// Replace `delete_count` code lines from `line` on by `text` (CR LF between
// lines); delete_count 0 inserts before `line`.
struct HeaderEdit {
  long line = 1;
  long delete_count = 0;
  std::u16string text;
  bool inserts = false;  // a new header rather than an update
  // Notes the user wrote on parameters that are gone, dropped with them.
  struct DroppedNote {
    std::u16string parameter;
    std::u16string note;
  };
  std::vector<DroppedNote> dropped_notes;
  // Set when the header could not be brought up to date without losing
  // something the user wrote in it: the edit changes nothing (text empty,
  // delete_count 0), the header stays as it is, and this says what had no
  // place ("Function CalcPay: no place in the new header for ..."), for
  // "FILE:LINE: stale header left as it is: ..."; `line` is then the
  // declaration's.
  std::u16string left_as_is;
};

// Every header's status with the edit that fixes it, each as if it were the
// only one: a new header for a missing one, the update of a stale one, the
// template's header for the user's own comment; from one reading of the
// module, so that a thousand fixes cost one review.
struct ReviewedHeader {
  HeaderStatus status;
  std::optional<HeaderEdit> fix;
};
Result<std::vector<ReviewedHeader>> ReviewHeaders(const host::CodeModule& module,
                                                  const HeaderContext& context);

// The edit for the header of the procedure holding code line `line` (the
// module header in the declarations section): a new header when there is
// none, the regenerated one otherwise (only when stale, unless `always`);
// nullopt when nothing is to change.
Result<std::optional<HeaderEdit>> HeaderEditAt(const host::CodeModule& module,
                                               const HeaderContext& context, long line,
                                               bool always);
// Every edit a module needs at once: missing headers inserted, stale ones
// updated when `update`, the user's own comments adopted when `adopt`;
// ordered from the bottom of the module up, ready to apply one after the
// other.
Result<std::vector<HeaderEdit>> HeaderEditsForModule(const host::CodeModule& module,
                                                     const HeaderContext& context, bool update,
                                                     bool adopt = false);

// The template's header in place of the user's own comment (a `kForeign`
// status), keeping every word of it: its description, each parameter's
// text, the return text, the rest as lines inside the header; annotations
// (`'@Description(...)`) stay above. nullopt when the status is not kForeign.
Result<std::optional<HeaderEdit>> AdoptEditFor(const host::CodeModule& module,
                                               const HeaderContext& context,
                                               const HeaderStatus& status);
// The same for the procedure holding code line `line` (the module in the
// declarations section).
Result<std::optional<HeaderEdit>> AdoptEditAt(const host::CodeModule& module,
                                              const HeaderContext& context, long line);

// Applies an edit: the new lines go in before the old ones come out, so a
// failure loses nothing. Edits of one module are applied from the bottom up.
// An edit that leaves its header as it is changes nothing.
Status ApplyHeaderEdit(host::CodeModule& module, const HeaderEdit& edit);

}  // namespace tolvan
