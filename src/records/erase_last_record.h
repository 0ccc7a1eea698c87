// Erase last record: gives back the blocks of the newest listed recording by moving the
// recorder's ring end pointer (`rec_end_sectnum`) back to the block before that recording.
// No data sector is touched.
//
// The new end is computed from the card service sector copy and refused unless it is a block
// boundary inside the record region. The recording must be the newest one, so callers offer
// this only after a scan that completed. UI thread (the thread that owns the medium).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "card/servsectclass.h"
#include "records/trecord.h"

namespace records {

// The ring end after erasing `last`, or nullopt when the arithmetic gives no valid end.
// All arithmetic is 64-bit so that cards beyond 2^31 sectors come out right.
std::optional<uint32_t> EraseLastRecordEnd(const card::ServiceSector& service,
                                           const TRecord& last);

enum class EraseOutcome {
  erased,        // the pointer moved and the write succeeded
  refused,       // no valid new end; nothing written
  write_failed,  // the write failed; `service` holds its previous ring end again
};

// Sets the new end in `service` and calls `write_back` to store it on the card.
EraseOutcome EraseLastRecord(card::ServiceSector& service, const TRecord& last,
                             const std::function<bool()>& write_back);

}  // namespace records
