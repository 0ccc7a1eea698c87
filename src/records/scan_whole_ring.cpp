#include "records/scan_whole_ring.h"

#include <algorithm>

#include "records/record_list.h"

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

}  // namespace records
