// The elementary streams a conversion of a simulated recording is expected to produce: an
// H.264 byte stream (every NAL unit behind a 00 00 00 01 start code) and AAC frames behind
// 7-byte ADTS headers. Used for the expected-output dumps and the byte counts of the
// simulator's report. Pure functions; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace cardsim {

// Appends the NAL units of a length-prefixed sequence in start-code form.
void AppendAnnexB(std::span<const uint8_t> prefixed, std::vector<uint8_t>& out);
// Appends one NAL unit (no prefix) in start-code form.
void AppendAnnexBNal(std::span<const uint8_t> nal, std::vector<uint8_t>& out);

// ADTS header (AAC LC, no CRC) for a frame of `frame_length` bytes, header included.
std::array<uint8_t, 7> AdtsHeader(int sample_rate, int channels, size_t frame_length);

}  // namespace cardsim
