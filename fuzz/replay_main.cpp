// Replays every file of a corpus folder through LLVMFuzzerTestOneInput, so
// that inputs that once crashed stay fixed in ordinary builds.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
    return 2;
  }
  std::error_code ec;
  std::filesystem::directory_iterator it(argv[1], ec);
  if (ec) {
    std::fprintf(stderr, "cannot read corpus %s: %s\n", argv[1], ec.message().c_str());
    return 1;
  }
  size_t count = 0;
  for (const auto& entry : it) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++count;
  }
  std::printf("replayed %zu inputs from %s\n", count, argv[1]);
  return count == 0 ? 1 : 0;
}
