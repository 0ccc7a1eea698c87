#include "records/conversion_worker.h"

namespace records {

ConversionRequest WholeRecordRequest(int line, const TRecord& record, const std::string& dir) {
  ConversionRequest r;
  r.convRecord = line;
  r.convStart = int32_t(uint32_t(record.bss_index) * 256u);
  r.convEnd = 0;
  r.convBaseName = card::FormatStamp(record.bss);
  r.outputDir = dir;
  r.splitAlways = true;
  return r;
}

}  // namespace records
