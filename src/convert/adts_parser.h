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
  uint8_t channel_config = 0;  // 1..7; 0: given by the raw data
  uint32_t header_length = 7;  // 9 when a CRC follows the header
  uint32_t frame_length = 0;   // header included
  uint8_t raw_blocks = 1;      // raw_data_blocks in the frame
};

// Returns nothing for a wrong sync word, reserved or unsupported values (MPEG layer other
// than 0, sampling index 13-15, several raw data blocks in one frame), or a frame without
// payload. Channel configuration 0 is accepted: see ChannelsFromRawBlock.
std::optional<AdtsHeader> ParseAdtsHeader(std::span<const uint8_t> bytes);

uint32_t AdtsSampleRate(uint8_t sampling_index);

// Channel configuration 0 leaves the layout to the raw data. For the plain layouts it can be
// read from the first audio element after any data stream or fill elements (encoders put
// their tag there): a single channel element means mono (1), a channel pair element stereo
// (2). Anything else gives 0 (unknown).
uint8_t ChannelsFromRawBlock(std::span<const uint8_t> payload);

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
