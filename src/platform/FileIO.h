// Whole-file reading and atomic replacement. Every file the system writes
// (source modules, settings files, the registry store) goes through
// WriteFileAtomically: the bytes go to a temporary file in the same folder,
// which is flushed and then renamed over the target, so a failure at any
// point leaves the old file exactly as it was.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Status.h"

namespace tolvan {

Result<std::string> ReadFileBytes(const std::filesystem::path& path);

// Writes `bytes` to a new temporary file beside `target` (flushed to disk,
// with the target's permission bits when it exists) and returns its path;
// the caller renames it into place or removes it.
Result<std::string> WriteTemporaryFile(const std::filesystem::path& target, std::string_view bytes);

// Replaces (or creates) `path` with `bytes`. An existing file keeps its
// permission bits.
Status WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tolvan
