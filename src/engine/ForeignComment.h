// Comments above a procedure that Tolvan did not write: telling a comment a
// person wrote from code someone commented out, and reading what such a
// comment says (a description, a text per parameter, the return value) so
// that the template's header can take it over with every word kept.
//
// Styles read: tags in the JSDoc manner (`' @param {Long} lngBase text`,
// `@return`, `@method`, `@example`), Rubberduck annotations
// (`'@Description("...")`, which stay where they are because Rubberduck reads
// them), `'''` XML doc (<summary>, <param name="x">, <returns>), Japanese
// label boxes (名称, 機能, 概要, 引数, 戻値/戻り値, 備考, with "：" or ":"), and
// plain prose. A shape none of them knows becomes the description.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvan {

// A comment line (leading blanks and apostrophe included) that reads as a
// VB statement or declaration: commented-out code, not a person's comment.
bool IsCommentedOutCode(std::u16string_view line);

// A change marker around edited code, Tolvan's own ("'******* Add Start
// ******** 2026/12/09") or a house dialect's ("'ADD START <author>
// 2009/09/17", "'CHG E N D", "' === 20061116 === UPDATE S -", "'--- Add -e-"):
// no comment on the procedure below it.
bool IsChangeMarker(std::u16string_view line);

// Whether a comment line holds any word at all (rules of "*", "=", "-" and
// bare apostrophes hold none).
bool HasWords(std::u16string_view line);

struct ForeignComment {
  std::vector<std::u16string> description;  // lines of text, without apostrophes
  std::vector<std::pair<std::u16string, std::u16string>> params;  // name, text
  std::u16string returns;
  // Comment lines kept as they stand, inside the header.
  std::vector<std::u16string> others;
  // Comment lines that stay above the header as they stand (annotations).
  std::vector<std::u16string> above;
};

// Reads the comment block `lines` of the procedure `procedure` (empty for a
// module). Every word of the block ends up in one of the fields, except
// markup (tags, XML elements, rules) and a restatement of the procedure's
// own name ("@method CalcPay", "名称：Function CalcPay").
ForeignComment ReadForeignComment(std::span<const std::u16string> lines,
                                  std::u16string_view procedure);

}  // namespace tolvan
