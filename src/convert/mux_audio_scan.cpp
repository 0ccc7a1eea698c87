#include "convert/mux_audio_scan.h"

#include "convert/mp4_muxer.h"

namespace convert {

int AdtsReaderError(AdtsReader::Result result) {
  switch (result) {
    case AdtsReader::Result::kReadError: return kMuxReadFailed;
    case AdtsReader::Result::kBadFrame: return kMuxBadAdts;
    default: return kMuxOk;
  }
}

int AudioScanner::Feed(const AdtsHeader& header, std::span<const uint8_t> payload,
                       AudioScan* scan) {
  if (scan->sample_sizes.empty()) {
    first_ = header;
    scan->format = header;
    scan->sample_rate = AdtsSampleRate(header.sampling_index);
    if (header.channel_config == 0) {
      scan->format.channel_config = ChannelsFromRawBlock(payload);
      if (scan->format.channel_config == 0) return kMuxBadAdts;
    }
  } else if (!SameAudioFormat(first_, header)) {
    return kMuxAudioFormatChanged;
  }
  if (scan->sample_sizes.size() >= 0xFFFFFFFFu) return kMuxLimitExceeded;
  scan->sample_sizes.push_back(uint32_t(payload.size()));
  return kMuxOk;
}

int ScanAudio(InputFile& file, AudioScan* scan) {
  AdtsReader reader(file);
  AudioScanner scanner;
  AdtsHeader header;
  std::span<const uint8_t> payload;
  AdtsReader::Result result;
  while ((result = reader.Next(&header, &payload)) == AdtsReader::Result::kFrame) {
    if (int error = scanner.Feed(header, payload, scan)) return error;
  }
  return AdtsReaderError(result);
}

}  // namespace convert
