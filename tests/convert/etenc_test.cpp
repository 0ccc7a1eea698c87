#include "convert/etenc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>
#include <string>

#include "convert/etdec.h"
#include "convert/integrity_constants.h"

namespace convert {
namespace {

std::vector<uint8_t> RandomBytes(std::mt19937& gen, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(gen());
  return v;
}

// Splits encoded text into the symbol groups of each byte (alphabet changes).
std::vector<std::string> Groups(const std::string& text) {
  const std::string first = integrity::kAlphabet1;
  std::vector<std::string> groups;
  int current = -1;
  for (char c : text) {
    const int alphabet = first.find(c) != std::string::npos ? 0 : 1;
    if (alphabet != current) groups.emplace_back();
    groups.back().push_back(c);
    current = alphabet;
  }
  return groups;
}

TEST(TextEncoderConstants, AlphabetsSplitDigitsAndLettersAndWeightsAreSound) {
  const std::string all = std::string(integrity::kAlphabet1) + integrity::kAlphabet2;
  EXPECT_EQ(std::set<char>(all.begin(), all.end()).size(), 36u);
  for (char c : all) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) << c;
  EXPECT_EQ(integrity::kWeights[0], 1u);
  int ones = 0;
  for (uint32_t w : integrity::kWeights) {
    EXPECT_GT(w, 0u);
    ones += w == 1;
  }
  EXPECT_GE(ones, 3);
}

TEST(TextEncoder, RoundTripsRandomDataForManySeeds) {
  std::mt19937 gen(7);
  for (unsigned seed = 1; seed <= 200; ++seed) {
    std::srand(seed);
    const auto data = RandomBytes(gen, 1 + gen() % 300);
    std::string text;
    ResetEncoder();
    for (size_t at = 0; at < data.size(); at += 24)
      EncodeBytes(data.data() + at, std::min<size_t>(24, data.size() - at), text);
    std::vector<uint8_t> back;
    ASSERT_TRUE(DecodeText(text.data(), text.data() + text.size(), back).ok) << seed;
    ASSERT_EQ(back, data) << seed;
    for (const std::string& g : Groups(text)) ASSERT_LE(g.size(), 12u);
    ASSERT_EQ(Groups(text).size(), data.size());
  }
}

TEST(TextEncoder, SameBytesGiveDifferentTextFromRunToRun) {
  std::vector<uint8_t> data(64, 0x00);
  data[10] = 0xFF;
  std::string a, b;
  std::srand(1);
  ResetEncoder();
  EncodeBytes(data.data(), data.size(), a);
  std::srand(2);
  ResetEncoder();
  EncodeBytes(data.data(), data.size(), b);
  EXPECT_NE(a, b);
}

TEST(TextEncoder, ResetStartsFromByte128InTheFirstAlphabet) {
  std::string text;
  ResetEncoder();
  const uint8_t bytes[] = {128, 128, 129};
  EncodeBytes(bytes, 3, text);
  // d = 0 gives the single symbol 0; 129 under the first alphabet is one step up.
  const std::string expected = {integrity::kAlphabet1[0], integrity::kAlphabet2[0],
                                integrity::kAlphabet1[1]};
  EXPECT_EQ(text, expected);
}

// Draws that never help (always 0, or always the largest digit) would need more than 12
// symbols for large differences; every byte must still end within 12 and decode.
TEST(TextEncoder, UnluckyDrawsStayWithinTwelveSymbolsAndDecode) {
  for (int fixed : {0, 17, 8, 1}) {
    TextEncoder encoder([fixed] { return fixed; });
    std::vector<uint8_t> data;
    for (int i = 0; i < 512; ++i) data.push_back(uint8_t(i * 37 + (i >> 1)));
    std::string text;
    encoder.reset();
    encoder.encode(data.data(), data.size(), text);
    for (const std::string& g : Groups(text)) ASSERT_LE(g.size(), 12u) << fixed;
    std::vector<uint8_t> back;
    ASSERT_TRUE(DecodeText(text.data(), text.data() + text.size(), back).ok);
    EXPECT_EQ(back, data) << fixed;
  }
}

TEST(TextDecoder, RejectsForeignCharactersOverlongGroupsAndOverflow) {
  std::vector<uint8_t> out;
  const std::string bad = std::string(1, integrity::kAlphabet1[0]) + "#";
  auto r = DecodeText(bad.data(), bad.data() + bad.size(), out);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errorAt, 1u);

  const std::string longGroup(13, integrity::kAlphabet1[0]);
  EXPECT_FALSE(DecodeText(longGroup.data(), longGroup.data() + 13, out).ok);

  const std::string big(12, integrity::kAlphabet1[17]);  // 17 * sum of weights > 255
  r = DecodeText(big.data(), big.data() + 12, out);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errorAt, 0u);

  const std::string wrongStart(1, integrity::kAlphabet2[0]);
  EXPECT_FALSE(DecodeText(wrongStart.data(), wrongStart.data() + 1, out).ok);
}

}  // namespace
}  // namespace convert
