#include "convert/part_index.h"

#include <cstring>

#include "convert/adts_parser.h"
#include "convert/mp4_muxer.h"

namespace convert {

void PartIndex::Clear() {
  boxes_.clear();
  units_.clear();
  configs_.clear();
  box_ = {};
  video_ = VideoScanner();
  audio_ = AudioScanner();
  scans_ = Scans();
  audioError_ = 0;
  droppedAudio_ = 0;
  gaps_.clear();
}

void PartIndex::BeginBox(std::span<const uint8_t> box, const StreamReader::Position* start) {
  Box b;
  b.size = uint32_t(box.size());
  if (start) {
    b.start = *start;
  } else {
    b.config = int32_t(configs_.size());
    configs_.emplace_back(box.begin(), box.end());
  }
  boxes_.push_back(b);
  box_ = box;
}

// An Annex B reader finds a unit's end at the next 00 00 01 and drops the zero bytes before
// it, so a unit written behind a start code comes back as the pieces between the 00 00 01
// sequences inside it, each without trailing zeros. Well-formed units (emulation prevention,
// a non-zero last byte) come back whole.
void PartIndex::VideoUnit(std::span<const uint8_t> nal) {
  const uint8_t* p = nal.data();
  const size_t n = nal.size();
  size_t begin = 0;
  size_t from = 2;
  while (from < n) {
    const void* hit = std::memchr(p + from, 0x01, n - from);
    if (hit == nullptr) break;
    const size_t q = size_t(static_cast<const uint8_t*>(hit) - p);
    if (p[q - 1] == 0 && p[q - 2] == 0) {
      AddVideoPiece(nal.subspan(begin, q - 2 - begin));
      begin = q + 1;
      from = begin + 2;
    } else {
      from = q + 1;
    }
  }
  AddVideoPiece(nal.subspan(begin));
}

void PartIndex::AddVideoPiece(std::span<const uint8_t> piece) {
  size_t length = piece.size();
  while (length > 0 && piece[length - 1] == 0) --length;
  if (length == 0) return;  // empty units are skipped
  piece = piece.first(length);
  Unit u;
  u.box = uint32_t(boxes_.size() - 1);
  u.offset = uint32_t(piece.data() - box_.data());
  u.length = uint32_t(length);
  u.video = true;
  u.kept = video_.Feed(piece);
  u.accessUnit = video_.access_unit();
  units_.push_back(u);
}

void PartIndex::AudioFrame(const uint8_t* adtsHeader, std::span<const uint8_t> payload) {
  if (audioError_) return;  // the muxer stops reading the audio at its first error
  const auto header = ParseAdtsHeader(std::span<const uint8_t>(adtsHeader, 7));
  if (!header || header->header_length != 7 || header->frame_length != 7 + payload.size()) {
    audioError_ = kMuxBadAdts;
    return;
  }
  if ((audioError_ = audio_.Feed(*header, payload, &scans_.audio)) != 0) return;
  Unit u;
  u.box = uint32_t(boxes_.size() - 1);
  u.offset = uint32_t(payload.data() - box_.data());
  u.length = uint32_t(payload.size());
  units_.push_back(u);
}

int PartIndex::Finish() {
  if (int error = video_.Finish(&scans_.video)) return error;
  if (audioError_) return audioError_;
  const uint64_t first = scans_.video.first_access_unit;
  for (const Unit& u : units_) {
    if (u.video && u.accessUnit >= first) break;
    if (!u.video) ++droppedAudio_;
  }
  if (first == 0) droppedAudio_ = 0;  // nothing in front of the first picture is dropped
  auto& sizes = scans_.audio.sample_sizes;
  sizes.erase(sizes.begin(), sizes.begin() + ptrdiff_t(droppedAudio_));
  return kMuxOk;
}

}  // namespace convert
