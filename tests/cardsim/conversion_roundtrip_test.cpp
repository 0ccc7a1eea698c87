// A simulated card converts: the conversion worker reads every recording back into exactly the
// elementary streams the simulator encoded, and the muxed file holds every frame.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "card/card_file_system.h"
#include "card/partition_file_reader.h"
#include "cardsim/card_writer.h"
#include "cardsim/image_folder_sink.h"
#include "convert/movieconvth.h"
#include "convert/mp4_muxer.h"
#include "platform/notice_sink.h"
#include "support/temp_dir.h"

namespace {

using namespace cardsim;
using testsupport::TempDir;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Converted {
  std::string h264, aac, mp4;
  bool done = false;
  int errorCode = 0;
};

Converted Convert(const std::string& card_dir, const CardResult& card, const RecordingResult& rec,
                  const std::string& out_dir) {
  auto fs = std::make_shared<card::FolderFileSystem>(card_dir);
  std::vector<std::string> names;
  for (uint32_t k = 0; k < card.geometry.N_rsf; ++k) names.push_back(PartitionFileName(int(k)));
  card::PartitionFileReader region(fs, names, card.geometry);
  records::TRecord record;
  record.bss_index = int32_t(rec.first_block);
  record.bss = rec.bss;
  record.ess_index = int32_t(rec.last_block);
  record.ess = rec.ess;
  convert::ConversionRequest q;
  q.convStart = int32_t(rec.first_block * 256);
  q.convBaseName = rec.stamp;
  q.outputDir = out_dir + "/";
  platform::NullNoticeSink notices;
  Converted out;
  convert::TMovieConvTh worker(region, record, q, notices);
  worker.set_muxer([&](const char* v, const char* a, const char* mp4) {
    out.h264 = ReadAll(v);
    out.aac = ReadAll(a);
    out.mp4 = mp4;
    return ::process(v, a, mp4);
  });
  worker.start();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!worker.done && !worker.failed && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  out.done = worker.done;
  out.errorCode = worker.errorCode;
  worker.request_terminate();
  return out;
}

Scenario RoundTripScenario() {
  Scenario s;
  s.seed = 5;
  s.width = 352;
  s.height = 288;
  s.channels = 2;
  s.partition_file_bytes = {1u << 20, 1u << 20, 1u << 20};  // 24 blocks
  s.ring_start_block = 20;  // the first recording wraps
  s.devices = {DeviceSpec{777, 1, 0x0100, 40}, DeviceSpec{1048576, 2, 0x0100, 1}};
  RecordingSpec r;
  r.duration_s = 7;
  s.recordings.push_back(r);
  r.device = 1;
  r.duration_s = 3;
  s.recordings.push_back(r);
  r.device = 0;
  r.power_on = 1;
  r.duration_s = 0;
  r.blocks = 2;
  r.lost_blocks = 1;   // its start was overwritten: the card begins in the middle of a box
  r.finished = false;  // and power failed: no end box
  s.recordings.push_back(r);
  return s;
}

TEST(CardsimConversion, EveryRecordingConvertsToTheStreamsThatWentIn) {
  TempDir dir;
  WriteOptions options;
  options.es_dump_dir = dir / "expected";
  const CardResult card = WriteCardToFolder(RoundTripScenario(), dir / "card", options);
  ASSERT_TRUE(card.ok) << card.error;
  ASSERT_LT(card.recordings[0].last_block, card.recordings[0].first_block) << "should wrap";
  for (const RecordingResult& rec : card.recordings) {
    SCOPED_TRACE("recording " + std::to_string(rec.index));
    std::filesystem::create_directories(dir / "out");
    const Converted c = Convert(dir / "card", card, rec, dir / "out");
    ASSERT_TRUE(c.done) << "error " << c.errorCode;
    char name[32];
    std::snprintf(name, sizeof name, "/rec%02d.264", rec.index);
    EXPECT_TRUE(c.h264 == ReadAll(options.es_dump_dir + name)) << "H.264 differs";
    std::snprintf(name, sizeof name, "/rec%02d.aac", rec.index);
    EXPECT_TRUE(c.aac == ReadAll(options.es_dump_dir + name)) << "AAC differs";
    if (!testsupport::HaveProgram("ffprobe")) continue;
    const auto probe = testsupport::RunCommand(
        "ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames "
        "-of csv=p=0 '" + c.mp4 + "'");
    EXPECT_EQ(probe.status, 0) << probe.output;
    EXPECT_EQ(probe.output, "video," + std::to_string(rec.stats.video_frames) + "\naudio," +
                                std::to_string(rec.stats.audio_frames) + "\n");
  }
}

}  // namespace
