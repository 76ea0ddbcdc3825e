// Replays fuzzer inputs without libFuzzer: every regular file in the directories (or
// the files) named on the command line is passed once to LLVMFuzzerTestOneInput.
// A failed check aborts, so the exit status tells CTest whether the corpus passes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  // An exact-size heap copy, so the address sanitizer sees a read past the input.
  std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::size_t replayed = 0;
  for (int a = 1; a < argc; ++a) {
    const fs::path path(argv[a]);
    if (fs::is_directory(path)) {
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const auto& file : files) replay(file), ++replayed;
    } else if (fs::is_regular_file(path)) {
      replay(path), ++replayed;
    } else {
      std::fprintf(stderr, "replay: no such file or directory: %s\n", argv[a]);
      return 2;
    }
  }
  if (replayed == 0) {
    std::fprintf(stderr, "replay: no inputs\n");
    return 2;
  }
  std::printf("replayed %zu inputs\n", replayed);
  return 0;
}
