// ADTS (ISO/IEC 13818-7 / 14496-3) frame headers and a streaming frame reader.
//
// ParseAdtsHeader reads the fixed and variable header (7 bytes, 9 with CRC) from a span
// and never past it. The reader yields whole frames from a file, refilling a 1 MiB buffer.
// A frame must start right after the previous one: lost sync is an error, never skipped.
// Pure functions any thread; a reader is one per pass.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "convert/mux_file_io.h"

namespace convert {

struct AdtsHeader {
  uint8_t object_type = 0;     // audioObjectType: ADTS profile + 1 (2 = AAC LC)
  uint8_t sampling_index = 0;  // 0..12
  uint8_t channel_config = 0;  // 1..7
  uint32_t header_length = 7;  // 9 when a CRC follows the header
  uint32_t frame_length = 0;   // header included
  uint8_t raw_blocks = 1;      // raw_data_blocks in the frame
};

// Returns nothing for a wrong sync word, reserved or unsupported values (MPEG layer other
// than 0, sampling index 13-15, channel configuration 0, several raw data blocks in one
// frame), or a frame without payload.
std::optional<AdtsHeader> ParseAdtsHeader(std::span<const uint8_t> bytes);

uint32_t AdtsSampleRate(uint8_t sampling_index);

// The two-byte AudioSpecificConfig: object type, sampling index, channels, GA config zeros.
std::array<uint8_t, 2> AudioSpecificConfig(const AdtsHeader& header);

// True when both frames share object type, sampling index and channel configuration.
bool SameAudioFormat(const AdtsHeader& a, const AdtsHeader& b);

class AdtsReader {
 public:
  enum class Result { kFrame, kEnd, kReadError, kBadFrame };

  explicit AdtsReader(InputFile& file) : file_(file), buffer_(size_t(1) << 20) {}

  // The next frame: its parsed header and raw payload (valid until the next call).
  Result Next(AdtsHeader* header, std::span<const uint8_t>* payload);

 private:
  bool Fill(size_t needed);  // at least `needed` bytes from begin_, or the end

  InputFile& file_;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
};

}  // namespace convert
