// Preview benchmark: slider position to picture for a simulated 720x576, 25 fps recording of
// SECONDS seconds (default 60). For every position in turn (and then in a random order) it
// times the seek, the decode and the colour conversion to the 360 x 288 picture, as the window
// does between a slider move and the repaint (less the 200 ms timer), and counts the sectors
// each seek reads. Prints mean, median, 95th percentile and maximum.
//
// Usage: preview_bench [WORK_DIR] [SECONDS]. The card is written to WORK_DIR/card (kept and
// reused when it exists).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "card/card_medium.h"
#include "cardsim/card_writer.h"
#include "platform/notice_sink.h"
#include "preview/preview_session.h"
#include "records/record_line.h"
#include "records/scan_whole_ring.h"

namespace fs = std::filesystem;

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Figures {
  std::vector<double> ms;
  std::vector<double> sectors;
};

void Print(const char* label, std::vector<double> v, const char* unit) {
  if (v.empty()) return;
  std::sort(v.begin(), v.end());
  double sum = 0;
  for (double x : v) sum += x;
  std::printf("%-28s mean %8.2f  median %8.2f  p95 %8.2f  max %8.2f %s\n", label,
              sum / double(v.size()), v[v.size() / 2], v[v.size() * 95 / 100], v.back(), unit);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "preview_bench";
  const double seconds = argc > 2 ? std::atof(argv[2]) : 60;
  const fs::path cardDir = work / "card";
  if (!fs::exists(cardDir / "hc00info.hcf")) {
    cardsim::Scenario s;
    s.seed = 21;
    s.width = 720;
    s.height = 576;
    const uint64_t bytes = uint64_t((seconds + 5) * 2.2e6 / 8 * 1.3) / (128 << 10) * (128 << 10);
    s.partition_file_bytes = {std::max<uint64_t>(bytes, 4u << 20)};
    cardsim::RecordingSpec r;
    r.duration_s = seconds;
    s.recordings.push_back(r);
    fs::create_directories(work);
    const cardsim::CardResult card = cardsim::WriteCardToFolder(s, cardDir.string());
    if (!card.ok) {
      std::fprintf(stderr, "preview_bench: %s\n", card.error.c_str());
      return 1;
    }
  }
  platform::NullNoticeSink notices;
  card::CardMedium medium(notices);
  if (!medium.OpenMedium(cardDir) || !medium.regionReader()) {
    std::fprintf(stderr, "preview_bench: cannot open %s\n", cardDir.c_str());
    return 1;
  }
  card::RegionReader& region = *medium.regionReader();
  const auto records =
      records::ScanWholeRing(region, records::ScanRingOf(medium)).records;
  if (records.empty()) return 1;
  const int64_t blocks = records::RecordBlocks(records[0]);

  preview::PreviewSession session(region, medium.N_s_s);
  session.Open(records[0], blocks);
  std::vector<int> order(static_cast<size_t>(blocks));
  for (int i = 0; i < int(blocks); ++i) order[size_t(i)] = i;
  Figures inTurn, shuffled;
  for (Figures* f : {&inTurn, &shuffled}) {
    if (f == &shuffled) std::shuffle(order.begin(), order.end(), std::mt19937(5));
    for (int p : order) {
      region.reset_reads();
      const double t0 = Now();
      session.Seek(p);
      const uint64_t reads = region.reads();
      session.DecodeShown();
      f->ms.push_back((Now() - t0) * 1000);
      f->sectors.push_back(double(reads));
    }
  }
  std::printf("recording: %.0f s, %lld blocks, 720x576\n", seconds, static_cast<long long>(blocks));
  Print("position->picture, in turn", inTurn.ms, "ms");
  Print("position->picture, shuffled", shuffled.ms, "ms");
  Print("sectors read per seek", inTurn.sectors, "sectors");
  return 0;
}
