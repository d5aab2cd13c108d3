// Reading Visual Basic source a line at a time, as far as the host needs it:
// where a line's code ends and its comment begins, continuation lines,
// statements separated by colons, and the lines that shape a module
// (procedure declarations and their ends, Enum and Type blocks, module-level
// variables, the designer header and hidden attribute lines). Keywords are
// recognised in any letter case, since files edited outside the IDE do not
// always keep its capitalisation. Nothing here checks syntax: a line either
// has the shape looked for or it does not.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "vbide/VBE.h"

namespace tolvan::host {

// Identifiers compare without regard to the case of ASCII letters only: a
// real module holds both `γa` and `Γa`, two different functions, so no other
// letter folds.
inline char16_t FoldChar(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}
std::u16string FoldCase(std::u16string_view text);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

// A line ending in " _" (or a lone "_") continues on the next line; this holds
// for comments too, which makes the next line part of the comment.
bool ContinuesOnNextLine(std::u16string_view line);
// "End", blanks, then Sub, Function or Property, and nothing after them but
// blanks and a comment: the bytes (CP932 or UTF-8) of a line that holds no
// colon or underscore and ends a procedure. Anything less plain is left to
// the text.
bool EndsProcedureByBytes(std::string_view bytes);

// The code of a (logical) line without its comment (an apostrophe outside a
// string literal, or a Rem statement) and without surrounding white space.
std::u16string_view CodePart(std::u16string_view line);
// The same, telling also whether the code holds a colon outside string
// literals (more than one statement, or a label).
struct CodeScan {
  std::u16string_view code;
  bool has_colon = false;
};
CodeScan ScanCode(std::u16string_view line);

// Tells from its characters (or its bytes, CP932 or UTF-8) that a line
// surely holds one statement of code that no procedure, Enum or Type starts
// or ends with, that is no #-directive and does not continue: it starts with
// an ASCII character other than white space, an apostrophe, and the first
// letters of Rem, End, Public, Private, Friend, Function, Static, Sub and
// Property, and holds neither a colon nor an underscore (0x3A is never the
// second byte of a CP932 character; 0x5F may be, which only costs a closer
// look).
// Whether a plain statement (below) may start with `c`, the line's first
// character after white space: an ASCII character other than an apostrophe,
// '#', and the first letters of Rem, End, Public, Private, Friend, Function,
// Static, Sub and Property.
template <class Char>
constexpr bool MayStartPlainStatement(Char c) {
  switch (c) {
    case '\'':
    case '#':
    case 'E':
    case 'e':
    case 'F':
    case 'f':
    case 'P':
    case 'p':
    case 'R':
    case 'r':
    case 'S':
    case 's':
    case '\v':
    case '\f':
      return false;
    default:
      return static_cast<std::make_unsigned_t<Char>>(c) < 0x80;
  }
}

template <class Char>
bool IsPlainStatement(std::basic_string_view<Char> line) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i == line.size() || !MayStartPlainStatement(line[i])) return false;
  const std::basic_string_view<Char> rest = line.substr(i);
  return rest.find(Char(':')) == rest.npos && rest.find(Char('_')) == rest.npos;
}
inline bool IsPlainStatement(std::string_view bytes) { return IsPlainStatement<char>(bytes); }
inline bool IsPlainStatement(std::u16string_view line) { return IsPlainStatement<char16_t>(line); }

struct ProcedureDeclaration {
  std::u16string name;  // as written, without a type-suffix character
  ProcKind kind = ProcKind::Proc;
};

// A Sub, Function or Property Get/Let/Set declaration, with or without
// Public/Private/Friend and Static, as the engine's declaration reader
// (engine/ProcedureDeclaration.h) takes it. Declare statements, Events and
// variables are not procedure declarations.
std::optional<ProcedureDeclaration> ParseProcedureDeclaration(std::u16string_view code);

// True when one of the statements of the code is End Sub, End Function or End
// Property (a bare End ends the program, not the procedure). `has_colon`
// false promises a single statement, which saves a scan.
bool EndsProcedure(std::u16string_view code, bool has_colon = true);

enum class BlockKind { kNone, kEnum, kType };
// An Enum or Type block that opens on this code line.
BlockKind OpensBlock(std::u16string_view code);
bool ClosesBlock(std::u16string_view code, BlockKind kind);

// #Else and #ElseIf: what follows is an alternative to what came before.
bool IsConditionalAlternative(std::u16string_view code);

// Names declared by a module-level variable declaration (Public, Private,
// Dim or Global, WithEvents allowed), without type suffixes; empty for any
// other line, constants included.
std::vector<std::u16string> DeclaredVariables(std::u16string_view code);

// `Attribute Item.VB_UserMemId = 0` and `Attribute VB_Name = "X"`: the lines
// the IDE keeps in the file but does not show.
bool IsAttributeLine(std::u16string_view line);
// The member an attribute line belongs to ("Item" above); empty for a
// module attribute.
std::u16string AttributeMember(std::u16string_view line);

// The designer header at the top of form, class and control files.
bool IsVersionLine(std::u16string_view line);
bool IsObjectLine(std::u16string_view line);
bool IsModuleAttributeLine(std::u16string_view line);  // Attribute VB_...
// +1 for Begin and BeginProperty, -1 for End and EndProperty, else 0.
int DesignerBlockStep(std::u16string_view line);
// The value of `Attribute VB_Name = "X"`, if this is that line.
std::optional<std::u16string> ModuleNameAttribute(std::u16string_view line);

}  // namespace tolvan::host
