// The text encoder of the integrity record. Every byte becomes 1 to 12 symbols of one of two
// alphabets; the alphabet alternates from byte to byte, so a decoder finds the byte boundaries
// where it changes. The difference d to the previous byte (up or down, by alphabet) is spread
// over randomly drawn digits with fixed weights: the same bytes give a different text each run.
//
// TextEncoder holds one encoder state and draws from an injectable source (tests); the free
// functions ResetEncoder/EncodeBytes use the one program-wide state drawing from the C
// library's rand(). The program-wide state must be used by one thread at a time (the
// conversion worker); a TextEncoder object belongs to its caller's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace convert {

class TextEncoder {
 public:
  // Returns a non-negative pseudo-random integer (the C library's rand() by default).
  using RandomSource = std::function<int()>;

  TextEncoder();
  explicit TextEncoder(RandomSource random);

  // Previous byte 128, first alphabet.
  void reset();
  // Appends the symbols of each byte to `out`.
  void encode(const uint8_t* bytes, size_t count, std::string& out);
  void set_random(RandomSource random) { random_ = std::move(random); }

 private:
  void encodeByte(uint8_t b, std::string& out);
  uint32_t draw(uint32_t n) { return uint32_t(random_()) % n; }

  RandomSource random_;
  uint8_t previous_ = 128;
  bool secondAlphabet_ = false;
};

// The program-wide encoder state.
void ResetEncoder();
// Makes the program-wide encoder draw from `random` (tests that compare whole files); an
// empty function restores rand(). Not while a conversion runs.
void SetProgramRandomSource(TextEncoder::RandomSource random);
void EncodeBytes(const uint8_t* bytes, size_t count, std::string& out);

}  // namespace convert
