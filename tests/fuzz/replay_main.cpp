// Runs every fuzz target over files and folders of inputs, without libFuzzer:
//   kestrix_fuzz_replay CORPUS_DIR_OR_FILE...
// Exits non-zero when no input was found (an empty corpus proves nothing); a
// finding aborts, as under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.hpp"

namespace fs = std::filesystem;

namespace {

bool replay(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const kestrix::fuzz::Target& target : kestrix::fuzz::kTargets) {
    kestrix::fuzz::runTarget(target, bytes);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (const auto& entry : fs::recursive_directory_iterator(argv[i])) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else {
      inputs.emplace_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "no input to replay\n");
    return 1;
  }
  int failed = 0;
  for (const fs::path& p : inputs) {
    if (!replay(p)) ++failed;
  }
  std::printf("%zu inputs replayed through %zu targets, %d unreadable\n", inputs.size(),
              kestrix::fuzz::kTargets.size(), failed);
  return failed == 0 ? 0 : 1;
}
