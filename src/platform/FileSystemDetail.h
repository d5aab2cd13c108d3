// What the file systems of FileSystem.h share inside the platform layer:
// path pieces, the wording of failures, and the names of temporary files.
// Not for use outside platform/, but for the test file systems of
// tests/support, which word their failures as the real one does.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace tolvan::fs_detail {

// Whether `c` separates the names of a path: '/' everywhere, and '\' too on
// Windows.
bool IsSeparator(char c);
// The folder holding `path` ("." for a bare name; a root stays itself).
std::string Folder(const std::string& path);
std::string FileName(const std::string& path);
std::string Join(const std::string& folder, const std::string& name);

// "cannot <what> <path>: <the system's words>", coded by the errno value.
Status SysError(const std::string& what, const std::string& path, int err);
Status TooLarge(const std::string& path, size_t limit);
Status NotARegularFile(const std::string& what, const std::string& path, FileKind kind);

// The prefix of our temporary files beside `target`, up to the process ID,
// and the name up to the part that makes it unique.
std::string TemporaryPrefix(const std::string& target);
std::string TemporaryName(const std::string& target);

// This process's ID, and whether no process of that ID is running any more
// (false when that cannot be told).
long CurrentProcessId();
bool ProcessIsGone(long pid);

}  // namespace tolvan::fs_detail
