#include "records/scan_whole_ring.h"

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
  }  // the destructor asks the waiting worker to end and joins it
  out.records = list.snapshot();
  return out;
}

}  // namespace records
