// Runs a program as a child process, as a user at a shell would, and collects what it wrote.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tavo::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when the child did not exit normally or could not start
  std::string out;
  std::string err;
};

struct ProcessEnvironment {
  std::vector<std::string> unset;          // names taken out of this process's environment
  std::map<std::string, std::string> set;  // names added or replaced
};

// Runs `argv` (argv[0] is looked up in PATH) with this process's environment changed by `env`
// and waits for it; a child still running after a minute is killed, so no test can hang.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessEnvironment& env = {});

// This process's environment changed by `env`, as "NAME=value" entries for a child.
std::vector<std::string> ChildEnvironment(const ProcessEnvironment& env);
// The texts as the null-terminated pointer array exec and posix_spawn take; valid while they live.
std::vector<char*> Pointers(std::vector<std::string>& texts);

// What poppler reads back from a PDF file: its text, and one field of its document information.
std::string PdfText(const std::string& pdfPath);
std::string PdfInfoField(const std::string& pdfPath, const std::string& field);

}  // namespace tavo::testing
