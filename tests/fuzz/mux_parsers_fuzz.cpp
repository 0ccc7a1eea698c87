// Fuzz target: the muxer's parsers. The input is cut in two at a position its first three
// bytes give (little-endian): an H.264 Annex B stream and an ADTS stream. Each unit goes through the SPS,
// parameter-set and ADTS header parsers directly; then both streams go through the muxer's
// file scans and the whole muxer. A file the muxer reports as written must walk cleanly.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

#include "convert/adts_parser.h"
#include "convert/h264_access_units.h"
#include "convert/h264_parameter_sets.h"
#include "convert/h264_sps.h"
#include "convert/mp4_box_walk.h"
#include "convert/mp4_file.h"
#include "convert/mp4_muxer.h"
#include "fuzz_support.h"

namespace {

// Splits an Annex B stream at its start codes and hands every unit to the parsers.
void ParseUnits(std::span<const uint8_t> s) {
  convert::ParameterSetStore store;
  convert::AccessUnitSplitter splitter;
  size_t i = 0, unitStart = std::string::npos;
  const auto unit = [&](size_t end) {
    if (unitStart == std::string::npos || end <= unitStart) return;
    const auto nal = s.subspan(unitStart, end - unitStart);
    if (const auto sps = convert::ParseSps(nal)) (void)convert::TimingFromSps(*sps);
    (void)convert::ParameterSetId(nal);
    store.Offer(nal);
    (void)store.IsStored(nal);
    splitter.Feed(nal);
  };
  for (; i + 3 <= s.size(); ++i) {
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
      unit(i);
      unitStart = i + 3;
      i += 2;
    }
  }
  unit(s.size());
}

void ParseAdts(std::span<const uint8_t> s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const auto h = convert::ParseAdtsHeader(s.subspan(i));
    if (!h) continue;
    (void)convert::AdtsSampleRate(h->sampling_index);
    (void)convert::AudioSpecificConfig(*h);
    (void)convert::SameAudioFormat(*h, *h);
    if (h->header_length < s.size() - i) (void)convert::ChannelsFromRawBlock(s.subspan(i + h->header_length));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t given = size_t(data[0]) | size_t(data[1]) << 8 | size_t(data[2]) << 16;
  const size_t cut = std::min<size_t>(size - 3, given);
  const std::span<const uint8_t> video(data + 3, cut), audio(data + 3 + cut, size - 3 - cut);
  ParseUnits(video);
  ParseAdts(audio);

  const std::string dir = fuzzsupport::ScratchDir();
  const std::string h264 = dir + "in.264", aac = dir + "in.aac", mp4 = dir + "out.mp4";
  fuzzsupport::WriteWhole(h264, video);
  fuzzsupport::WriteWhole(aac, audio);
  if (::process(h264.c_str(), aac.c_str(), mp4.c_str()) == 0) {
    convert::Mp4File file;
    KORVAN_FUZZ_CHECK(file.open(mp4, false), "the written file cannot be opened");
    const convert::Mp4Walk walk = convert::WalkMp4(file, false);
    KORVAN_FUZZ_CHECK(!walk.malformed, walk.problem.c_str());
  }
  fuzzsupport::ClearDir(dir);
  return 0;
}

// Seeds: the two elementary streams of each recording of a small simulated card.
bool KorvanFuzzWriteSeeds(const std::string& dir) {
  const std::string es = fuzzsupport::ScratchDir() + "es/";
  fuzzsupport::SimulatedCard(3, false, es);
  for (int i = 0; i < 2; ++i) {
    const std::string name = es + "rec0" + std::to_string(i);
    const std::vector<uint8_t> video = fuzzsupport::ReadWhole(name + ".264");
    const std::vector<uint8_t> audio = fuzzsupport::ReadWhole(name + ".aac");
    std::vector<uint8_t> seed = {uint8_t(video.size()), uint8_t(video.size() >> 8),
                                 uint8_t(video.size() >> 16)};
    seed.insert(seed.end(), video.begin(), video.end());
    seed.insert(seed.end(), audio.begin(), audio.end());
    if (video.empty() || !fuzzsupport::WriteWhole(dir + "/mux-" + std::to_string(i), seed)) return false;
  }
  fuzzsupport::ClearDir(es);
  return true;
}
