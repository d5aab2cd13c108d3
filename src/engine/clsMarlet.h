// The comment command. MainCheck looks at the active code pane: a selection
// gets line comments and change markers, a cursor in a procedure gets that
// procedure's header comment, a cursor in the declarations section gets the
// module header. One object serves one command.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "engine/ProcedureDeclaration.h"
#include "engine/modMarlet.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/Status.h"
#include "settings/SettingsRecord.h"
#include "vbide/VBE.h"

namespace tolvan {

class clsMarlet {
 public:
  clsMarlet(const SettingsRecord& settings, const Clock& clock, const KeyboardState& keyboard)
      : settings_(settings), clock_(clock), keyboard_(keyboard) {}

  // Runs the command once on the active code pane of `VBInstance`. A failed
  // host operation ends the command and is returned; whatever was done before
  // it stays done (the insertion is always the last step).
  Status MainCheck(host::VBE& VBInstance);

  // What AddProcHeader reads for one procedure, for tools that check or
  // rewrite headers without the active code pane.
  struct ProcedureFacts {
    std::u16string declaration;  // joined, literals blanked, comment cut
    ProcedureKind kind = ProcedureKind::kSub;
    std::u16string return_type;  // empty for Sub, Property Let and Set
    ParamTable params;
    int slot = 0;  // the template slot the header comes from
  };
  // `line` is the declaration line, `kind` the host's kind of the procedure
  // (what a text that is no declaration is taken for); `defs` the module's
  // Def statements.
  Result<ProcedureFacts> ReadProcedure(const host::CodeModule& module, long line,
                                       const std::u16string& name, host::ProcKind kind,
                                       const DefTypeTable& defs);
  // The Def statements of the module's declarations section, read no
  // further than line `before`.
  static Result<DefTypeTable> ReadDefTypes(const host::CodeModule& module, long before);
  // The template slot of a module header for a host component type.
  static int ModuleTemplateSlot(int component_type);

 private:
  friend struct clsMarletTestPeer;

  Status AddLineComment(long first, long last);
  Status AddModuleHeader();
  // `kind` is the host's: Sub and Function are told apart by the declaration.
  Status AddProcHeader(const std::u16string& name, host::ProcKind kind);
  // The declaration line of the procedure the cursor is in; `body` is the
  // one the host gives for its name and kind.
  Result<long> DeclarationHoldingCursor(const std::u16string& name, host::ProcKind kind, long body);
  void ParseDeclaration(const std::u16string& declaration, const std::u16string& name);
  Result<std::u16string> GetDeclaration(const host::CodeModule& module, long line);

  const SettingsRecord& settings_;
  const Clock& clock_;
  const KeyboardState& keyboard_;

  std::shared_ptr<host::VBProject> project_;
  std::shared_ptr<host::CodePane> code_pane_;
  std::shared_ptr<host::CodeModule> code_module_;
  int component_type_ = 0;
  ProcInfo vntProcInfo;
  ParamTable vntParams = NoParameters();
  std::u16string strRawDeclaration;
  DefTypeTable defs_;
  std::optional<ParsedDeclaration> parsed_;  // what ParseDeclaration read
};

}  // namespace tolvan
