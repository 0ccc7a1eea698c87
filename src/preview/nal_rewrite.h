// Turns the payload of a video stream box into an H.264 byte stream for the decoder: every
// length-prefixed NAL unit gets a 00 00 00 01 start code instead of its length.
//
// The payload is taken as the box header describes it but never past the box: a 32-byte
// header whose payload length claims more than the box holds is cut at the box end. The walk
// stops at a length below 1 or above what remains after it. Eight zero bytes follow the
// stream (decoder padding) and are not counted in the returned length. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace preview {

// Writes the rewritten payload of `box` (header included) into `out`, which keeps its
// capacity between calls; returns the byte-stream length, 0 when the box is not video or
// holds no unit.
size_t RewriteToStartCodes(std::span<const uint8_t> box, std::vector<uint8_t>& out);

}  // namespace preview
