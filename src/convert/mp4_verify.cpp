#include "convert/mp4_verify.h"

#include <vector>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/etdec.h"
#include "convert/integrity_constants.h"
#include "convert/mp4_box_walk.h"
#include "convert/mp4_file.h"
#include "convert/sample_crc.h"

namespace convert {
namespace {

namespace ic = integrity;

// Text of a record that fills its 16 MiB buffer, at 12 symbols per byte at most.
constexpr uint64_t kMaxTextLength = uint64_t(ic::kRecordBufferBytes) * 12;

class Verifier {
 public:
  Verifier(VerifyResult& r, bool samples) : r_(r), samples_(samples) {}

  bool run(const std::string& path) {
    std::string why;
    if (!file_.open(path, false, &why)) return unreadable(why);
    walk_ = WalkMp4(file_, false);
    if (walk_.malformed) return unreadable("damaged box tree: " + walk_.problem);
    r_.gaps = walk_.gaps;
    if (!walk_.skipSeen) return differs("record", "no integrity record (no \"skip\" box)");
    if (!readRecord() || !checkBlock() || !checkCounts() || (samples_ && !checkSamples()))
      return false;
    if (walk_.skipPos + walk_.skipSize != file_.size())
      return differs("trailingData", "data follows the integrity record");
    r_.status = VerifyStatus::intact;
    return true;
  }

 private:
  bool unreadable(const std::string& why) {
    r_.status = VerifyStatus::unreadable;
    r_.problem = why;
    return false;
  }
  bool differs(const std::string& field, const std::string& why, int64_t sample = -1) {
    r_.status = VerifyStatus::notIntact;
    r_.field = field;
    r_.problem = why;
    r_.sampleIndex = sample;
    return false;
  }

  bool readRecord() {
    uint8_t h[4];
    if (!file_.readExact(walk_.skipPos, h, 4)) return unreadable("cannot read the \"skip\" box");
    const uint64_t header = base::load_be32(h) == 1 ? 16 : 8;
    const uint64_t length = walk_.skipSize - header;
    r_.recordOffset = walk_.skipPos;
    r_.textLength = length;
    if (length > kMaxTextLength) return differs("text", "integrity text longer than any record");
    std::string text(size_t(length), '\0');
    if (!file_.readExact(walk_.skipPos + header, reinterpret_cast<uint8_t*>(text.data()), text.size()))
      return unreadable("cannot read the integrity text");
    const TextDecodeResult d = DecodeText(text.data(), text.data() + text.size(), record_);
    if (!d.ok)
      return differs("text", "integrity text: " + d.error + " at character " +
                                 std::to_string(d.errorAt));
    return true;
  }

  bool crcAt(size_t fieldEnd, const uint8_t* data, size_t n, uint32_t seed, const char* field,
             const char* what) {
    if (base::load_le32(&record_[fieldEnd]) == base::crc32_seeded(data, n, seed)) return true;
    return differs(field, std::string("CRC of ") + what + " does not match");
  }

  bool checkBlock() {
    if (record_.size() < ic::kBlockPathOffset) return differs("block", "record too short");
    const uint8_t* b = record_.data();
    const size_t L = base::load_le16(b + 16);
    blockLength_ = ic::kBlockFixedBytes + L;
    if (record_.size() < blockLength_) return differs("block", "record too short for its block");
    IntegrityRecordFields& f = r_.record;
    f.poweronUid0 = base::load_le32(b);
    f.partStart = base::load_le32(b + 4);
    f.endSector = base::load_le32(b + 8);
    f.firstBlock = base::load_le16(b + 12);
    f.lastBlock = base::load_le16(b + 14);
    f.path.assign(reinterpret_cast<const char*>(b + 18), L);
    f.mp4Time = base::load_le32(b + L + ic::kAfterPathMtime);
    f.blockTime = base::load_le32(b + L + ic::kAfterPathNow);
    r_.decoded = true;

    const uint8_t* q = b + L;
    const size_t crcEnds[4] = {L + ic::kAfterPathEss256 - 4, L + ic::kAfterPathBss12 - 4,
                               L + ic::kAfterPathBss272 - 4, L + ic::kAfterPathConstants - 4};
    for (size_t i = 0; i < 4; ++i) f.sectorCrcs[i] = base::load_le32(&record_[crcEnds[i]]);
    if (!crcAt(18 + L, b + 18, L, ic::kPathSeed, "pathCrc", "the path") ||
        !crcAt(L + ic::kAfterPathEss256 - 4, q + ic::kAfterPathEss0, 128, ic::kSectorSeed,
               "lastSectorHeadCrc", "the last information sector bytes 0-127") ||
        !crcAt(L + ic::kAfterPathBss12 - 4, q + ic::kAfterPathEss256, 256, ic::kSectorSeed,
               "lastSectorTailCrc", "the last information sector bytes 256-511") ||
        !crcAt(L + ic::kAfterPathBss272 - 4, q + ic::kAfterPathBss12, 36, ic::kSectorSeed,
               "firstSectorHeadCrc", "the first information sector bytes 12-47") ||
        !crcAt(L + ic::kAfterPathConstants - 4, q + ic::kAfterPathBss272, 64, ic::kSectorSeed,
               "firstSectorTailCrc", "the first information sector bytes 272-335"))
      return false;
    const auto words = ic::BlockConstantWords();
    for (size_t i = 0; i < words.size(); ++i)
      if (base::load_le32(q + ic::kAfterPathConstants + 4 * i) != words[i])
        return differs("constants", "constant word " + std::to_string(i + 1) + " differs");
    return crcAt(L + ic::kAfterPathBlockCrc, b, ic::kAfterPathBlockCrc + L,
                 f.poweronUid0 ^ ic::kConstants[2], "blockCrc", "the integrity block");
  }

  bool checkCounts() {
    const size_t rest = record_.size() - blockLength_;
    const uint8_t* p = record_.data() + blockLength_;
    if (rest < 4) return differs("record", "record ends before the video sample count");
    const uint64_t video = base::load_le32(p);
    if (rest < 8 + 4 * video) return differs("record", "record ends inside the video CRCs");
    const uint64_t audio = base::load_le32(p + 4 + 4 * video);
    if (rest != 4 + 4 * video + 4 + 4 * audio + 8)
      return differs("record", "record length does not match its sample counts");
    videoCrcs_ = p + 4;
    audioCrcs_ = p + 8 + 4 * video;
    const uint8_t* tail = audioCrcs_ + 4 * audio;
    r_.record.videoSamples = uint32_t(video);
    r_.record.audioSamples = uint32_t(audio);
    r_.record.recordTime = base::load_le32(tail);
    if (base::load_le32(tail + 4) !=
        base::crc32_seeded(p, size_t(tail + 4 - p), r_.record.recordTime ^ ic::kSampleSeed))
      return differs("recordCrc", "CRC of the sample CRCs does not match");
    if (video != walk_.videoTable.count())
      return differs("videoSampleCount", "record holds " + std::to_string(video) +
                                              " video samples, the file " +
                                              std::to_string(walk_.videoTable.count()));
    if (audio != walk_.audioTable.count())
      return differs("audioSampleCount", "record holds " + std::to_string(audio) +
                                              " audio samples, the file " +
                                              std::to_string(walk_.audioTable.count()));
    return true;
  }

  bool checkSamples() {
    const size_t video = r_.record.videoSamples, audio = r_.record.audioSamples;
    std::vector<uint8_t> crcs(4 * (video + audio));
    if (!ComputeSampleCrcs(file_, walk_.skipPos, walk_.videoTable, walk_.audioTable,
                           std::span<uint8_t>(crcs.data(), 4 * video),
                           std::span<uint8_t>(crcs.data() + 4 * video, 4 * audio)))
      return unreadable("cannot read the sample tables");
    for (size_t i = 0; i < video; ++i)
      if (base::load_le32(&crcs[4 * i]) != base::load_le32(videoCrcs_ + 4 * i))
        return differs("videoSample", "video sample " + std::to_string(i) + " differs", int64_t(i));
    for (size_t i = 0; i < audio; ++i)
      if (base::load_le32(&crcs[4 * (video + i)]) != base::load_le32(audioCrcs_ + 4 * i))
        return differs("audioSample", "audio sample " + std::to_string(i) + " differs", int64_t(i));
    return true;
  }

  VerifyResult& r_;
  bool samples_ = true;
  Mp4File file_;
  Mp4Walk walk_;
  std::vector<uint8_t> record_;
  size_t blockLength_ = 0;
  const uint8_t* videoCrcs_ = nullptr;
  const uint8_t* audioCrcs_ = nullptr;
};

}  // namespace

VerifyResult VerifyMp4(const std::string& path) {
  VerifyResult result;
  Verifier(result, true).run(path);
  return result;
}

VerifyResult ReadIntegrityRecord(const std::string& path) {
  VerifyResult result;
  Verifier(result, false).run(path);
  return result;
}

}  // namespace convert
