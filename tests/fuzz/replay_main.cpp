// Runs a fuzz target's entry point without libFuzzer: on every file named (a folder names
// its files), or, with --seeds DIR, writes the target's seed inputs into DIR. The normal
// build links each target with this file so that tests replay the kept regression inputs.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Writes the target's seed inputs into `dir`; false on failure.
bool KorvanFuzzWriteSeeds(const std::string& dir);

namespace {

int Replay(const std::string& path, int& count) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    return 1;
  }
  if (S_ISDIR(st.st_mode)) {
    int status = 0;
    for (const std::string& n : fuzzsupport::FilesIn(path + "/")) status |= Replay(path + "/" + n, count);
    return status;
  }
  const std::vector<uint8_t> bytes = fuzzsupport::ReadWhole(path);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  ++count;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--seeds") return KorvanFuzzWriteSeeds(argv[2]) ? 0 : 1;
  int status = 0, count = 0;
  for (int i = 1; i < argc; ++i) status |= Replay(argv[i], count);
  std::printf("replayed %d inputs\n", count);
  return status;
}
