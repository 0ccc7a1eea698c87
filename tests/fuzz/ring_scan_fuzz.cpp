// Fuzz target: the service sector and the record scan over a fuzzed ring. Input: the service
// sector (512 bytes), then the information sector of each block of the ring, in order; the
// blocks' data sectors read as zeros. The service sector's ring pointers choose where the
// scan runs, exactly as on an opened card; every recording found is then described as the
// record list, the diagnostics and the service windows describe it.
#include <algorithm>
#include <cstdint>
#include <string>

#include "card/card_state.h"
#include "card/service_summary.h"
#include "fuzz_support.h"
#include "records/record_diagnostics.h"
#include "records/record_line.h"
#include "records/scan_whole_ring.h"
#include "records/service_list_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < base::kSectorSize) return 0;
  fuzzsupport::Cursor in({data, size});
  const card::ServiceSector ss = in.service_sector();
  const uint32_t blocks = uint32_t(std::max<size_t>(in.left() / base::kSectorSize, 1));
  fuzzsupport::BytesRegion region(in.take(in.left()), blocks * 256, 8 * 256, true);

  (void)card::ServiceSectorSummary(ss);
  card::CardStateInput state;
  state.marked = true;
  state.N_sectors_in_rsr = region.geometry().N_sectors_in_rsr;
  state.volumeSectors = state.N_sectors_in_rsr + 1000;
  state.serviceSector = ss;
  (void)card::DescribeCardState(state);
  (void)card::DescribeUsage(state, true);

  const records::ScanRing ring = fuzzsupport::RingOf(ss);
  const records::WholeRingScan scan = records::ScanWholeRing(region, ring);
  KORVAN_FUZZ_CHECK(scan.records.size() <= std::max<uint32_t>(ring.N_s_s, 1), "more recordings than blocks");
  for (size_t i = 0; i < scan.records.size(); ++i) {
    const records::TRecord& r = scan.records[i];
    KORVAN_FUZZ_CHECK(r.bss_index >= 0 && uint32_t(r.bss_index) < ring.N_s_s, "first block outside the ring");
    KORVAN_FUZZ_CHECK(r.ess_index >= 0 && uint32_t(r.ess_index) < ring.N_s_s, "last block outside the ring");
    (void)records::RecordLine(r);
    (void)records::FullRecordDump(r, int(i), {ring.s_s_bgn, ring.s_s_end});
    if (i < 4) (void)records::ListRecordBlocks(region, ring.N_s_s, r);
  }
  if (ring.N_s_s > 0) {
    (void)records::ListRingBlocks(region, ring.N_s_s, ring.s_s_bgn % ring.N_s_s, 64);
    (void)records::RingSummary(ring.N_s_s, ring.s_s_bgn, ring.s_s_end);
  }
  return 0;
}

// Seeds: simulated cards cut down to their service sector and information sectors.
bool KorvanFuzzWriteSeeds(const std::string& dir) {
  for (const bool wrap : {false, true}) {
    const std::vector<uint8_t> card = fuzzsupport::SimulatedCard(wrap ? 7 : 3, wrap);
    std::vector<uint8_t> seed(card.begin(), card.begin() + base::kSectorSize);
    for (size_t at = base::kSectorSize + 255 * base::kSectorSize; at + base::kSectorSize <= card.size();
         at += 256 * base::kSectorSize)
      seed.insert(seed.end(), card.begin() + at, card.begin() + at + base::kSectorSize);
    if (!fuzzsupport::WriteWhole(dir + "/ring-" + std::to_string(wrap), seed)) return false;
  }
  return true;
}
