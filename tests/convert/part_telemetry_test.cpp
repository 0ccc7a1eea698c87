// The telemetry of each part of a split conversion: the worker reports every part's sector
// range, and the part's samples are timed from its own first picture by the .mp4's timing.
#include "convert/part_telemetry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "card/card_file_system.h"
#include "card/partition_file_reader.h"
#include "cardsim/card_writer.h"
#include "cardsim/image_folder_sink.h"
#include "convert/movieconvth.h"
#include "platform/notice_sink.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

struct Part {
  std::string mp4;
  int32_t first = 0, last = 0;
  records::Telemetry telemetry;
};

TEST(PartTelemetry, EverySplitPartIsTimedFromItsOwnFirstPicture) {
  TempDir dir;
  cardsim::Scenario s;
  s.seed = 9;
  s.width = 352, s.height = 288;
  s.partition_file_bytes = {2u << 20, 2u << 20};  // 32 blocks
  s.ring_start_block = 20;                        // the recording wraps
  cardsim::RecordingSpec r;
  r.duration_s = 12;
  s.recordings.push_back(r);
  const cardsim::CardResult card = cardsim::WriteCardToFolder(s, dir / "card");
  ASSERT_TRUE(card.ok) << card.error;
  const cardsim::RecordingResult& rec = card.recordings[0];

  auto fs = std::make_shared<card::FolderFileSystem>(dir / "card");
  std::vector<std::string> names;
  for (uint32_t k = 0; k < card.geometry.N_rsf; ++k) names.push_back(cardsim::PartitionFileName(int(k)));
  card::PartitionFileReader region(fs, names, card.geometry);
  const records::TRecord record{int32_t(rec.first_block), rec.bss, int32_t(rec.last_block), rec.ess};
  convert::ConversionRequest q;
  q.convStart = int32_t(rec.first_block * 256);
  q.convBaseName = rec.stamp;
  q.outputDir = dir.path().string() + "/";
  platform::NullNoticeSink notices;
  std::vector<Part> parts;
  {
    convert::TMovieConvTh worker(region, record, q, notices, 200 << 10);  // about 4 s a part
    worker.set_part_range_sink([&](const std::string& mp4, int32_t first, int32_t last) {
      parts.push_back({mp4, first, last, convert::PartTelemetry(region, record, first, last)});
      std::string error;
      EXPECT_TRUE(convert::WritePartTelemetry(region, record, first, last, mp4, error)) << error;
    });
    worker.start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!worker.done && !worker.failed && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(worker.done) << worker.errorCode;
  }
  ASSERT_GE(parts.size(), 2u);
  EXPECT_EQ(parts[0].first, q.convStart);
  uint32_t blocks = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    SCOPED_TRACE("part " + std::to_string(i));
    const Part& p = parts[i];
    if (i > 0) {
      EXPECT_EQ(p.first, parts[i - 1].last) << "parts meet where the split was";
    }
    ASSERT_FALSE(p.telemetry.samples.empty());
    EXPECT_EQ(convert::TelemetryBasePath(p.mp4) + ".mp4", p.mp4);
    EXPECT_TRUE(std::filesystem::exists(convert::TelemetryBasePath(p.mp4) + ".srt"));
    // The part's video starts with its first key frame, at time 0.
    std::optional<double> firstTime;
    for (const records::TelemetrySample& sample : p.telemetry.samples)
      if (!firstTime && sample.streamSeconds) firstTime = sample.streamSeconds;
    ASSERT_TRUE(firstTime);
    EXPECT_LT(*firstTime, 1.0 / s.fps + 1e-9);
    blocks += uint32_t(p.telemetry.samples.size());
    if (!testsupport::HaveProgram("ffprobe")) continue;
    const auto probe = testsupport::RunCommand(
        "ffprobe -v error -select_streams v -show_entries stream=duration -of csv=p=0 '" + p.mp4 + "'");
    ASSERT_EQ(probe.status, 0) << probe.output;
    EXPECT_NEAR(p.telemetry.videoSeconds, std::stod(probe.output), 1e-3);
  }
  // Neighbouring parts share the block where one ends and the next begins.
  EXPECT_GE(blocks, rec.blocks);
  EXPECT_LE(blocks, rec.blocks + uint32_t(parts.size()) - 1);
}

}  // namespace
