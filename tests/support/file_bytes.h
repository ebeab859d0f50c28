// Reads a whole file into a string, for tests that compare a file's bytes or read back a report.
#pragma once
#include <fstream>
#include <sstream>
#include <string>

// The file's bytes ("" when it cannot be read); the file is closed again on return.
inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
