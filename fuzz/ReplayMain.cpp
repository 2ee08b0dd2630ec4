// Replays inputs through a fuzz target's entry point without libFuzzer, for builds that have none
// (another compiler, another architecture under an emulator): each file named, and every file
// under each folder named, in name order. A broken invariant aborts as it does under libFuzzer.
//
//   NAME_replay PATH...
//
// Ends 1 when the paths hold no input at all, so an emptied corpus cannot pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> Inputs(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (!std::filesystem::is_directory(path)) {
      inputs.push_back(path);
      continue;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::filesystem::path> inputs = Inputs(argc, argv);
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no input under the paths given\n");
    return 1;
  }
  size_t bytes = 0;
  for (const auto& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
      return 1;
    }
    // An empty vector's data() may be null; the entry point is always given a valid pointer.
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), {});
    data.reserve(1);
    LLVMFuzzerTestOneInput(data.data(), data.size());
    bytes += data.size();
  }
  std::printf("replay: %zu inputs (%zu bytes) ran to the end\n", inputs.size(), bytes);
  return 0;
}
