// The qbox stream of one simulated recording, produced piece by piece.
//
// Layout, as the recorder writes it and the converter expects it:
//   - audio and video boxes interleaved in time order, audio first on equal times; so the
//     stream opens with an audio box (carrying the sample-info prefix) directly followed by the
//     first key frame, and every video box is preceded by an audio box (audio frames at
//     32 kHz or more are shorter than a 25 fps picture period);
//   - no configuration box in the data stream: the converter writes the pair it loaded from the
//     information sector, then the box preceding the first key frame, and refuses a
//     configuration box met in the stream; the preview stops at one too. The configuration
//     pair lives only at offset 128 of every block's information sector;
//   - video boxes hold one picture each (key frames with sampleFlags bit 2), some with a
//     16-byte sample-info prefix; audio boxes one raw AAC frame, the first and some later ones
//     with the prefix (sample rate, channels); both header forms occur; every box is at least
//     32 bytes so that stepping back from a key frame always lands on the box before it;
//   - the recording ends with the 24-byte end box (stream type video, no payload), which stops
//     the converter's reader; a recording cut by power loss has none.
// Pictures and audio frames come cyclically from a MediaSet. Produce() may be called with a null
// destination to advance without copying (information-only cards, lost leading blocks).
// One thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "cardsim/media_set.h"

namespace cardsim {

struct RecordingPlan {
  uint64_t video_frames = UINT64_MAX;      // pictures to record; UINT64_MAX: until full
  uint64_t capacity_bytes = UINT64_MAX;    // stream bytes available to the recording
  bool end_box = true;                     // false: cut off by power loss
  uint64_t first_picture = 0;              // where in the media cycle the recording starts
  uint32_t seed = 1;                       // header forms and prefixes
};

struct StreamStats {
  uint64_t video_frames = 0;
  uint64_t key_frames = 0;
  uint64_t audio_frames = 0;
  uint64_t h264_bytes = 0;   // Annex B with 4-byte start codes, SPS and PPS once at the start
  uint64_t aac_bytes = 0;    // ADTS frames, 7-byte headers included
  uint64_t stream_bytes = 0; // qbox bytes, padding and end box included (all boxes started)
};

class RecordingStream {
 public:
  // Receives the elementary-stream bytes of every box as it is produced (video true for
  // H.264); the configuration's SPS and PPS arrive first.
  using EsSink = std::function<void(bool video, std::span<const uint8_t> bytes)>;

  RecordingStream(std::shared_ptr<const MediaSet> media, const RecordingPlan& plan,
                  EsSink sink = nullptr);

  // Restarts the statistics and the sink as a conversion starting here would see the stream:
  // the configuration first, then from the audio box just before the next key frame on.
  // Used after skipping blocks that the ring has overwritten.
  void BeginAtNextKeyFrame();

  // Produces up to `n` stream bytes into `dst` (or discards them when `dst` is null); returns
  // how many; fewer than `n` only when the stream is finished.
  size_t Produce(uint8_t* dst, size_t n);
  bool finished() const { return finished_ && pos_ == box_size_; }
  // Media time in seconds of the newest box started so far.
  double media_time() const { return media_time_; }
  const StreamStats& stats() const { return stats_; }
  // Pictures put into the stream so far, lost blocks included.
  uint64_t pictures() const { return video_index_; }

 private:
  // What the current box is; enough to write its bytes on demand.
  struct BoxChoice {
    enum Kind { video, audio, end } kind = end;
    uint64_t index = 0;  // picture or audio frame number within the recording
    bool long_header = false;
    bool prefix = false;
  };

  bool NextBox();                 // chooses the next box, updates stats and the sink
  size_t ChoiceSize(const BoxChoice& c) const;
  void Materialise();             // writes the current box's bytes into box_
  void ReportEs(const BoxChoice& c);
  void ReportConfig();
  void Emit(bool video, uint64_t frames, uint64_t keys);
  const EncodedPicture& Picture(uint64_t index) const;
  const std::vector<uint8_t>& AudioFrame(uint64_t index) const;
  uint32_t SampleTimeMs(const BoxChoice& c) const;
  uint64_t Random();

  std::shared_ptr<const MediaSet> media_;
  RecordingPlan plan_;
  EsSink sink_;
  BoxChoice current_;
  size_t box_size_ = 0;         // rounded size of the current box
  size_t pos_ = 0;              // bytes of the current box already produced
  bool materialised_ = false;   // box_ holds the current box's bytes
  std::vector<uint8_t> box_;
  uint64_t produced_ = 0;       // stream offset of the current box's end
  uint64_t video_index_ = 0, audio_index_ = 0;
  uint64_t rng_;
  double media_time_ = 0;
  bool finished_ = false;
  StreamStats stats_;
  std::vector<uint8_t> es_scratch_;
  bool awaiting_key_ = false;          // BeginAtNextKeyFrame: hold audio until a key frame
  std::vector<uint8_t> pending_audio_; // ES bytes of the audio box held back
};

}  // namespace cardsim
