// Derived values of a listed recording and the line the record list shows for it.
//
// RecordBlocks counts its blocks (ring size taken from the last block's copy when it wraps);
// RecordDuration gives whole seconds or -1 when unknown; FormatDuration and RecordLine build
// the UTF-8 texts. Pure functions over a TRecord copy: any thread.
#pragma once

#include <cstdint>
#include <string>

#include "records/trecord.h"

namespace records {

int32_t RecordBlocks(const TRecord& r);

// Whole seconds; -1 when unknown (a one-block recording without its start bit, or a count
// that does not fit a signed 32-bit value).
int32_t RecordDuration(const TRecord& r);

// "1 ч 05 мин 09 с"; any negative value gives "-- ч -- мин -- с".
std::string FormatDuration(int32_t seconds);

// "Запись ", "[012345] " or "[00100000] " after the device serial.
std::string RecordPrefix(uint32_t imei_sn);

// Prefix + stamp of the first block + ", длит. " + duration.
std::string RecordLine(const TRecord& r);

}  // namespace records
