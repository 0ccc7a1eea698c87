// Arguments of `korvan-cli convert MEDIUM OUTDIR [--records 0,2,5 | --all]
// [--range FIRST_SECTOR LAST_SECTOR --record N] [--thorough] [--telemetry] [--skip-existing]
// [--range-blocks FROM TILL --record N]` (a range as slider positions, turned into sectors as
// the preview's buttons do), parsed without touching the
// medium. Without a selection every recording is converted; --thorough lists the recordings
// with the thorough scan (every block read) before choosing. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace cli {

struct ConvertOptions {
  std::string medium;
  std::string outputDir;          // always ends with '/'
  std::vector<size_t> records;    // list indices in the order given; empty with `all`
  bool all = false;
  bool range = false;             // --range: one range of one recording
  int64_t rangeFirst = 0, rangeLast = 0;
  size_t rangeRecord = 0;
  bool thorough = false;  // --thorough: the recordings come from the thorough scan
  bool telemetry = false;         // --telemetry: .gpx/.srt/.csv beside each .mp4
  bool rangeInBlocks = false;     // --range-blocks: the two values are slider positions
  bool skipExisting = false;      // --skip-existing: a recording already converted is skipped
};

// The options, or nothing after printing the usage error (exit status 2).
std::optional<ConvertOptions> ParseConvertOptions(const Args& args, std::string& error);

}  // namespace cli
