#include "convert/etdec.h"

#include <array>

#include "convert/integrity_constants.h"

namespace convert {
namespace {

// Symbol table: for every character, its alphabet (0 or 1) and number, or -1.
struct SymbolTable {
  std::array<int8_t, 256> alphabet{};
  std::array<uint8_t, 256> number{};
  SymbolTable() {
    alphabet.fill(-1);
    for (size_t i = 0; i < integrity::kAlphabetSize; ++i) {
      alphabet[uint8_t(integrity::kAlphabet1[i])] = 0;
      number[uint8_t(integrity::kAlphabet1[i])] = uint8_t(i);
      alphabet[uint8_t(integrity::kAlphabet2[i])] = 1;
      number[uint8_t(integrity::kAlphabet2[i])] = uint8_t(i);
    }
  }
};

TextDecodeResult Error(size_t at, std::string why) { return {false, at, std::move(why)}; }

}  // namespace

TextDecodeResult DecodeText(const char* text, const char* end, std::vector<uint8_t>& out) {
  static const SymbolTable table;
  out.clear();
  out.reserve(size_t(end - text) / 3);
  uint8_t previous = 128;
  int expected = 0;  // alphabet of the next byte
  const size_t length = size_t(end - text);
  size_t i = 0;
  while (i < length) {
    const size_t start = i;
    uint32_t d = 0;
    size_t digits = 0;
    while (i < length && table.alphabet[uint8_t(text[i])] == expected) {
      if (digits == integrity::kWeights.size())
        return Error(i, "more than 12 symbols for one byte");
      d += integrity::kWeights[digits++] * table.number[uint8_t(text[i])];
      ++i;
    }
    if (digits == 0)
      return Error(start, table.alphabet[uint8_t(text[start])] < 0 ? "character outside both alphabets"
                                                                    : "alphabet does not alternate");
    if (d > 255) return Error(start, "symbols of one byte add up to more than 255");
    const uint8_t b = expected == 0 ? uint8_t(previous + d) : uint8_t(previous - d);
    out.push_back(b);
    previous = b;
    expected ^= 1;
  }
  return {true, 0, {}};
}

}  // namespace convert
