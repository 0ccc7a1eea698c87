#include "convert/stream_reader.h"

#include <algorithm>
#include <cstring>

#include "card/servsectclass.h"

namespace convert {

namespace {

constexpr int32_t kSector = int32_t(base::kSectorSize);

}  // namespace

StreamReader::StreamReader(card::RegionReader& region)
    : region_(region), box_(qbox::kMaxSize + 8) {}

void StreamReader::Reset() {
  boxCount_ = -1;
  offset_ = 0;
  boxSize_ = 0;
  boxMagic_ = 0;
  streamEnded_ = false;
  headerRejected_ = false;
  sector_ = 0;
  configLoaded_ = false;
  error_ = 0;
}

bool StreamReader::Fail(int code) {
  if (error_ == 0) error_ = code;
  return false;
}

bool StreamReader::LoadSector(int64_t b) {
  const int64_t n = region_.geometry().N_sectors_in_rsr;
  if (b < 0 || b >= n) return Fail(kErrNoPartitionFile);
  switch (region_.read_sector(uint32_t(b), read_)) {
    case card::RegionReadResult::ok:
      break;
    case card::RegionReadResult::no_file:
      return Fail(kErrNoPartitionFile);
    case card::RegionReadResult::beyond_file:
      return Fail(kErrBeyondFile);
    case card::RegionReadResult::short_read:
      return Fail(kErrShortRead);
  }
  std::memcpy(sector_buf_.data(), read_.data(), base::kSectorSize);
  sector_ = int32_t(b);
  return true;
}

bool StreamReader::StepSector(int32_t step) {
  const int64_t n = region_.geometry().N_sectors_in_rsr;
  int64_t b = int64_t(sector_) + step;
  if (b < 0) b += n;
  if (b >= n) b -= n;
  steppedOntoEnd_ = b == rangeEnd_;
  if (steppedOntoEnd_) {
    endReached_ = true;
    ++endLandings_;
  }
  if ((b & 0xFF) == 0xFF) {
    b += step < 0 ? -1 : 1;
    if (b >= n) b -= n;
  }
  return LoadSector(b);
}

bool StreamReader::ReadStream(uint8_t* dst, uint32_t n) {
  const uint32_t left = uint32_t(kSector - offset_);
  if (n <= left) {
    std::memcpy(dst, sector_buf_.data() + offset_, n);
    offset_ += int32_t(n);
  } else {
    std::memcpy(dst, sector_buf_.data() + offset_, left);
    dst += left;
    n -= left;
    while (n > 0) {
      if (!StepSector(1)) return false;
      const uint32_t chunk = std::min<uint32_t>(n, base::kSectorSize);
      std::memcpy(dst, sector_buf_.data(), chunk);
      dst += chunk;
      n -= chunk;
      offset_ = int32_t(chunk);
    }
  }
  if (offset_ == kSector) {
    if (!StepSector(1)) return false;
    offset_ = 0;
  }
  return true;
}

bool StreamReader::FindKeyFrame(bool stopAtRangeEnd) {
  const uint64_t ringSectors = region_.geometry().N_sectors_in_rsr;
  uint64_t stepped = 0;
  for (;;) {
    // Offsets at and past 508 roll over, so an unaligned offset cannot run away.
    while (base::load_be32(sector_buf_.data() + offset_) != qbox::kMagic) {
      if (offset_ < kSector - 4) {
        offset_ += 4;
        continue;
      }
      offset_ = 0;
      if (!StepSector(1)) return false;
      if (stopAtRangeEnd && steppedOntoEnd_) return false;
      if (++stepped > ringSectors) return false;
    }
    offset_ -= 4;  // the box starts 4 bytes before its magic
    if (offset_ < 0) {
      offset_ += kSector;
      if (!StepSector(-1)) return false;
    }
    boxStart_ = position();
    const uint64_t landings = endLandings_;
    if (!ReadStream(box_.data(), qbox::kHeaderSize)) return false;
    const uint32_t size = qbox::BoxSize(box_.data());
    if (!qbox::ValidSize(size)) {
      streamEnded_ = true;
      return false;
    }
    boxSize_ = qbox::RoundedSize(size);
    if (!(qbox::StreamType(box_.data()) & qbox::kStreamVideo) ||
        !(qbox::SampleFlags(box_.data()) & qbox::kSampleKeyFrame)) {
      // A rejected header that ran onto the range end sector: everything after it lies
      // beyond the range, so the search ends as if the scan itself had stepped there.
      if (stopAtRangeEnd && endLandings_ != landings) return false;
      continue;  // scan on from just after the rejected header
    }
    return ReadStream(box_.data() + qbox::kHeaderSize, boxSize_ - qbox::kHeaderSize);
  }
}

bool StreamReader::ReadNextBox() {
  if (streamEnded_) return false;
  if (boxSize_ == qbox::kMinSize) {
    streamEnded_ = true;
    return false;
  }
  boxStart_ = position();
  if (!ReadStream(box_.data(), qbox::kHeaderSize)) return false;
  boxMagic_ = qbox::Magic(box_.data());
  const uint32_t size = qbox::BoxSize(box_.data());
  if (boxMagic_ != qbox::kMagic || !qbox::ValidSize(size)) {
    streamEnded_ = true;
    headerRejected_ = true;
    return false;
  }
  boxSize_ = qbox::RoundedSize(size);
  if (!ReadStream(box_.data() + qbox::kHeaderSize, boxSize_ - qbox::kHeaderSize)) return false;
  ++boxCount_;
  return true;
}

bool StreamReader::ResyncAtKeyFrame() {
  if (!headerRejected_) return false;
  headerRejected_ = false;
  const uint64_t landings = endLandings_;
  for (;;) {
    streamEnded_ = false;
    if (FindKeyFrame(true)) {
      ++boxCount_;
      return true;
    }
    // Only an invalid size (a damaged header that carries the magic) is scanned past; a read
    // failure, the range end or a whole turn of the ring ends the search.
    if (error_ || !streamEnded_ || endLandings_ != landings) return false;
  }
}

bool StreamReader::StepBackOneSector() {
  std::memcpy(sector_buf_.data() + kSector, sector_buf_.data(), 8);
  return StepSector(-1);
}

bool StreamReader::StepBackBox() {
  if (boxCount_ - 1 < 0) return false;
  const Position entry = position();
  const int32_t oldCount = boxCount_;
  int64_t off = int64_t(offset_) - (int64_t(boxSize_) + 28);
  while (off < 0) {
    off += kSector;
    if (!StepBackOneSector()) return false;
  }
  boxSize_ = 0;
  // The box before the current one starts at most one maximal box earlier; a magic found
  // further back cannot be followed by valid boxes up to the current one.
  for (uint32_t scanned = 0;;) {
    off -= 4;
    scanned += 4;
    if (scanned > qbox::kMaxSize) {
      SetPosition(entry);
      return false;
    }
    if (off < 0) {
      off += kSector;
      if (!StepBackOneSector()) return false;
    }
    if (base::load_be32(sector_buf_.data() + off + 4) != qbox::kMagic) continue;
    const int32_t here = sector_;
    offset_ = int32_t(off);
    boxCount_ = oldCount - 2;
    streamEnded_ = false;
    if (ReadNextBox()) return true;
    if (error_) return false;
    // Not a box after all: resume the scan where it stood.
    if (sector_ != here && !LoadSector(here)) return false;
    boxSize_ = 0;
  }
}

bool StreamReader::CopyConfigBox(size_t at, ConfigBox& out) const {
  if (at + qbox::kHeaderSize > base::kSectorSize) return false;
  const uint32_t size = qbox::BoxSize(&info_[at]);
  if (!qbox::ValidSize(size)) return false;
  const uint32_t rounded = qbox::RoundedSize(size);
  // The pair must lie inside the sector; a box claiming more is rejected, not truncated.
  if (at + rounded > base::kSectorSize) return false;
  std::memcpy(out.bytes.data(), &info_[at], rounded);
  out.size = rounded;
  return true;
}

bool StreamReader::LoadConfiguration() {
  const int64_t infoSector = int64_t(sector_) | 0xFF;
  const int64_t n = region_.geometry().N_sectors_in_rsr;
  if (infoSector >= n || region_.read_sector(uint32_t(infoSector), info_) !=
                             card::RegionReadResult::ok)
    return Fail(kErrInfoRead);
  constexpr size_t kAt = card::ServiceSector::kStreamConfigOffset;
  if (!(qbox::SampleFlags(&info_[kAt]) & qbox::kSampleConfig) || configLoaded_) return false;
  if (!CopyConfigBox(kAt, config_[0])) return Fail(kErrConfigSize);
  if (!CopyConfigBox(kAt + config_[0].size, config_[1])) return false;
  configLoaded_ = true;
  return true;
}

StreamReader::Position StreamReader::position() const {
  return Position{sector_, offset_, boxCount_, boxSize_, boxMagic_, streamEnded_, endReached_};
}

bool StreamReader::SetPosition(const Position& p) {
  if (!LoadSector(p.sector)) return false;
  offset_ = p.offset;
  boxCount_ = p.boxCount;
  boxSize_ = p.boxSize;
  boxMagic_ = p.boxMagic;
  streamEnded_ = p.streamEnded;
  endReached_ = p.endReached;
  return true;
}

bool StreamReader::RewindToBoxStart() {
  Position p = boxStart_;  // the box count as it was before the box was read
  p.endReached = endReached_;
  p.streamEnded = false;
  p.boxSize = 0;
  return SetPosition(p);
}

}  // namespace convert
