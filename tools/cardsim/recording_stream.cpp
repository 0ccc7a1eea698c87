#include "cardsim/recording_stream.h"

#include <algorithm>
#include <cstring>

#include "base/endian.h"
#include "cardsim/elementary_stream.h"
#include "cardsim/qbox_writer.h"

namespace cardsim {

RecordingStream::RecordingStream(std::shared_ptr<const MediaSet> media, const RecordingPlan& plan,
                                 EsSink sink)
    : media_(std::move(media)), plan_(plan), sink_(std::move(sink)),
      rng_(0x9E3779B97F4A7C15ULL ^ plan.seed) {
  ReportConfig();
}

// The decoder configuration reaches the H.264 stream first (the converter writes it from the
// information sector before any box); it counts once per recording.
void RecordingStream::ReportConfig() {
  es_scratch_.clear();
  AppendAnnexBNal(media_->video.sps, es_scratch_);
  AppendAnnexBNal(media_->video.pps, es_scratch_);
  Emit(true, 0, 0);
}

void RecordingStream::BeginAtNextKeyFrame() {
  stats_ = StreamStats{};
  pending_audio_.clear();
  awaiting_key_ = true;
  ReportConfig();
}

// Counts and hands on the ES bytes in es_scratch_.
void RecordingStream::Emit(bool video, uint64_t frames, uint64_t keys) {
  if (video) {
    stats_.video_frames += frames;
    stats_.key_frames += keys;
    stats_.h264_bytes += es_scratch_.size();
  } else {
    stats_.audio_frames += frames;
    stats_.aac_bytes += es_scratch_.size();
  }
  if (sink_) sink_(video, es_scratch_);
}

uint64_t RecordingStream::Random() {  // splitmix64
  uint64_t z = (rng_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

const EncodedPicture& RecordingStream::Picture(uint64_t index) const {
  const auto& pictures = media_->video.pictures;
  return pictures[(plan_.first_picture + index) % pictures.size()];
}

const std::vector<uint8_t>& RecordingStream::AudioFrame(uint64_t index) const {
  const auto& frames = media_->audio.frames;
  return frames[index % frames.size()];
}

uint32_t RecordingStream::SampleTimeMs(const BoxChoice& c) const {
  if (c.kind == BoxChoice::video) return uint32_t(c.index * 1000 / uint64_t(media_->params.fps));
  if (c.kind == BoxChoice::audio)
    return uint32_t(c.index * kAacFrameSamples * 1000 / uint64_t(media_->params.sample_rate));
  return 0;
}

size_t RecordingStream::ChoiceSize(const BoxChoice& c) const {
  if (c.kind == BoxChoice::end) return kEndBoxSize;
  const size_t header = c.long_header ? kLongHeader : kShortHeader;
  const size_t prefix = c.prefix ? kPrefixSize : 0;
  const size_t payload =
      c.kind == BoxChoice::video ? Picture(c.index).nals.size() : AudioFrame(c.index).size();
  return RoundUp4(header + prefix + payload);
}

void RecordingStream::ReportEs(const BoxChoice& c) {
  if (c.kind == BoxChoice::video) {
    const auto& picture = Picture(c.index);
    if (awaiting_key_ && !picture.key) {
      pending_audio_.clear();  // a conversion skips to the next key frame
      return;
    }
    if (awaiting_key_) {  // the box before the key frame is written, then everything after
      awaiting_key_ = false;
      if (!pending_audio_.empty()) {
        es_scratch_.swap(pending_audio_);
        Emit(false, 1, 0);
      }
    }
    es_scratch_.clear();
    AppendAnnexB(picture.nals, es_scratch_);  // each 4-byte length becomes a start code
    Emit(true, 1, picture.key ? 1 : 0);
  } else if (c.kind == BoxChoice::audio) {
    const auto& frame = AudioFrame(c.index);
    const auto header =
        AdtsHeader(media_->params.sample_rate, media_->params.channels, 7 + frame.size());
    es_scratch_.assign(header.begin(), header.end());
    es_scratch_.insert(es_scratch_.end(), frame.begin(), frame.end());
    if (awaiting_key_)
      pending_audio_ = es_scratch_;
    else
      Emit(false, 1, 0);
  }
}

bool RecordingStream::NextBox() {
  if (finished_) return false;
  const auto& p = media_->params;
  BoxChoice c;
  // Audio first while its frame starts no later than the next picture.
  const bool pictures_left = video_index_ < plan_.video_frames;
  const bool audio_due = uint64_t(audio_index_) * kAacFrameSamples * uint64_t(p.fps) <=
                         uint64_t(video_index_) * uint64_t(p.sample_rate);
  const bool audio_left = pictures_left || audio_due;  // audio up to the last picture's time
  if (!pictures_left && !audio_due) {
    c.kind = BoxChoice::end;
  } else if (audio_due && audio_left) {
    c.kind = BoxChoice::audio;
    c.index = audio_index_;
    c.prefix = audio_index_ == 0 || Random() % 8 == 0;
    // A raw frame under 8 bytes takes the 32-byte header, keeping every box at least 32 bytes.
    c.long_header = AudioFrame(c.index).size() < 8 || Random() % 4 == 0;
  } else {
    c.kind = BoxChoice::video;
    c.index = video_index_;
    c.prefix = Random() % 5 == 0;
    c.long_header = Random() % 4 == 0;
  }
  // The end box must always fit behind the last box.
  if (c.kind != BoxChoice::end && produced_ + ChoiceSize(c) + kEndBoxSize > plan_.capacity_bytes)
    c = BoxChoice{};
  if (c.kind == BoxChoice::end) {
    finished_ = true;
    if (!plan_.end_box) {
      box_size_ = pos_ = 0;
      return false;
    }
  } else if (c.kind == BoxChoice::audio) {
    ++audio_index_;
  } else {
    ++video_index_;
  }
  current_ = c;
  box_size_ = ChoiceSize(c);
  pos_ = 0;
  materialised_ = false;
  produced_ += box_size_;
  stats_.stream_bytes += box_size_;
  media_time_ = std::max(media_time_, SampleTimeMs(c) / 1000.0);
  ReportEs(c);
  return true;
}

void RecordingStream::Materialise() {
  const BoxChoice& c = current_;
  box_.resize(box_size_);
  if (c.kind == BoxChoice::end) {
    const auto end = EndBox();
    std::memcpy(box_.data(), end.data(), end.size());
  } else if (c.kind == BoxChoice::video) {
    const auto& picture = Picture(c.index);
    uint8_t prefix[kPrefixSize] = {};
    base::store_be32(prefix, uint32_t(c.index));
    base::store_be32(prefix + 4, SampleTimeMs(c));
    base::store_be16(prefix + 8, uint16_t(media_->params.width));
    base::store_be16(prefix + 10, uint16_t(media_->params.height));
    const BoxSpec desc{kStreamVideo, picture.key ? kSampleKey : 0, SampleTimeMs(c),
                       c.long_header, c.prefix ? std::span<const uint8_t>(prefix) : std::span<const uint8_t>(),
                       picture.nals};
    WriteBox(desc, box_.data());
  } else {
    const auto prefix = AudioPrefix(media_->params.sample_rate, media_->params.channels);
    const BoxSpec desc{kStreamAudio, 0, SampleTimeMs(c), c.long_header,
                       c.prefix ? std::span<const uint8_t>(prefix) : std::span<const uint8_t>(),
                       AudioFrame(c.index)};
    WriteBox(desc, box_.data());
  }
  materialised_ = true;
}

size_t RecordingStream::Produce(uint8_t* dst, size_t n) {
  size_t done = 0;
  while (done < n) {
    if (pos_ == box_size_ && !NextBox()) break;
    const size_t take = std::min(n - done, box_size_ - pos_);
    if (dst) {
      if (!materialised_) Materialise();
      std::memcpy(dst + done, box_.data() + pos_, take);
    }
    pos_ += take;
    done += take;
  }
  return done;
}

}  // namespace cardsim
