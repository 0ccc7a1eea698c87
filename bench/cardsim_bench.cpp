// Simulator benchmark: what simulated cards cost to make. Prints
//   - the one-off encode of the 720x576 media set (4 GOPs of H.264 and the matching AAC),
//   - writing a full 256 MiB card (real qbox stream in every block), in MB/s of region,
//   - writing the information sectors of a sparse 32 GiB card (info_only) with 200 recordings.
// Usage: cardsim_bench [work folder] (default: a new folder under /tmp, removed afterwards).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cardsim/card_writer.h"
#include "cardsim/media_set.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool Report(const char* what, const cardsim::CardResult& r, double seconds) {
  if (!r.ok) {
    std::printf("%s: failed: %s\n", what, r.error.c_str());
    return false;
  }
  uint64_t blocks = 0, stream = 0;
  for (const auto& rec : r.recordings) {
    blocks += rec.blocks;
    stream += rec.stats.stream_bytes;
  }
  std::printf("%-28s %8.3f s  %6zu recordings  %7llu blocks  %8.1f MB/s of blocks  "
              "(%llu MB of stream)\n",
              what, seconds, r.recordings.size(), (unsigned long long)blocks,
              double(blocks) * 131072 / 1e6 / seconds, (unsigned long long)(stream / 1000000));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "cardsim-bench";
  fs::create_directories(work);

  auto t = std::chrono::steady_clock::now();
  std::string error;
  cardsim::MediaParams media;
  if (!cardsim::GetMediaSet(media, error)) {
    std::printf("encode failed: %s\n", error.c_str());
    return 1;
  }
  std::printf("%-28s %8.3f s  (720x576, 100 pictures, 2 Mbit/s; AAC 48 kHz)\n",
              "media set encode", Seconds(t));

  cardsim::Scenario full;
  full.partition_file_bytes.assign(4, 64u << 20);  // 2048 blocks
  full.devices = {cardsim::DeviceSpec{}};
  for (int i = 0; i < 20; ++i) {
    cardsim::RecordingSpec r;
    r.duration_s = 45;  // ~90 blocks at 2 Mbit/s
    full.recordings.push_back(r);
  }
  t = std::chrono::steady_clock::now();
  const auto full_result = cardsim::WriteCardToFolder(full, (work / "full").string());
  const bool ok_full = Report("full 256 MiB card", full_result, Seconds(t));

  cardsim::Scenario sparse;
  sparse.info_only = true;
  sparse.partition_file_bytes.assign(32, 1ull << 30);  // 262144 blocks
  sparse.ring_start_block = 100000;
  for (int i = 0; i < 200; ++i) {
    cardsim::RecordingSpec r;
    r.blocks = 1200;
    r.gap_blocks = i % 4 == 3 ? 5 : 0;
    r.power_on = i / 10;
    sparse.recordings.push_back(r);
  }
  t = std::chrono::steady_clock::now();
  const auto sparse_result = cardsim::WriteCardToFolder(sparse, (work / "sparse").string());
  const bool ok_sparse = Report("info-only 32 GiB card", sparse_result, Seconds(t));

  if (argc <= 1) fs::remove_all(work);
  return ok_full && ok_sparse ? 0 : 1;
}
