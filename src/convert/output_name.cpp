#include "convert/output_name.h"

#include <sys/stat.h>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/integrity_constants.h"
#include "convert/mp4_verify.h"

namespace convert {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

uint32_t SectorCrc(const card::ServiceSector& s, size_t offset, size_t length) {
  return base::crc32_seeded(s.data() + offset, length, integrity::kSectorSeed);
}

}  // namespace

OutputIdentity WholeRecordIdentity(const records::TRecord& record) {
  return {&record, int32_t(uint32_t(record.bss_index) * 256u),
          int32_t(uint32_t(record.ess_index) * 256u + 255u)};
}

// True when the file's integrity record names `id`'s recording and end; its first sector must
// also match unless `anyPart`.
static bool HoldsConversion(const std::string& mp4Path, const OutputIdentity& id, bool anyPart) {
  if (!id.record) return false;
  const VerifyResult r = ReadIntegrityRecord(mp4Path);
  if (!r.decoded || r.status == VerifyStatus::unreadable) return false;
  const IntegrityRecordFields& f = r.record;
  const records::TRecord& rec = *id.record;
  // The same fields the conversion stores, and the copied bytes of both information sectors.
  return f.poweronUid0 == rec.bss.poweron_uid0() &&
         (anyPart || f.partStart == uint32_t(id.partStart)) &&
         f.endSector == uint32_t(id.endSector) && f.firstBlock == uint16_t(rec.bss_index) &&
         f.lastBlock == uint16_t(rec.ess_index) && f.sectorCrcs[0] == SectorCrc(rec.ess, 0, 128) &&
         f.sectorCrcs[1] == SectorCrc(rec.ess, 256, 256) &&
         f.sectorCrcs[2] == SectorCrc(rec.bss, 12, 36) &&
         f.sectorCrcs[3] == SectorCrc(rec.bss, 272, 64);
}

bool HoldsSameRecording(const std::string& mp4Path, const OutputIdentity& id) {
  return HoldsConversion(mp4Path, id, false);
}

bool HoldsPartOf(const std::string& mp4Path, const OutputIdentity& id) {
  return HoldsConversion(mp4Path, id, true);
}

OutputName ChooseOutputName(const std::string& dir, const std::string& stamp,
                            const OutputIdentity& id) {
  for (int n = 1;; ++n) {
    const std::string base = n == 1 ? stamp : stamp + "-" + std::to_string(n);
    const std::string single = dir + base + ".mp4", firstPart = dir + base + "_part01.mp4";
    const bool singleExists = Exists(single), partExists = Exists(firstPart);
    if (!singleExists && !partExists) return {base, false};
    // Every existing file of the name must hold this conversion for the name to be reused.
    if ((!singleExists || HoldsSameRecording(single, id)) &&
        (!partExists || HoldsSameRecording(firstPart, id)))
      return {base, true};
  }
}

}  // namespace convert
