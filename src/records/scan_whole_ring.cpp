#include "records/scan_whole_ring.h"

#include <algorithm>

#include "records/record_list.h"
#include "records/scan_ring.h"

namespace records {

WholeRingScan ScanWholeRing(card::RegionReader& reader, ScanRing ring, ScanMode mode) {
  RecordList list;
  WholeRingScan out;
  {
    RecListLoadTh worker(
        reader, ring, [&list](const TRecord& r) { list.append(r); }, mode);
    worker.start();
    worker.wait_over();
    out.failed = worker.scanFailed;
    out.ringInvalid = ring.N_s_s == 0 || ring.s_s_bgn >= ring.N_s_s || ring.s_s_end >= ring.N_s_s;
    if (out.failed && !out.ringInvalid)
      out.blocksLeft = uint32_t(std::max(0, worker.scanTotal.load() - worker.scanPosition.load()));
  }  // the destructor asks the waiting worker to end and joins it
  out.records = list.snapshot();
  return out;
}

std::vector<TRecord> ListCardRecords(card::CardMedium& m) {
  const card::ServiceSector& s = m.serviceSector;
  if (!m.regionReader() || s.rec_end_sectnum() == card::kUnsetPointer ||
      s.rec_end_sectnum() == s.rec_bgn_sectnum())
    return {};
  return ScanWholeRing(*m.regionReader(), ScanRingOf(m)).records;
}

}  // namespace records
