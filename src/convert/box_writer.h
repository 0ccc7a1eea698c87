// Writes stream boxes into the elementary-stream files of one output part: every NAL unit of a
// video box behind a 00 00 00 01 start code, every audio frame behind a 7-byte ADTS header.
//
// The files are created on the first box of a part, and the part's configuration pair (from
// the stream reader) is written first: the video parameter sets, then the audio configuration,
// which only sets the sample rate and channel count because the first audio box of a part is
// dropped. The sample rate and channel count live in an AudioFormat that outlives workers
// (the program keeps the last values seen). Used by the conversion worker's thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "convert/es_files.h"
#include "convert/es_sink.h"
#include "convert/stream_reader.h"

namespace convert {

struct AudioFormat {
  std::atomic<uint32_t> sampleRate{0};
  std::atomic<uint32_t> channels{0};
};

// The program-wide audio format that conversion workers share by default.
AudioFormat& ProgramAudioFormat();

class BoxWriter {
 public:
  explicit BoxWriter(AudioFormat& format) : format_(format) {}

  // Starts a part: files not open, first audio box to be dropped, byte count 0. With a sink
  // the part's samples go to it instead, and no file is created.
  void BeginPart(const std::string& outputDir, EsSink* sink = nullptr);

  // Writes `box` (header included, rounded size). False, with error() telling why, when the
  // configuration pair is not loaded, the files cannot be created (1224, or 2259 for a path
  // that is too long), the box is a configuration box, the stream type is unknown (4608) or a
  // write failed. Opening the files clears bit 0 of both configuration copies in `reader`.
  bool WriteBox(std::span<const uint8_t> box, StreamReader& reader);

  ElementaryStreamFiles& files() { return files_; }
  // The part has begun (its files were created, or its first box went to the sink).
  bool part_open() const { return sink_ ? sinkOpen_ : files_.is_open(); }
  int64_t bytes_written() const { return bytesWritten_; }
  int error() const { return error_; }

 private:
  bool WriteSample(std::span<const uint8_t> box, const StreamReader::Position* start);

  AudioFormat& format_;
  ElementaryStreamFiles files_;
  std::string outputDir_;
  int64_t bytesWritten_ = 0;
  bool skipFirstAudio_ = true;
  EsSink* sink_ = nullptr;
  bool sinkOpen_ = false;
  int error_ = 0;
};

}  // namespace convert
