#include "tools/Subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

extern char** environ;

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Two files for the child's output: pipes could fill up while the parent only waits.
class OutputFiles {
 public:
  OutputFiles() {
    std::string pattern = (fs::temp_directory_path() / "tavo-run-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
  }
  ~OutputFiles() {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
  }
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  fs::path Out() const { return folder_ / "stdout"; }
  fs::path Err() const { return folder_ / "stderr"; }

 private:
  fs::path folder_;
};

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;

  void Redirect(int fd, const fs::path& file) {
    posix_spawn_file_actions_addopen(&actions_, fd, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  }
  const posix_spawn_file_actions_t* Get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// The machine field of an ELF file's header (both architectures we build for are little-endian),
// or -1 for any other file.
int ElfMachine(const fs::path& file) {
  unsigned char header[20] = {};
  std::ifstream in(file, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return -1;
  if (header[0] != 0x7F || header[1] != 'E' || header[2] != 'L' || header[3] != 'F') return -1;
  return header[18] | header[19] << 8;
}

// A cross-built tree runs its tests under an emulator, and the kernel cannot start the tree's
// programs by itself: a child of this process's own architecture is started through the
// emulator that TAVO_TEST_EMULATOR names (words separated by spaces), the machine's own tools
// (pdftoppm, lpadmin, ...) directly.
std::vector<std::string> ThroughEmulator(std::vector<std::string> args) {
  const char* emulator = std::getenv("TAVO_TEST_EMULATOR");
  if (emulator == nullptr || *emulator == '\0' || args.at(0).find('/') == std::string::npos) {
    return args;
  }
  std::error_code error;
  // canonical: the emulator is the process behind /proc/self/exe, not the program it runs.
  const fs::path program = fs::canonical(args[0], error);
  if (error || ElfMachine(program) != ElfMachine("/proc/self/exe")) return args;
  args[0] = program.string();
  std::vector<std::string> words;
  std::istringstream in(emulator);
  for (std::string word; in >> word;) words.push_back(word);
  args.insert(args.begin(), words.begin(), words.end());
  return args;
}

int WaitForExit(pid_t child) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::vector<std::string> ChildEnvironment(const ProcessEnvironment& env) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool dropped = env.set.contains(name);
    for (const std::string& unset : env.unset) dropped = dropped || unset == name;
    if (!dropped) entries.push_back(text);
  }
  for (const auto& [name, value] : env.set) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessEnvironment& env) {
  ProcessResult result;
  OutputFiles files;
  SpawnActions actions;
  actions.Redirect(STDIN_FILENO, "/dev/null");
  actions.Redirect(STDOUT_FILENO, files.Out());
  actions.Redirect(STDERR_FILENO, files.Err());
  std::vector<std::string> args = ThroughEmulator(argv);
  std::vector<std::string> environment = ChildEnvironment(env);
  pid_t child = 0;
  if (::posix_spawnp(&child, args.at(0).c_str(), actions.Get(), nullptr, Pointers(args).data(),
                     Pointers(environment).data()) != 0) {
    result.err = "cannot start " + args[0];
    return result;
  }
  result.exitCode = WaitForExit(child);
  result.out = ReadWhole(files.Out());
  result.err = ReadWhole(files.Err());
  return result;
}

std::string PdfText(const std::string& pdfPath) {
  return RunProcess({"pdftotext", "-enc", "UTF-8", pdfPath, "-"}).out;
}

std::string PdfInfoField(const std::string& pdfPath, const std::string& field) {
  std::istringstream lines(RunProcess({"pdfinfo", "-enc", "UTF-8", pdfPath}).out);
  const std::string prefix = field + ":";
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with(prefix)) continue;
    const size_t start = line.find_first_not_of(' ', prefix.size());
    return start == std::string::npos ? "" : line.substr(start);
  }
  return {};
}

}  // namespace tavo::testing
