// libFuzzer target for the box walk, the post-processor and the verifier (not part of the
// normal build; see build_fuzz.sh). Each input is written to an in-memory file and sealed:
// a refused file must stay byte for byte as it was, a sealed one must verify intact, and the
// verifier must cope with whatever the input is.
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/integrity_block.h"
#include "convert/mp4_file.h"
#include "convert/mp4_postprocess.h"
#include "convert/mp4_verify.h"

namespace {

int MemoryFile() {
  static const int fd = memfd_create("mp4fuzz", 0);
  return fd;
}

std::vector<uint8_t> Contents(const std::string& path) {
  convert::Mp4File f;
  if (!f.open(path, false)) std::abort();
  std::vector<uint8_t> bytes(f.size());
  if (!f.readExact(0, bytes.data(), bytes.size())) std::abort();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = MemoryFile();
  if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);

  convert::VerifyMp4(path);  // the input as it is: may well hold a "skip" box already

  card::ServiceSector bss, ess;
  ess.set_video_flags(1);  // field-coded, so the timescale fix runs too
  const auto block = convert::BuildIntegrityBlock({&bss, &ess, 1, 2, 3, 4, path});
  std::atomic<int> code{0};
  platform::NullNoticeSink sink;
  const auto outcome = convert::PostProcessMp4Outcome(path, block.data(), block.size(), code, sink);
  const auto after = Contents(path);
  if (outcome == convert::PostProcessOutcome::sealed) {
    const auto result = convert::VerifyMp4(path);
    if (result.status != convert::VerifyStatus::intact) {
      std::fprintf(stderr, "sealed file does not verify: %s\n", result.problem.c_str());
      std::abort();
    }
  } else if (after.size() != size || (size > 0 && !std::equal(data, data + size, after.begin()))) {
    std::fprintf(stderr, "refused file was changed\n");
    std::abort();
  }
  return 0;
}
