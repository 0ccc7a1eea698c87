// Simulator benchmark: what simulated cards cost to make. Prints
//   - the one-off encode of the 720x576 media set (4 GOPs of H.264 and the matching AAC),
//   - writing a full 256 MiB card (real qbox stream in every block), in MB/s of region,
//   - simulating the information sectors of a 32 GiB card (info_only) with 200 recordings into a
//     sink that only counts (the simulator's own cost), and writing a 4 GiB one to sparse files
//     (each information sector takes a file-system block, and deleting such files takes long
//     on a busy disk, hence not 32 GiB).
// Usage: cardsim_bench [work folder] (default: a new folder under /tmp, removed afterwards).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "cardsim/card_sink.h"
#include "cardsim/card_writer.h"
#include "cardsim/media_set.h"

namespace {

// Accepts every write and counts the sectors.
class CountingSink final : public cardsim::CardSink {
 public:
  bool WriteRegion(uint32_t, const uint8_t*, uint32_t count) override {
    sectors += count;
    return true;
  }
  bool WriteServiceSector(const base::Sector&) override { return true; }
  bool ApplyFileDamage(const cardsim::Damage&) override { return true; }
  bool Finish() override { return true; }
  uint64_t sectors = 0;
};

// Wall and CPU seconds since a start point (CPU time shows the cost on a busy machine).
struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
};
struct Elapsed {
  double wall, cpu;
};
Elapsed Seconds(const Clock& since) {
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - since.wall).count(),
          double(std::clock() - since.cpu) / CLOCKS_PER_SEC};
}

bool Report(const char* what, const cardsim::CardResult& r, Elapsed e) {
  if (!r.ok) {
    std::printf("%s: failed: %s\n", what, r.error.c_str());
    return false;
  }
  uint64_t blocks = 0, stream = 0;
  for (const auto& rec : r.recordings) {
    blocks += rec.blocks;
    stream += rec.stats.stream_bytes;
  }
  std::printf("%-30s %7.3f s wall %7.3f s cpu  %4zu recordings %7llu blocks  "
              "%7.0f MB/s of blocks per cpu s  (%llu MB of stream)\n",
              what, e.wall, e.cpu, r.recordings.size(), (unsigned long long)blocks,
              double(blocks) * 131072 / 1e6 / e.cpu, (unsigned long long)(stream / 1000000));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "cardsim-bench";
  fs::create_directories(work);

  Clock t;
  std::string error;
  cardsim::MediaParams media;
  if (!cardsim::GetMediaSet(media, error)) {
    std::printf("encode failed: %s\n", error.c_str());
    return 1;
  }
  const Elapsed encode = Seconds(t);
  std::printf("%-30s %7.3f s wall %7.3f s cpu  (720x576, 100 pictures, 2 Mbit/s; AAC 48 kHz)\n",
              "media set encode", encode.wall, encode.cpu);

  cardsim::Scenario full;
  full.partition_file_bytes.assign(4, 64u << 20);  // 2048 blocks
  full.devices = {cardsim::DeviceSpec{}};
  for (int i = 0; i < 20; ++i) {
    cardsim::RecordingSpec r;
    r.duration_s = 45;  // ~90 blocks at 2 Mbit/s
    full.recordings.push_back(r);
  }
  t = Clock{};
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
  CountingSink counting;
  t = Clock{};
  const auto counted = cardsim::WriteCard(sparse, counting);
  bool ok_sparse = Report("info-only 32 GiB, no disk", counted, Seconds(t));

  sparse.partition_file_bytes.assign(4, 1ull << 30);  // 32768 blocks
  sparse.ring_start_block = 1000;
  sparse.recordings.resize(25);
  t = Clock{};
  const auto on_disk = cardsim::WriteCardToFolder(sparse, (work / "sparse").string());
  ok_sparse = Report("info-only 4 GiB, sparse files", on_disk, Seconds(t)) && ok_sparse;

  if (argc <= 1) fs::remove_all(work);
  return ok_full && ok_sparse ? 0 : 1;
}
