#include "preview/keyframe_seeker.h"

#include <algorithm>
#include <cstring>

#include "card/servsectclass.h"
#include "convert/qbox.h"

namespace preview {

namespace qbox = convert::qbox;

namespace {

constexpr int32_t kSector = int32_t(base::kSectorSize);
constexpr int kStepsPerBlock = 16;
constexpr int kSectorsPerStep = 16;
constexpr int kSectorsWithoutMagic = 256;
constexpr uint32_t kSampleStreamEnd = 0x100;

bool IsVideoKeyFrame(const uint8_t* h) {
  return (qbox::StreamType(h) & qbox::kStreamVideo) && (qbox::SampleFlags(h) & qbox::kSampleKeyFrame);
}

// Size of the stream box at `at` of an information sector when it is valid and lies inside
// the sector; 0 otherwise.
size_t ConfigBoxSize(const base::Sector& s, size_t at) {
  if (at + qbox::kHeaderSize > s.size()) return 0;
  const uint32_t size = qbox::BoxSize(&s[at]);
  if (!qbox::ValidSize(size)) return 0;
  const size_t rounded = qbox::RoundedSize(size);
  return at + rounded <= s.size() ? rounded : 0;
}

}  // namespace

KeyFrameSeeker::KeyFrameSeeker(card::RegionReader& region, uint32_t ringBlocks)
    : region_(region), ringBlocks_(std::max<uint32_t>(1, ringBlocks)), reader_(region),
      shown_(qbox::kMaxSize + 8) {}

void KeyFrameSeeker::Open(int32_t firstBlock, int64_t blockCount) {
  reader_.Reset();
  firstBlock_ = firstBlock;
  blockCount_ = std::max<int64_t>(1, blockCount);
  curBlock_ = curStep_ = 0;
  lastBlock_ = lastStep_ = -1;
  shownSize_ = 0;
  shownDecoded_ = false;
  configLoaded_ = false;
  videoConfigSize_ = 0;
  info_.fill(0);
}

std::span<const uint8_t> KeyFrameSeeker::TakeVideoConfig() {
  const size_t size = videoConfigSize_;
  videoConfigSize_ = 0;
  return {videoConfig_.data(), size};
}

SeekOutcome KeyFrameSeeker::Seek(int position) {
  int64_t block = int64_t(position) + firstBlock_;
  if (block >= ringBlocks_) block -= ringBlocks_;
  curBlock_ = int32_t(block);
  curStep_ = 0;
  if (curBlock_ == lastBlock_ && curStep_ == lastStep_) return SeekOutcome::same;
  for (;;) {
    if (SearchFromStep()) {
      // The key frame found is what is shown, even when the boxes around it cannot be read
      // again below (the first box of a stream has nothing before it to step back onto).
      KeepIfKeyFrame();
      break;
    }
    if (--curStep_ < 0) {
      curStep_ = kStepsPerBlock - 1;
      if (--curBlock_ < 0) curBlock_ += int32_t(ringBlocks_);
    }
    int64_t back = int64_t(curBlock_) - firstBlock_;
    if (back < 0) back += ringBlocks_;
    if (back > blockCount_ - 1) return SeekOutcome::not_found;
  }
  // Found: step back once so that the box before the key frame is read (and shown when it is
  // itself a key frame), take the block's information sector, then read the key frame again
  // and step back before it, where the range buttons take their sector.
  reader_.set_box_count(1);
  if (!StepBackBox()) reader_.set_box_count(0);
  const uint32_t infoIndex = uint32_t(reader_.sector_index()) | 0xFF;
  if (infoIndex >= region_.geometry().N_sectors_in_rsr ||
      region_.read_sector(infoIndex, info_) != card::RegionReadResult::ok)
    info_.fill(0);
  TakeConfiguration();
  ReadNextBox();
  StepBackBox();
  return SeekOutcome::found;
}

bool KeyFrameSeeker::SearchFromStep() {
  lastBlock_ = curBlock_;
  lastStep_ = curStep_;
  reader_.set_sector_index(curBlock_ * 256 + curStep_ * kSectorsPerStep);
  reader_.set_stream_offset(0);
  if (!reader_.StepSector(0)) return false;
  return FindKeyFrame();
}

bool KeyFrameSeeker::FindKeyFrame() {
  const int32_t firstSector = reader_.sector_index();
  const int64_t ringSectors = region_.geometry().N_sectors_in_rsr;
  int withoutMagic = 0;
  int64_t stepped = 0;
  uint8_t* h = reader_.box_buffer().data();
  for (;;) {
    int32_t offset = reader_.stream_offset();
    while (base::load_be32(reader_.sector_bytes() + offset) != qbox::kMagic) {
      if (offset < kSector - 4) {
        offset += 4;
        continue;
      }
      offset = 0;
      reader_.set_stream_offset(0);
      if (!reader_.StepSector(1)) return false;
      if (++withoutMagic >= kSectorsWithoutMagic || ++stepped > ringSectors) return false;
    }
    withoutMagic = 0;
    offset -= 4;  // the box starts 4 bytes before its magic
    reader_.set_stream_offset(offset);
    if (offset < 0) {
      reader_.set_stream_offset(offset + kSector);
      if (!reader_.StepSector(-1)) return false;
    }
    const int32_t headerSector = reader_.sector_index();
    if (!reader_.ReadStream(h, qbox::kHeaderSize)) return false;
    const uint32_t size = qbox::BoxSize(h);
    const uint32_t flags = qbox::SampleFlags(h);
    if (!qbox::ValidSize(size) || (flags & kSampleStreamEnd) ||
        ((flags & qbox::kSampleConfig) && headerSector != firstSector)) {
      reader_.set_stream_ended(true);
      return false;
    }
    reader_.set_box_size(qbox::RoundedSize(size));
    if (!IsVideoKeyFrame(h)) continue;  // scan on right behind the rejected header
    return reader_.ReadStream(h + qbox::kHeaderSize, reader_.box_size() - qbox::kHeaderSize);
  }
}

bool KeyFrameSeeker::ReadNextBox() {
  if (!reader_.ReadNextBox()) return false;
  KeepIfKeyFrame();
  return true;
}

bool KeyFrameSeeker::StepBackBox() {
  if (!reader_.StepBackBox()) return false;
  KeepIfKeyFrame();  // the box the step back read
  return true;
}

void KeyFrameSeeker::KeepIfKeyFrame() {
  const std::span<const uint8_t> box = reader_.box();
  if (box.size() < qbox::kHeaderSize || !IsVideoKeyFrame(box.data())) return;
  std::memcpy(shown_.data(), box.data(), box.size());
  shownSize_ = box.size();
  shownDecoded_ = false;
}

void KeyFrameSeeker::TakeConfiguration() {
  constexpr size_t kAt = card::ServiceSector::kStreamConfigOffset;
  if (configLoaded_ || !(qbox::SampleFlags(&info_[kAt]) & qbox::kSampleConfig)) return;
  const size_t video = ConfigBoxSize(info_, kAt);
  if (video == 0 || ConfigBoxSize(info_, kAt + video) == 0) return;
  std::memcpy(videoConfig_.data(), &info_[kAt], video);
  videoConfigSize_ = video;
  configLoaded_ = true;
}

}  // namespace preview
