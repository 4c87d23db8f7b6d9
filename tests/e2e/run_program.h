// Runs a program as a child process with its output in files.
#pragma once

#include <string>
#include <vector>

namespace velta::expected {

// Runs argv (argv[0] a path) with exactly the environment env, standard input
// from /dev/null, standard output to out_path and standard error to err_path.
// Returns the exit status, or 128 + the signal number that ended it.
int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& out_path,
               const std::string& err_path);

// The whole content of a file.
std::string ReadFile(const std::string& path);

}  // namespace velta::expected
