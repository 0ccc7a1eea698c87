#include "prepare/ring_pointers.h"

namespace prepare {

namespace {

constexpr uint32_t kBlockSectors = 256;

}  // namespace

void ClearCard(card::ServiceSector& s) { s.set_rec_bgn_sectnum(s.rec_end_sectnum()); }

void EraseCard(card::ServiceSector& s) {
  s.set_rec_end_sectnum(card::kUnsetPointer);
  s.set_rec_bgn_sectnum(card::kUnsetPointer);
}

RecoverOutcome RecoverRecords(card::ServiceSector& s, const RegionPlace& place) {
  if (s.rec_bgn_sectnum() != s.rec_end_sectnum()) return RecoverOutcome::ringNotEmpty;
  card::ServiceSector out = s;
  const uint32_t unset = card::kUnsetPointer;
  if (s.rec_end_sectnum() == unset || s.rec_bgn_sectnum() == unset || s.rsr_sectnum() == unset ||
      s.N_sectors_in_rsr() == unset) {
    // An empty region would leave the recorder nothing to record into: refuse rather than
    // write a size the walk never found.
    if (place.dirRegionSectors < kBlockSectors) return RecoverOutcome::regionUnknown;
    const uint64_t rsr = uint64_t(place.partitionStart) + place.hcpt0000Sector;
    if (rsr + place.dirRegionSectors > unset) return RecoverOutcome::notOnBlock;
    out.set_rsr_sectnum(uint32_t(rsr));
    out.set_N_sectors_in_rsr(place.dirRegionSectors);
    out.set_rec_bgn_sectnum(uint32_t(rsr));
    out.set_rec_end_sectnum(uint32_t(rsr + place.dirRegionSectors - kBlockSectors));
  } else {
    uint32_t end = s.rec_end_sectnum() - kBlockSectors;
    if (end < s.rsr_sectnum()) end += s.N_sectors_in_rsr();
    out.set_rec_end_sectnum(end);
  }
  // The end must be a block start inside the region, or the recorder and the scan would work
  // on sectors outside it.
  const uint32_t offset = out.rec_end_sectnum() - out.rsr_sectnum();
  if (offset % kBlockSectors != 0 || out.rec_end_sectnum() < out.rsr_sectnum() ||
      offset >= out.N_sectors_in_rsr())
    return RecoverOutcome::notOnBlock;
  s = out;
  return RecoverOutcome::ready;
}

}  // namespace prepare
