// The verifier of sealed .mp4 files: finds the "skip" box, decodes its text back into the
// integrity record, checks every CRC of the integrity block and of the record, recomputes the
// CRC of every sample from the file's own sample tables and reports the first difference.
// Read-only; never changes the file. Any thread, one call per file at a time.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace convert {

enum class VerifyStatus {
  intact,     // every CRC and every sample matches
  notIntact,  // the record is missing, damaged or does not match the file
  unreadable, // the file cannot be opened or its box tree cannot be walked
};

// The fields decoded from the integrity record (valid when `decoded`).
struct IntegrityRecordFields {
  uint32_t poweronUid0 = 0;
  uint32_t partStart = 0;
  uint32_t endSector = 0;
  uint16_t firstBlock = 0;  // low 16 bits
  uint16_t lastBlock = 0;
  std::string path;
  uint32_t mp4Time = 0;     // modification time of the .mp4 when sealed (local s since 2000)
  uint32_t blockTime = 0;   // when the block was built
  uint32_t recordTime = 0;  // T of the record
  uint32_t videoSamples = 0;
  uint32_t audioSamples = 0;
  // Stored CRCs of the information-sector bytes the block copies: last sector bytes 0-127
  // and 256-511, first sector bytes 12-47 and 272-335 (they identify the recording).
  uint32_t sectorCrcs[4] = {0, 0, 0, 0};
};

struct VerifyResult {
  VerifyStatus status = VerifyStatus::unreadable;
  std::string field;         // which field differs first ("" when intact), e.g. "videoSample"
  int64_t sampleIndex = -1;  // the sample for "videoSample"/"audioSample"
  std::string problem;       // one English line naming the difference
  bool decoded = false;      // the record text decoded and its block could be read
  IntegrityRecordFields record;
  uint64_t recordOffset = 0;  // file offset of the "skip" box
  uint64_t textLength = 0;    // characters of encoded text
  // Sectors of the recording that were skipped after damaged boxes when the file was written,
  // as (first, last) sector indices; empty for an undamaged recording.
  std::vector<std::pair<uint32_t, uint32_t>> gaps;
};

VerifyResult VerifyMp4(const std::string& path);

// Decodes and checks the integrity record and its block but not the sample data: enough to
// tell which recording a file holds without reading all of it. `intact` here means only
// that the record is whole.
VerifyResult ReadIntegrityRecord(const std::string& path);

}  // namespace convert
