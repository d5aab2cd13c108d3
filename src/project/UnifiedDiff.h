// The dry run's diff: a module's changes as `diff -u` shows them, written
// straight from the bytes as read and the edits made to them, in time and
// memory linear in the file. Lines are those of diff: each ends at LF (a CR
// before it, or a lone CR, is part of the line); three lines of context;
// hunks whose context touches are merged; a last line without a break is
// marked as diff marks it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vbsource/ModuleDocument.h"

namespace tolvan::project {

// `before` changed by `edits` (in order, not overlapping), shown under the
// name `name` on both sides; empty when nothing changed.
std::string UnifiedDiff(std::string_view before, const std::vector<host::ByteEdit>& edits,
                        const std::string& name);

}  // namespace tolvan::project
