#include "convert/mp4_postprocess.h"

#include <cerrno>
#include <mutex>
#include <span>
#include <vector>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/etenc.h"
#include "convert/integrity_constants.h"
#include "convert/local_seconds.h"
#include "convert/mp4_box_walk.h"
#include "convert/mp4_file.h"
#include "convert/mp4_time_fix.h"
#include "convert/sample_crc.h"

namespace convert {
namespace {

constexpr size_t kChunkBytes = 24;            // record bytes encoded per piece of text
constexpr size_t kTextFlushBytes = 256 << 10;  // text gathered before one write

// The field-coding flag byte inside the block, or false when the block is too short to hold it.
bool FieldCoded(const uint8_t* block, size_t length) {
  if (length < integrity::kBlockPathOffset) return false;
  const size_t at = base::load_le16(block + 16) + integrity::kAfterPathEss0 +
                    integrity::kFieldCodingByte;
  return at < length && block[at] == 1;
}

uint64_t RecordBytes(const Mp4Walk& walk, size_t blockLength) {
  return 8 + uint64_t(blockLength) + 4 + 4 * uint64_t(walk.videoTable.count()) + 4 +
         4 * uint64_t(walk.audioTable.count()) + 8;
}

// Builds header + record: "skip" header (size 0 for now), block, sample CRCs, T and the CRC.
// Sample bytes are read only below `dataEnd`, the end of the file before the record.
bool BuildRecord(const Mp4File& file, uint64_t dataEnd, const Mp4Walk& walk,
                 const uint8_t* block, size_t blockLength, const SampleCrcs* known,
                 std::vector<uint8_t>& record) {
  const uint64_t video = walk.videoTable.count(), audio = walk.audioTable.count();
  record.assign(size_t(RecordBytes(walk, blockLength)), 0);
  uint8_t* p = record.data();
  std::copy_n("\0\0\0\0skip", 8, p);
  std::copy_n(block, blockLength, p + 8);
  uint8_t* counted = p + 8 + blockLength;  // items 2 to 6 start here
  uint8_t* videoCrcs = counted + 4;
  uint8_t* audioCount = videoCrcs + 4 * video;
  uint8_t* audioCrcs = audioCount + 4;
  uint8_t* tail = audioCrcs + 4 * audio;
  base::store_le32(counted, uint32_t(video));
  base::store_le32(audioCount, uint32_t(audio));
  if (known && known->video.size() == video && known->audio.size() == audio) {
    for (uint64_t i = 0; i < video; ++i) base::store_le32(videoCrcs + 4 * i, known->video[i]);
    for (uint64_t i = 0; i < audio; ++i) base::store_le32(audioCrcs + 4 * i, known->audio[i]);
  } else if (!ComputeSampleCrcs(file, dataEnd, walk.videoTable, walk.audioTable,
                                std::span<uint8_t>(videoCrcs, 4 * video),
                                std::span<uint8_t>(audioCrcs, 4 * audio))) {
    return false;
  }
  const uint32_t now = CurrentLocalSecondsSince2000();
  base::store_le32(tail, now);
  base::store_le32(tail + 4, base::crc32_seeded(counted, size_t(tail + 4 - counted),
                                                now ^ integrity::kSampleSeed));
  return true;
}

// Appends the box at `end`: header, then the text of the record in 24-byte pieces, then the
// real size into the header. Returns false on a failed write.
bool AppendSkipBox(Mp4File& file, uint64_t end, const std::vector<uint8_t>& record) {
  static std::mutex encoderInUse;
  std::lock_guard lock(encoderInUse);
  ResetEncoder();
  if (!file.writeAt(end, record.data(), 8)) return false;
  uint64_t written = 0;
  std::string text;
  text.reserve(kTextFlushBytes + kChunkBytes * 12);
  for (size_t at = 8; at < record.size(); at += kChunkBytes) {
    EncodeBytes(record.data() + at, std::min(kChunkBytes, record.size() - at), text);
    if (text.size() >= kTextFlushBytes || at + kChunkBytes >= record.size()) {
      if (!file.writeAt(end + 8 + written, reinterpret_cast<const uint8_t*>(text.data()),
                        text.size()))
        return false;
      written += text.size();
      text.clear();
    }
  }
  if (8 + written > 0xFFFFFFFFu) return false;
  uint8_t size[4];
  base::store_be32(size, uint32_t(8 + written));
  return file.writeAt(end, size, 4);
}

// Writes the patches, collecting the bytes they replace into `undo`. False on a failure.
bool ApplyPatches(Mp4File& file, const std::vector<BytePatch>& patches,
                  std::vector<BytePatch>& undo) {
  for (const BytePatch& p : patches) {
    BytePatch old{p.pos, std::vector<uint8_t>(p.bytes.size())};
    if (!file.readExact(p.pos, old.bytes.data(), old.bytes.size())) return false;
    undo.push_back(std::move(old));
    if (!file.writeAt(p.pos, p.bytes.data(), p.bytes.size())) return false;
  }
  return true;
}

// Puts back what the patches replaced and cuts off anything appended after `end`.
void Restore(Mp4File& file, const std::vector<BytePatch>& undo, uint64_t end) {
  for (auto it = undo.rbegin(); it != undo.rend(); ++it)
    file.writeAt(it->pos, it->bytes.data(), it->bytes.size());
  if (file.size() != end) file.truncate(end);
}

}  // namespace

PostProcessOutcome PostProcessMp4Outcome(const std::string& mp4Path, const uint8_t* block,
                                         size_t blockLength, std::atomic<int>& errorCode,
                                         platform::NoticeSink& notices, const SampleCrcs* known) {
  using platform::NoticeKind;
  Mp4File file;
  if (!file.open(mp4Path, true)) {
    notices.notice(NoticeKind::error, "!!! error: cannot open " + mp4Path,
                   platform::SystemReason(mp4Path, errno));
    return PostProcessOutcome::cannotOpen;
  }
  const Mp4Walk walk = WalkMp4(file, FieldCoded(block, blockLength));
  for (const std::string& text : walk.notices) notices.notice(NoticeKind::error, text);
  if (walk.malformed) {
    notices.notice(NoticeKind::error,
                   "!!! error: damaged mp4, no integrity record added: " + walk.problem);
    return PostProcessOutcome::malformed;
  }
  if (walk.skipSeen) {
    errorCode = kAlreadySealed;
    return PostProcessOutcome::alreadySealed;
  }
  if (!walk.appendable) {
    // A last box without a stated size, or stray bytes after it, would swallow the record:
    // neither the verifier nor the next run could find it.
    notices.notice(NoticeKind::error,
                   "!!! error: the file does not end with a complete box, no integrity record added");
    return PostProcessOutcome::malformed;
  }
  if (RecordBytes(walk, blockLength) > integrity::kRecordBufferBytes) {
    notices.notice(NoticeKind::error,
                   "!!! error: too many samples for the integrity record, none added");
    return PostProcessOutcome::tooManySamples;
  }
  // Time corrections first, then the record, whose sample CRCs see the corrected file.
  const uint64_t end = file.size();
  std::vector<BytePatch> undo;
  std::vector<uint8_t> record;
  if (!ApplyPatches(file, PlanTimeCorrections(walk), undo) ||
      !BuildRecord(file, end, walk, block, blockLength, known, record) ||
      !AppendSkipBox(file, end, record)) {
    Restore(file, undo, end);
    notices.notice(NoticeKind::error, "!!! error: cannot read the samples or write the integrity record");
    return PostProcessOutcome::writeFailed;
  }
  return PostProcessOutcome::sealed;
}

int PostProcessMp4(const std::string& mp4Path, const uint8_t* block, size_t blockLength,
                   std::atomic<int>& errorCode, platform::NoticeSink& notices) {
  return PostProcessMp4Outcome(mp4Path, block, blockLength, errorCode, notices) ==
                 PostProcessOutcome::sealed
             ? 1
             : 0;
}

}  // namespace convert
