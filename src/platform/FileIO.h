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

// Replaces (or creates) `path` with `bytes`. An existing file keeps its
// permission bits.
Status WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tolvan
