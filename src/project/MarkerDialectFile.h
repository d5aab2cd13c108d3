// The dialect file: how a project's older change markers look, kept with the
// project as `tolvan-markers.json` (in a module's folder or a folder above
// it, up to the first folder holding a .vbp) or named with --dialects. JSON,
// in UTF-8 (or CP932):
//
//   {
//     "use": ["start-author-date", "dash-s-e"],
//     "dialects": [
//       { "name": "ours",
//         "comment": "'",
//         "blocks": [
//           { "kind": "add",
//             "start": "'ADD {date:yyyy.mm.dd} {author} {reason...}",
//             "end": "'ADD END{*}" },
//           { "kind": "change",
//             "start": ["'CHG {date:yyyy.mm.dd} {ticket}", "'CHG{*}"],
//             "end": "'CHG END{*}" } ] } ]
//   }
//
// "use" switches built-in dialects on by name (ChangeDialect.h lists them);
// "dialects" defines a project's own. A block's "kind" is add, delete, change
// (old code commented out, then the new code) or modify; "start" and "end"
// are a pattern or a list of them (MarkerPattern.h); "comment" is what a
// commented-out line starts with after its indent (default "'"). Every
// dialect named or defined is tried, in the order written, built-in ones
// first.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/ChangeDialect.h"
#include "platform/Status.h"

namespace tolvan::project {

// The file name looked for beside the modules.
inline constexpr const char* kMarkerDialectFileName = "tolvan-markers.json";

// The dialects of a dialect file's bytes; `name` names it in messages.
Result<std::vector<ChangeDialect>> ParseMarkerDialects(std::string_view bytes,
                                                       const std::string& name);

// The built-in dialects of these names, in the order given.
Result<std::vector<ChangeDialect>> BuiltInDialectsNamed(const std::vector<std::string>& names);

// The dialect file for a module: the nearest `tolvan-markers.json` from the
// module's folder up to the first folder with a .vbp in it (or the root);
// empty when there is none.
std::filesystem::path FindMarkerDialectFile(const std::filesystem::path& module);

}  // namespace tolvan::project
