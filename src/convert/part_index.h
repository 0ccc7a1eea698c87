// The index of one output part, built while the conversion worker reads the part: for every
// NAL unit and audio frame that the part's elementary streams would hold, where its bytes lie
// (in a box of the ring, or in a configuration box copied from an information sector), and
// the muxer's scan of both streams made from them with the same decisions as the muxer makes
// reading the streams back from files (Annex B unit boundaries, access units, parameter sets
// the sample entry carries, the ADTS format checks). Memory grows with the number of units
// only: about 24 bytes per unit and 32 per box. Used on the worker thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/es_sink.h"
#include "convert/mp4_movie_plan.h"

namespace convert {

class PartIndex final : public EsSink {
 public:
  struct Box {
    StreamReader::Position start;  // where the box lies in the stream (stream boxes)
    uint32_t size = 0;             // rounded size
    int32_t config = -1;           // index into configs(), or -1 for a stream box
  };
  struct Unit {
    uint32_t box = 0;     // index into boxes()
    uint32_t offset = 0;  // of the bytes inside the box
    uint32_t length = 0;
    bool video = false;
    bool kept = false;         // video: the unit goes into its sample
    uint64_t accessUnit = 0;   // video: access unit index from the stream's start
  };

  // Forgets everything (a new part).
  void Clear();

  void BeginBox(std::span<const uint8_t> box, const StreamReader::Position* start) override;
  void VideoUnit(std::span<const uint8_t> nal) override;
  void AudioFrame(const uint8_t* adtsHeader, std::span<const uint8_t> payload) override;

  // Sectors skipped after a damaged box while reading this part.
  void AddGap(int32_t fromSector, int32_t toSector) {
    gaps_.push_back(uint32_t(fromSector));
    gaps_.push_back(uint32_t(toSector));
  }
  // (first, last) pairs, flattened.
  const std::vector<uint32_t>& gaps() const { return gaps_; }

  // Completes the scans; kMuxOk or the muxer's error code for these streams (video first).
  // Pictures in front of the first IDR picture are dropped as the muxer drops them, and so
  // is the audio that lies in the stream in front of that picture, so that both tracks start
  // together (the muxer over two files cannot see how the streams interleave).
  int Finish();
  // Audio frames of the index, in stream order, that are dropped.
  uint64_t dropped_audio_frames() const { return droppedAudio_; }

  const std::vector<Box>& boxes() const { return boxes_; }
  const std::vector<Unit>& units() const { return units_; }
  const std::vector<std::vector<uint8_t>>& configs() const { return configs_; }
  const Scans& scans() const { return scans_; }

 private:
  void AddVideoPiece(std::span<const uint8_t> piece);

  std::vector<Box> boxes_;
  std::vector<Unit> units_;
  std::vector<std::vector<uint8_t>> configs_;
  std::span<const uint8_t> box_;  // the box of the units being fed
  VideoScanner video_;
  AudioScanner audio_;
  Scans scans_;
  int audioError_ = 0;
  uint64_t droppedAudio_ = 0;
  std::vector<uint32_t> gaps_;
};

}  // namespace convert
