// Fuzz target: a fuzzed record region through the scan, the stream reader, the conversion
// worker, the muxer and the post-processor to sealed .mp4 files. Input: the service sector
// (512 bytes), then the region's sectors (zeros after the input's end, whole blocks, two
// partition files). Every part the worker reports as sealed without an error must verify
// intact, and when the worker has ended no file but those parts may be left in its folder.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "convert/movieconvth.h"
#include "convert/mp4_verify.h"
#include "fuzz_support.h"
#include "platform/notice_sink.h"
#include "records/scan_whole_ring.h"

namespace {

constexpr size_t kMaxRecordings = 3;
constexpr int64_t kSplitLimit = 96 * 1024;  // small, so that parts are cut often

void Convert(card::RegionReader& region, const records::TRecord& record, int line) {
  const std::string dir = fuzzsupport::ScratchDir() + "out/";
  ::mkdir(dir.c_str(), 0700);
  fuzzsupport::ClearDir(dir);
  convert::ConversionRequest request;
  request.convRecord = line;
  request.convStart = int32_t(uint32_t(record.bss_index) * 256u);
  request.convBaseName = "rec";
  request.outputDir = dir;
  platform::NullNoticeSink notices;
  std::mutex mutex;
  std::set<std::string> sealed;
  {
    convert::TMovieConvTh worker(region, record, request, notices, kSplitLimit);
    worker.set_part_sink([&](const std::string& path) {
      if (worker.errorCode == 0) {
        const convert::VerifyResult v = convert::VerifyMp4(path);
        KORVAN_FUZZ_CHECK(v.status == convert::VerifyStatus::intact, v.problem.c_str());
      }
      std::lock_guard lock(mutex);
      sealed.insert(path.substr(dir.size()));
    });
    worker.start();
    // The worker has no completion callback; a harness may poll.
    while (!worker.done && !worker.failed)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    worker.request_terminate();
  }  // joined
  for (const std::string& name : fuzzsupport::FilesIn(dir))
    KORVAN_FUZZ_CHECK(sealed.count(name), ("file left behind: " + name).c_str());
  fuzzsupport::ClearDir(dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < base::kSectorSize) return 0;
  fuzzsupport::Cursor in({data, size});
  const card::ServiceSector ss = in.service_sector();
  const size_t sectors = (in.left() + base::kSectorSize - 1) / base::kSectorSize;
  const uint32_t blocks = uint32_t(std::clamp<size_t>((sectors + 255) / 256, 1, 64));
  fuzzsupport::BytesRegion region(in.take(in.left()), blocks * 256, 1024);
  const records::WholeRingScan scan = records::ScanWholeRing(region, fuzzsupport::RingOf(ss));
  for (size_t i = 0; i < scan.records.size() && i < kMaxRecordings; ++i)
    Convert(region, scan.records[i], int(i));
  return 0;
}

// Seeds: the service sector and whole region of small simulated cards.
bool KorvanFuzzWriteSeeds(const std::string& dir) {
  for (const bool wrap : {false, true})
    if (!fuzzsupport::WriteWhole(dir + "/card-" + std::to_string(wrap),
                                 fuzzsupport::SimulatedCard(wrap ? 7 : 3, wrap)))
      return false;
  return true;
}
