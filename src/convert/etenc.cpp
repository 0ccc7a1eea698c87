#include "convert/etenc.h"

#include <algorithm>
#include <cstdlib>

#include "convert/integrity_constants.h"

namespace convert {
namespace {

using integrity::kAlphabetSize;
using integrity::kWeights;

constexpr uint32_t kMaxSymbol = kAlphabetSize - 1;

// remainingCapacity[i]: the largest d that the weights after index i can still absorb.
constexpr std::array<uint32_t, kWeights.size()> RemainingCapacity() {
  std::array<uint32_t, kWeights.size()> cap{};
  uint32_t sum = 0;
  for (size_t i = kWeights.size(); i-- > 0;) {
    cap[i] = sum;
    sum += kMaxSymbol * kWeights[i];
  }
  return cap;
}
constexpr auto kCapacityAfter = RemainingCapacity();
static_assert(kMaxSymbol * kWeights[0] + kCapacityAfter[0] >= 255,
              "the weights must be able to express every byte difference");
static_assert(kWeights.back() == 1, "the last weight absorbs the rest");

}  // namespace

TextEncoder::TextEncoder() : TextEncoder([] { return std::rand(); }) {}

TextEncoder::TextEncoder(RandomSource random) : random_(std::move(random)) {}

void TextEncoder::reset() {
  previous_ = 128;
  secondAlphabet_ = false;
}

void TextEncoder::encode(const uint8_t* bytes, size_t count, std::string& out) {
  for (size_t i = 0; i < count; ++i) encodeByte(bytes[i], out);
}

void TextEncoder::encodeByte(uint8_t b, std::string& out) {
  const char* alphabet = secondAlphabet_ ? integrity::kAlphabet2 : integrity::kAlphabet1;
  uint32_t d = secondAlphabet_ ? uint8_t(previous_ - b) : uint8_t(b - previous_);
  size_t i = 0;
  do {
    const uint32_t w = kWeights[i];
    uint32_t c;
    if (w >= 2 && d / w >= 10)
      c = 9 + draw(9);
    else if (w == 1)
      c = d <= kMaxSymbol ? d : draw(kAlphabetSize);
    else
      c = draw(kAlphabetSize);
    while (w * c > d) --c;
    // Unlucky draws could leave more than the remaining weights can take. Raise the digit just
    // enough that the rest still fits; since no weight exceeds 18 and the last weight is 1,
    // such a digit always exists, so every byte ends within the 12 weights.
    if (d - w * c > kCapacityAfter[i]) c = std::min((d - kCapacityAfter[i] + w - 1) / w, d / w);
    d -= w * c;
    out.push_back(alphabet[c]);
    ++i;
  } while (d != 0 && i < kWeights.size());
  previous_ = b;
  secondAlphabet_ = !secondAlphabet_;
}

namespace {
TextEncoder& ProgramEncoder() {
  static TextEncoder encoder;
  return encoder;
}
}  // namespace

void ResetEncoder() { ProgramEncoder().reset(); }

void SetProgramRandomSource(TextEncoder::RandomSource random) {
  if (!random) random = [] { return std::rand(); };
  ProgramEncoder().set_random(std::move(random));
}

void EncodeBytes(const uint8_t* bytes, size_t count, std::string& out) {
  ProgramEncoder().encode(bytes, count, out);
}

}  // namespace convert
