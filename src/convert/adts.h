// The 7-byte ADTS header (ISO/IEC 13818-7, 14496-3) that turns a raw AAC-LC frame into a
// self-describing frame of an .aac stream: MPEG-4, no CRC, one raw data block.
// Pure functions, safe from any thread.
#pragma once

#include <cstdint>

namespace convert {

inline constexpr uint32_t kAdtsHeaderSize = 7;
inline constexpr uint32_t kAdtsMaxFrameLength = 0x1FFF;  // the 13-bit frame length field

// Sampling-frequency index for a rate in Hz, by the frequency ranges of ISO/IEC 14496-3
// (each standard rate and its neighbourhood map to that rate's index; below 9391 Hz: 11).
int SamplingFrequencyIndex(uint32_t rate);

// Writes the header for a frame of `frameLength` bytes (header included, at most 8191).
// Channel counts above 7 cannot be expressed and are masked to the 3-bit field.
void MakeAdtsHeader(uint8_t out[kAdtsHeaderSize], uint32_t rate, uint32_t channels,
                    uint32_t frameLength);

}  // namespace convert
