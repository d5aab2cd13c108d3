// The one reader of procedure declarations: everything that needs to know
// what a Sub, Function or Property declaration says (the comment command,
// header recognition and review, the procedure index of module files) takes
// it apart here, so that they never disagree.
//
// Declarations are read in any letter case and with any spacing (spaces and
// tabs between words and around "," "(" ")" "="), since text editors do not
// canonicalise them as the IDE does. A string literal is one token whether
// it is blanked or not, so the reader works on the raw line as well as on
// the gathered declaration. Nothing here checks syntax beyond what it takes
// to tell a declaration from other lines.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vbide/VBE.h"

namespace tolvan {

// What a procedure is. The object model only tells the three property parts
// from "Sub or Function"; `ToHostKind` maps to its numbering.
enum class ProcedureKind : int { kSub, kFunction, kPropertyGet, kPropertyLet, kPropertySet };

host::ProcKind ToHostKind(ProcedureKind kind);
// "Sub", "Function", "Property Get", "Property Let", "Property Set".
const char16_t* KeywordOf(ProcedureKind kind);
// Functions and Property Gets return a value; the rest do not.
bool ReturnsValue(ProcedureKind kind);

enum class DeclaredScope { kNone, kPublic, kPrivate, kFriend };
enum class Passing { kNone, kByVal, kByRef, kParamArray };

// The type a Def statement gives to names that have neither a type suffix
// nor As. A module's Def statements (DefInt I-N, DefStr S, T-U...) stand in
// its declarations section; a later one overrides an earlier one.
class DefTypeTable {
 public:
  // Takes in one line of the declarations section; true when it was a Def
  // statement (a trailing comment allowed).
  bool Read(std::u16string_view line);
  // The type of a name without suffix or As: "Variant" unless a Def
  // statement covers its first letter.
  std::u16string TypeOf(std::u16string_view name) const;

 private:
  std::array<const char16_t*, 26> types_{};
};

struct DeclaredParameter {
  bool optional = false;
  Passing passing = Passing::kNone;
  std::u16string name;  // as written, a type-suffix character included, without "()"
  // As written after As; else what the type suffix or a Def statement says;
  // else "Variant".
  std::u16string type;
  bool has_default = false;
  std::u16string default_value;  // exactly as written, a literal with its quotes
};

struct ParsedDeclaration {
  DeclaredScope scope = DeclaredScope::kNone;
  bool is_static = false;
  ProcedureKind kind = ProcedureKind::kSub;
  std::u16string name;  // without brackets and without a type-suffix character
  std::vector<DeclaredParameter> parameters;
  // For Functions and Property Gets: as written after As (without an array
  // mark "()"), else what the type suffix or a Def statement says, else
  // "Variant"; empty for the others.
  std::u16string return_type;
};

// The beginning of a declaration: enough to know that a line declares a
// procedure, which kind, and its name. For readers that only need where
// procedures are.
struct DeclarationHead {
  DeclaredScope scope = DeclaredScope::kNone;
  bool is_static = false;
  ProcedureKind kind = ProcedureKind::kSub;
  std::u16string_view name;  // a view into the code read
  char16_t type_suffix = 0;  // '$', '%'... after the name; 0 when none
  // Where the parameter list (or the end) begins, after the name.
  size_t after_name = 0;
};

// `code` is a line of code, or a declaration joined from its continuation
// lines; white space around it does not matter.
std::optional<DeclarationHead> ReadDeclarationHead(std::u16string_view code);

// End Sub, End Function or End Property, alone on its line but for a
// comment (a bare End ends the program, not the procedure).
bool EndsProcedureStatement(std::u16string_view statement);

// Takes the declaration apart. `raw` holds the same text with the string
// literals as written where `declaration` may have them blanked (positions
// match character for character); default values are cut from it. Pass the
// declaration itself as `raw` when nothing was blanked.
std::optional<ParsedDeclaration> ParseDeclarationText(std::u16string_view declaration,
                                                      std::u16string_view raw,
                                                      const DefTypeTable& defs);

// The type a type-declaration character stands for ('$' String...), or
// nullptr when the character is none.
const char16_t* TypeOfSuffix(char16_t c);

}  // namespace tolvan
