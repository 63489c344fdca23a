// Reading files and a command's output in the tests that judge other programs.
#pragma once

#include <filesystem>
#include <string>

namespace zorvane::test {

// A file's bytes, unchanged; empty when it cannot be read.
std::string readFile(const std::filesystem::path& file);

// What a shell command writes to standard output and standard error.
std::string commandOutput(const std::string& command);

}  // namespace zorvane::test
