#include "convert/box_writer.h"

#include "convert/adts.h"
#include "convert/conversion_errors.h"
#include "convert/qbox.h"

namespace convert {

namespace {

constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

void ClearConfigFlag(ConfigBox& c) {
  if (c.size >= qbox::kHeaderSize)
    qbox::SetSampleFlags(c.bytes.data(), qbox::SampleFlags(c.bytes.data()) & ~qbox::kSampleConfig);
}

}  // namespace

AudioFormat& ProgramAudioFormat() {
  static AudioFormat format;
  return format;
}

void BoxWriter::BeginPart(const std::string& outputDir, EsSink* sink) {
  files_.Remove();
  sink_ = sink;
  sinkOpen_ = false;
  outputDir_ = outputDir;
  bytesWritten_ = 0;
  skipFirstAudio_ = true;
  error_ = 0;
}

bool BoxWriter::WriteBox(std::span<const uint8_t> box, StreamReader& reader) {
  if (!reader.config_loaded()) return false;
  if (!part_open()) {
    ClearConfigFlag(reader.video_config());
    ClearConfigFlag(reader.audio_config());
    if (sink_) {
      sinkOpen_ = true;
    } else if (const int e = files_.Create(outputDir_); e != 0) {
      error_ = e;
      return false;
    }
    if (!WriteSample(reader.video_config().box(), nullptr) ||
        !WriteSample(reader.audio_config().box(), nullptr))
      return false;
  }
  const StreamReader::Position start = reader.box_start();
  return WriteSample(box, &start);
}

bool BoxWriter::WriteSample(std::span<const uint8_t> box, const StreamReader::Position* start) {
  if (box.size() < qbox::kHeaderSize) return false;
  const uint8_t* h = box.data();
  if (qbox::SampleFlags(h) & qbox::kSampleConfig) return false;
  if (sink_) sink_->BeginBox(box, start);
  const qbox::Payload payload = qbox::SplitPayload(box);
  const uint16_t type = qbox::StreamType(h);
  if (type & qbox::kStreamVideo) {
    qbox::ForEachNal(payload.data, [&](std::span<const uint8_t> unit) {
      if (sink_) {
        sink_->VideoUnit(unit);
      } else {
        files_.WriteVideo(kStartCode, sizeof kStartCode);
        files_.WriteVideo(unit.data(), unit.size());
      }
      bytesWritten_ += int64_t(sizeof kStartCode + unit.size());
    });
  } else if (!(type & qbox::kStreamAudio)) {
    error_ = kErrStreamType;
    return false;
  } else {
    if (payload.prefix) {
      format_.sampleRate = base::load_be32(payload.prefix);
      format_.channels = base::load_be32(payload.prefix + 8);
    }
    if (skipFirstAudio_) {
      skipFirstAudio_ = false;
      return true;
    }
    // An empty frame or one too long for the ADTS length field cannot be written as a
    // decodable frame; it is left out rather than written with a wrong header.
    const size_t frame = payload.data.size() + kAdtsHeaderSize;
    if (payload.data.empty() || frame > kAdtsMaxFrameLength) return !files_.write_failed();
    uint8_t header[kAdtsHeaderSize];
    MakeAdtsHeader(header, format_.sampleRate, format_.channels, uint32_t(frame));
    if (sink_) {
      sink_->AudioFrame(header, payload.data);
    } else {
      files_.WriteAudio(header, sizeof header);
      files_.WriteAudio(payload.data.data(), payload.data.size());
    }
    bytesWritten_ += int64_t(frame);
  }
  if (files_.write_failed()) {
    error_ = kErrWriteBox;
    return false;
  }
  return true;
}

}  // namespace convert
