// korvan-cli battery-log MEDIUM RECORD OUTDIR: writes the battery log of recording RECORD (its
// index in the record list) as OUTDIR/<start stamp>_accum.dat, the file the record list writes
// on Ctrl+B, and prints its path.
#include <cstdio>
#include <filesystem>
#include <vector>

#include "card/card_medium.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/decimal_arg.h"
#include "cli/open_medium.h"
#include "records/output_folder.h"
#include "records/scan_whole_ring.h"
#include "records/record_diagnostics.h"

namespace cli {

namespace {

bool ParseIndex(const std::string& text, size_t& out) {
  int64_t n = 0;
  if (!ParseDecimal(text, 9, n)) return false;
  out = size_t(n);
  return true;
}

}  // namespace

int RunBatteryLog(const Args& args) {
  size_t index = 0;
  if (args.size() != 3 || !ParseIndex(args[1], index))
    return Fail(2, "usage: korvan-cli battery-log MEDIUM RECORD OUTDIR");
  std::error_code ec;
  if (!std::filesystem::is_directory(args[2], ec))
    return Fail(1, "output folder '" + args[2] + "' does not exist");

  CliNoticeSink notices;
  card::CardMedium medium(notices);
  if (const int status = OpenMediumForCommand(medium, args[0])) return status;
  if (!medium.marked) return Fail(1, "the card is not marked: it holds no recordings");

  const std::vector<records::TRecord> found = records::ListCardRecords(medium);
  if (index >= found.size())
    return Fail(1, "no recording " + args[1] + " (the card lists " +
                       std::to_string(found.size()) + ")");
  const records::TRecord& record = found[index];
  const std::string path =
      records::WithTrailingSeparator(args[2]) + records::BatteryLogFileName(record);
  const records::BatteryLogResult result =
      records::WriteBatteryLog(*medium.regionReader(), record, medium.N_s_s, path);
  if (!result.opened || !result.written) return Fail(1, "cannot write '" + path + "'");
  std::printf("%s\n", path.c_str());
  return 0;
}

}  // namespace cli
