// The fixed values of the integrity record: the text encoder's two alphabets and digit weights,
// the CRC seeds and the constant words K1..K8 stored in every integrity block.
// The encoder, the post-processor and the verifier share them; changing any value makes every
// file sealed before unreadable by the verifier. Plain constants, usable from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace convert::integrity {

// Two alphabets of 18 symbols each; together the ten digits and the 26 lower-case letters,
// every symbol in exactly one of them. Symbol number c of an alphabet is its c-th character.
inline constexpr char kAlphabet1[] = "k3x9qa0mzr7ecu5hfw";
inline constexpr char kAlphabet2[] = "2vgn8pb4lj1ot6yids";
inline constexpr size_t kAlphabetSize = 18;

// Digit weights of one encoded byte: d = sum of weight[i] * symbol number i. The first weight
// is 1; the last one is 1 as well so that any rest up to 17 can always be absorbed, and no
// weight exceeds 18 so that a rest below the weight always fits the weights after it.
inline constexpr std::array<uint32_t, 12> kWeights = {1, 7, 3, 1, 13, 1, 5, 11, 1, 2, 1, 1};

inline constexpr uint32_t kSampleSeed = 0x5A17C0DEu;
inline constexpr uint32_t kPathSeed = 0x1F0D2B47u;
inline constexpr uint32_t kSectorSeed = 0x7E3A91C5u;

// K1..K8 (index 0 is K1).
inline constexpr std::array<uint32_t, 8> kConstants = {
    0x4B6F7276u, 0x616E2D31u, 0x93C5A7E1u, 0x0D1E2F3Cu,
    0xC0FFEE11u, 0x2468ACE0u, 0x13579BDFu, 0x8F7E6D5Cu,
};

// The twelve words stored in the block: K1 .. K8, K1 .. K4.
inline constexpr std::array<uint32_t, 12> BlockConstantWords() {
  std::array<uint32_t, 12> w{};
  for (size_t i = 0; i < 12; ++i) w[i] = kConstants[i % 8];
  return w;
}

}  // namespace convert::integrity

namespace convert::integrity {

// Integrity block layout: fixed part before the path, and the offsets after it (add L).
inline constexpr size_t kBlockPathOffset = 18;
inline constexpr size_t kBlockFixedBytes = 582;  // block length = 582 + L
inline constexpr size_t kAfterPathMtime = 22;    // offsets counted from the block start + L
inline constexpr size_t kAfterPathNow = 26;
inline constexpr size_t kAfterPathEss0 = 30;       // last info sector bytes 0..127
inline constexpr size_t kAfterPathEss256 = 162;    // last info sector bytes 256..511
inline constexpr size_t kAfterPathBss12 = 422;     // first info sector bytes 12..47
inline constexpr size_t kAfterPathBss272 = 462;    // first info sector bytes 272..335
inline constexpr size_t kAfterPathConstants = 530;
inline constexpr size_t kAfterPathBlockCrc = 578;
// Byte 56 of the last information sector: low byte of the field-coding flags.
inline constexpr size_t kFieldCodingByte = 56;

// The record with its 8-byte box header must fit this buffer.
inline constexpr size_t kRecordBufferBytes = 16u << 20;

}  // namespace convert::integrity
