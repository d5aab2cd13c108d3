// Helpers shared by the settings tests: a scratch folder that is removed
// afterwards, byte strings written by hand, file reading, and which
// template slots start as copies of others.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "SystemSupport.h"

namespace tolvan::testing {

class TempDir {
 public:
  TempDir() : path_(MakeScratchFolder("tolvan-test-")) {}
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(PathFromUtf8(path_), ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // The path of `name` in the folder as the system writes it, with its own
  // separators ('\\' on Windows), as paths made by the code under test are.
  std::string Native(const std::string& name) const {
    return PathUtf8((PathFromUtf8(path_) / PathFromUtf8(name)).lexically_normal());
  }

 private:
  std::string path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A std::string from a literal that may hold NUL bytes.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

}  // namespace tolvan::testing
