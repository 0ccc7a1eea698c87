#include "records/erase_last_record.h"

#include "records/block_ring.h"

namespace records {

std::optional<uint32_t> EraseLastRecordEnd(const card::ServiceSector& service,
                                           const TRecord& last) {
  const int64_t rsr = service.rsr_sectnum();
  const int64_t region = service.N_sectors_in_rsr();
  const int64_t end = service.rec_end_sectnum();
  const records::BlockRing ring{uint32_t(region >> 8)};
  const uint32_t blocks = ring.n;
  if (blocks == 0 || end < rsr || end >= rsr + region) return std::nullopt;
  const uint32_t end_block = uint32_t((end - rsr) >> 8);
  const uint32_t begin_block = uint32_t((int64_t(service.rec_bgn_sectnum()) - rsr) >> 8);
  if (last.bss_index < 0 || uint32_t(last.bss_index) >= blocks) return std::nullopt;

  // The recording must lie inside the recorded part of the ring, which runs from the block
  // after the ring start up to and including the ring end block.
  const uint32_t first = uint32_t(last.bss_index);
  const uint32_t to_first = ring.distance(begin_block, first);
  if (to_first == 0 || to_first > ring.distance(begin_block, end_block))
    return std::nullopt;

  // Everything from the recording's first block to the ring end goes: the recording itself
  // and any unused blocks the recorder left after it. When the recording ends at the ring
  // end block this is exactly its block count.
  const int64_t n = int64_t(ring.distance(first, end_block)) + 1;
  int64_t new_end = end - n * 256;
  if (new_end < rsr) new_end += region;
  if ((new_end - rsr) % 256 != 0 || new_end < rsr || new_end >= rsr + region) return std::nullopt;
  return uint32_t(new_end);
}

EraseOutcome EraseLastRecord(card::ServiceSector& service, const TRecord& last,
                             const std::function<bool()>& write_back) {
  const std::optional<uint32_t> new_end = EraseLastRecordEnd(service, last);
  if (!new_end) return EraseOutcome::refused;
  const uint32_t old_end = service.rec_end_sectnum();
  service.set_rec_end_sectnum(*new_end);
  if (write_back()) return EraseOutcome::erased;
  // Keep showing what the card held before; a partial write is read back at the next open.
  service.set_rec_end_sectnum(old_end);
  return EraseOutcome::write_failed;
}

}  // namespace records
