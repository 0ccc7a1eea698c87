// The hidden diagnostics of the record list: two text dumps of a recording's first and last
// information sectors and the ring, and the battery log of every block of a recording.
//
// Texts are built here so that the GUI (message box, log file) and the CLI print the same
// bytes. The dumps only format values; the battery log reads through the shared region reader
// and so may be called from any thread that may read the region.
#pragma once

#include <cstdint>
#include <string>

#include "card/region_reader.h"
#include "card/servsectclass.h"
#include "records/trecord.h"

namespace records {

// Ring values shown at the head of both dumps.
struct RingEnds {
  uint32_t s_s_bgn = 0;
  uint32_t s_s_end = 0;
};

// The full dump (Ctrl+I) of recording `index` of the list.
std::string FullRecordDump(const TRecord& r, int index, RingEnds ring);
// The short dump (Ctrl+Y).
std::string ShortRecordDump(const TRecord& r, int index, RingEnds ring);

// One battery log line of an information sector: "[time] > volts\n" with decimal commas.
std::string BatteryLogLine(const card::ServiceSector& info);

// The log file name of a recording: "<FormatStamp(bss)>_accum.dat".
std::string BatteryLogFileName(const TRecord& r);

struct BatteryLogResult {
  bool opened = false;  // the file could be created
  bool written = true;  // every line reached the file
  int lines = 0;
  int skipped = 0;  // blocks unreadable or without the magic
};

// Writes one line per readable block of `r` with the magic, from its first block forward with
// wrap at `ringBlocks`, into `path` (created or truncated).
BatteryLogResult WriteBatteryLog(card::RegionReader& reader, const TRecord& r,
                                 uint32_t ringBlocks, const std::string& path);

}  // namespace records
