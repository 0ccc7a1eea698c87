// korvan-cli telemetry MEDIUM RECORD OUTDIR [--range FIRST_SECTOR LAST_SECTOR]: writes the GPS
// track, subtitles and samples of recording RECORD (its index in the record list), or of a
// sector range of it, without converting: OUTDIR/<stamp>.gpx/.srt/.csv for the whole
// recording (the names its single .mp4 gets), OUTDIR/<stamp>_s<FIRST>-<LAST>.* for a range.
// Stream times are those a conversion of the same sectors gives. Prints the three paths.
#include <cstdio>
#include <filesystem>
#include <vector>

#include "card/card_medium.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/decimal_arg.h"
#include "cli/open_medium.h"
#include "convert/part_telemetry.h"
#include "records/output_folder.h"
#include "records/scan_whole_ring.h"
#include "records/telemetry_files.h"

namespace cli {

namespace {

constexpr const char* kUsage =
    "usage: korvan-cli telemetry MEDIUM RECORD OUTDIR [--range FIRST_SECTOR LAST_SECTOR]";

bool ParseNumber(const std::string& text, int64_t& out) { return ParseDecimal(text, 10, out); }

}  // namespace

int RunTelemetry(const Args& args) {
  std::vector<std::string> positional;
  bool range = false;
  int64_t first = 0, last = 0, index = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--range") {
      if (i + 2 >= args.size() || !ParseNumber(args[i + 1], first) ||
          !ParseNumber(args[i + 2], last))
        return Fail(2, kUsage);
      range = true;
      i += 2;
    } else if (!args[i].empty() && args[i][0] == '-') {
      return Fail(2, kUsage);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 3 || !ParseNumber(positional[1], index)) return Fail(2, kUsage);
  std::error_code ec;
  if (!std::filesystem::is_directory(positional[2], ec))
    return Fail(1, "output folder '" + positional[2] + "' does not exist");

  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (const int status = OpenMediumForCommand(medium, positional[0])) return status;
  if (!medium.marked || !medium.regionReader())
    return Fail(1, "the card is not marked: it holds no recordings");
  const std::vector<records::TRecord> found = records::ListCardRecords(medium);
  if (size_t(index) >= found.size())
    return Fail(1, "no recording " + positional[1] + " (the card lists " +
                       std::to_string(found.size()) + ")");
  const records::TRecord& record = found[size_t(index)];
  const uint32_t regionSectors = medium.region.N_sectors_in_rsr;
  if (range && (first >= regionSectors || last >= regionSectors))
    return Fail(1, "range sectors must lie below " + std::to_string(regionSectors));

  std::string base = records::WithTrailingSeparator(positional[2]) + card::FormatStamp(record.bss);
  if (range) base += "_s" + std::to_string(first) + "-" + std::to_string(last);
  else first = int64_t(record.bss_index) * 256, last = int64_t(record.ess_index) * 256 + 255;

  const records::Telemetry t =
      convert::PartTelemetry(*medium.regionReader(), record, int32_t(first), int32_t(last));
  std::string error;
  if (!records::WriteTelemetryFiles(t, base, error)) return Fail(1, error);
  for (const char* ext : {".gpx", ".srt", ".csv"}) std::printf("%s%s\n", base.c_str(), ext);
  return 0;
}

}  // namespace cli
