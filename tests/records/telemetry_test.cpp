#include "records/telemetry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "records/battery_charge.h"
#include "records/ring_builder.h"
#include "records/telemetry_files.h"

namespace {

using records::Telemetry;
using records::TelemetrySample;

TelemetrySample At(double seconds, const std::string& rmc, uint32_t adc = 3000) {
  TelemetrySample s;
  s.block = uint32_t(seconds * 10);
  s.year = 2014, s.month = 3, s.day = 5, s.hour = 23, s.minute = 59, s.second = int(seconds);
  s.streamSeconds = seconds;
  std::vector<uint8_t> field(64, 0);
  std::copy(rmc.begin(), rmc.end(), field.begin());
  s.gps = records::ParseRmc(field);
  s.batteryAdc = adc;
  s.volts = records::BatteryVolts(adc);
  s.percent = records::BatteryPercent(adc);
  return s;
}

const char* kFixA = ",235959,A,5545.0000,N,03737.0000,E,10.0,90.0,050314,,";
const char* kFixB = ",000000,A,5545.0000,N,03737.1000,E,10.0,90.0,060314,,";
const char* kFixC = ",000002,A,3351.0000,S,15112.0000,W,,,060314,,";
const char* kLost = ",000001,V,,,,,,,060314,,";

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(TelemetryFiles, GpxHasOneSegmentPerRunOfFixesAndRepeatsOnce) {
  Telemetry t;
  t.samples = {At(0.0, kFixA), At(0.4, kFixA), At(0.8, kFixB), At(1.2, kLost), At(1.6, kFixC)};
  const std::string gpx = records::GpxText(t, "2014-03-05_23-59-59");
  EXPECT_EQ(Count(gpx, "<trk>"), 1u);
  EXPECT_EQ(Count(gpx, "<trkseg>"), 2u);
  EXPECT_EQ(Count(gpx, "<trkpt "), 3u);
  // The fix's own UTC date and time: the day changed at midnight.
  EXPECT_NE(gpx.find("<time>2014-03-05T23:59:59Z</time>"), std::string::npos);
  EXPECT_NE(gpx.find("<time>2014-03-06T00:00:00Z</time>"), std::string::npos);
  EXPECT_NE(gpx.find("lat=\"-33.8500000\" lon=\"-151.2000000\""), std::string::npos);
  EXPECT_NE(gpx.find("version=\"1.1\""), std::string::npos);

  const auto summary = records::SummarizeTrack(t);
  ASSERT_TRUE(summary.firstFix);
  EXPECT_NEAR(summary.firstFix->longitude, 37 + 37.0 / 60, 1e-9);
  EXPECT_EQ(records::UniqueFixes(t).size(), 3u);
  EXPECT_GT(summary.distanceMeters, 1.0e7);  // Moscow to Sydney and then some
}

TEST(TelemetryFiles, SrtHasOneCuePerSecondAtItsFirstBlockOrTheWholeSecond) {
  Telemetry t;
  t.videoSeconds = 3.5;
  t.samples = {At(0.0, kFixA), At(0.4, kFixA), At(2.2, kLost), At(2.6, kFixC), At(3.6, kFixC)};
  TelemetrySample untimed = At(0.2, kFixA);
  untimed.streamSeconds.reset();  // before the first key frame: no cue
  t.samples.insert(t.samples.begin(), untimed);
  const std::string srt = records::SrtText(t);
  const std::string battery = records::BatteryLineText(3000) + "\n\n";
  EXPECT_EQ(srt,
            // A block at 0 s; none in the next second: the block of 0.4 s, its clock 1 s on.
            "1\n00:00:00,000 --> 00:00:01,000\n2014-03-05 23:59:00\n18.5 км/ч\n" + battery +
            "2\n00:00:01,000 --> 00:00:02,200\n2014-03-05 23:59:01\n18.5 км/ч\n" + battery +
            // No fix, or a fix without speed: no speed line. 3.6 s lies past the video.
            "3\n00:00:02,200 --> 00:00:03,000\n2014-03-05 23:59:02\n" + battery +
            "4\n00:00:03,000 --> 00:00:03,500\n2014-03-05 23:59:02\n" + battery);
  // The clock moves on across midnight and the month's end.
  Telemetry late;
  late.videoSeconds = 2;
  late.samples = {At(0.0, kFixA)};
  late.samples[0].day = 31, late.samples[0].month = 12, late.samples[0].second = 59;
  EXPECT_NE(records::SrtText(late).find("2015-01-01 00:00:00"), std::string::npos);
}

TEST(TelemetryFiles, CsvHasAHeaderAndOneLinePerSample) {
  Telemetry t;
  t.samples = {At(0.0, kFixA), At(0.5, kLost), At(1.0, "garbage")};
  t.samples[2].streamSeconds.reset();
  std::istringstream csv(records::CsvText(t));
  std::string line;
  std::vector<std::vector<std::string>> rows;
  while (std::getline(csv, line)) {
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.push_back("");
    rows.push_back(cells);
  }
  ASSERT_EQ(rows.size(), 4u);
  for (const auto& r : rows) EXPECT_EQ(r.size(), rows[0].size());
  EXPECT_EQ(rows[0][0], "block");
  EXPECT_EQ(rows[1][3], "A");
  EXPECT_EQ(rows[1][4], "2014-03-05T23:59:59Z");
  EXPECT_EQ(rows[1][7], "10.00");
  EXPECT_EQ(rows[2][3], "V");
  EXPECT_EQ(rows[2][5], "");
  EXPECT_EQ(rows[3][1], "");  // no stream time
  EXPECT_EQ(rows[3][3], "");  // unreadable body
  EXPECT_EQ(rows[3][10], std::to_string(records::BatteryPercent(3000)));
}

// A recording of 5 blocks wrapping past the end of an 8-block ring, a block of another
// recording inside it and one unreadable block.
TEST(TelemetryReader, SamplesOnlyTheRecordingsReadableBlocksInRingOrder) {
  testsupport::InfoRegion region(8);
  testsupport::RecordingSpec desc;
  desc.first = 6;
  desc.blocks = 5;
  testsupport::WriteRecording(region, desc);
  records::TRecord record;
  record.bss_index = 6;
  record.bss = card::ServiceSector(region.info(6));
  record.ess_index = 2;
  record.ess = card::ServiceSector(region.info(2));
  for (uint32_t i = 0; i < 5; ++i) {
    card::ServiceSector s(region.info((6 + i) % 8));
    s.set_battery_adc(2800 + i);
    s.set_gps_rmc(i == 3 ? std::string(kLost) : std::string(kFixA));
    region.info((6 + i) % 8) = s.bytes();
  }
  card::ServiceSector other(region.info(0));
  other.set_imei_sn(999);
  region.info(0) = other.bytes();
  region.fail_block(1);

  const Telemetry t = records::ReadTelemetry(region, 8, record, 6, 2);
  ASSERT_EQ(t.samples.size(), 3u);
  EXPECT_EQ(t.skipped, 2u);
  EXPECT_EQ(t.samples[0].block, 6u);
  EXPECT_EQ(t.samples[1].block, 7u);
  EXPECT_EQ(t.samples[2].block, 2u);
  EXPECT_EQ(t.samples[2].batteryAdc, 2804u);
  EXPECT_DOUBLE_EQ(*t.samples[0].streamSeconds, 0.0);  // recorder clock, from the first block
  EXPECT_GT(*t.samples[2].streamSeconds, *t.samples[1].streamSeconds);
  EXPECT_EQ(records::SectorFixText(card::ServiceSector(region.info(6))), "55.75000 N, 37.61667 E");

  // A range past the recording's end (a conversion part ends in the next block) reads one
  // more block and leaves it out; a range from the ring's start covers the wrapped part.
  EXPECT_EQ(records::ReadTelemetry(region, 8, record, 7, 3).samples.size(), 2u);
  EXPECT_EQ(records::RangeBlocks(8, 7 * 256 + 3, 1 * 256), std::make_pair(7u, 1u));
  EXPECT_EQ(records::RangeBlocks(8, 0, 8 * 256 - 1), std::make_pair(0u, 7u));
  EXPECT_EQ(records::ReadTelemetry(region, 8, record, 0, 7).samples.size(), 3u);
}

}  // namespace
