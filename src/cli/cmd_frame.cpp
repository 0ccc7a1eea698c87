// korvan-cli frame MEDIUM RECORD POSITION OUT.png [--map]: the preview's picture for slider
// POSITION (a 0-based block of recording RECORD) as an RGB PNG, or with --map the dark-region
// map of it; prints the preview's battery line. Exit 1 when no key frame is found.
#include <cstdio>
#include <string>
#include <vector>

#include "card/card_medium.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/decimal_arg.h"
#include "cli/open_medium.h"
#include "preview/dark_region_map.h"
#include "preview/png_writer.h"
#include "preview/preview_range.h"
#include "preview/preview_session.h"
#include "records/record_line.h"
#include "records/scan_whole_ring.h"

namespace cli {

namespace {

bool ParseCount(const std::string& text, int& out) {
  int64_t n = 0;
  if (!ParseDecimal(text, 9, n)) return false;
  out = int(n);
  return true;
}

constexpr const char* kUsage = "usage: korvan-cli frame MEDIUM RECORD POSITION OUT.png [--map]";

}  // namespace

int RunFrame(const Args& args) {
  std::vector<std::string> positional;
  bool map = false;
  for (const std::string& a : args) {
    if (a == "--map")
      map = true;
    else if (a.size() > 1 && a[0] == '-')
      return Fail(2, "unknown option '" + a + "'");
    else
      positional.push_back(a);
  }
  int index = 0, position = 0;
  if (positional.size() != 4 || !ParseCount(positional[1], index) ||
      !ParseCount(positional[2], position))
    return Fail(2, kUsage);

  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (const int status = OpenMediumForCommand(medium, positional[0])) return status;
  if (!medium.marked || !medium.regionReader())
    return Fail(1, "the card is not marked: it holds no recordings");
  const std::vector<records::TRecord> found =
      records::ScanWholeRing(*medium.regionReader(), records::ScanRingOf(medium))
          .records;
  if (size_t(index) >= found.size())
    return Fail(1, "no recording " + positional[1] + " (the card lists " +
                       std::to_string(found.size()) + ")");
  const records::TRecord& record = found[size_t(index)];
  const int64_t blocks = records::RecordBlocks(record);
  const int sliderMax = preview::PreviewRange::SliderMax(blocks);
  if (position > sliderMax)
    return Fail(1, "position " + positional[2] + " lies past the slider's end " +
                       std::to_string(sliderMax));

  preview::PreviewSession session(*medium.regionReader(), medium.N_s_s);
  session.Open(record, blocks);
  if (session.Seek(position) == preview::SeekOutcome::not_found)
    return Fail(1, "no key frame found for position " + positional[2]);
  const preview::Shown shown = session.DecodeShown();
  switch (session.TakeDecoderFailure()) {
    case preview::DecoderSetup::ok:
      break;
    case preview::DecoderSetup::no_decoder:
      return Fail(1, "the H.264 decoder is not available");
    case preview::DecoderSetup::open_failed:
      return Fail(1, "the H.264 decoder cannot be opened");
  }
  if (shown == preview::Shown::hidden)
    return Fail(1, "the picture's width is not one the preview shows");
  preview::Picture picture = session.picture();
  if (map) {
    const preview::YuvView yuv = session.decoded();
    picture = preview::DarkRegionMap({yuv.plane[0], yuv.pitch[0], yuv.width, yuv.height});
  }
  std::string error;
  if (!preview::WritePng(picture, positional[3], error)) return Fail(1, error);
  std::printf("%s\n", session.battery_line().c_str());
  return 0;
}

}  // namespace cli
