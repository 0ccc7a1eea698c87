// Box payloads rewritten into start-code form for the decoder.
#include <gtest/gtest.h>

#include "convert/qbox_builder.h"
#include "preview/nal_rewrite.h"

namespace {

using namespace testsupport;
using preview::RewriteToStartCodes;
namespace qbox = convert::qbox;

const Bytes kStartCode = {0, 0, 0, 1};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(NalRewrite, UnitsGetStartCodesAndEightPaddingBytes) {
  const Bytes a = {0x67, 1, 2}, b = {0x68, 3};
  const Bytes box = MakeBox({qbox::kStreamVideo, qbox::kSampleKeyFrame, NalPayload({a, b})});
  Bytes out;
  const size_t length = RewriteToStartCodes(box, out);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + long(length)), Join({kStartCode, a, kStartCode, b}));
  EXPECT_EQ(out.size(), length + 8);
  EXPECT_EQ(Bytes(out.begin() + long(length), out.end()), Bytes(8, 0));
}

TEST(NalRewrite, SampleInfoPrefixIsSkipped) {
  const Bytes a = {0x65, 9, 9, 9};
  const Bytes box = MakeBox({qbox::kStreamVideo, qbox::kSampleKeyFrame | qbox::kSampleInfo,
                             Join({Bytes(16, 0xAB), NalPayload({a})})});
  Bytes out;
  const size_t length = RewriteToStartCodes(box, out);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + long(length)), Join({kStartCode, a}));
}

TEST(NalRewrite, ZeroLengthEndsTheWalk) {
  const Bytes a = {0x65, 1, 2, 3};
  Bytes payload = Join({NalPayload({a}), Bytes{0, 0, 0, 0}, NalPayload({a})});
  const Bytes box = MakeBox({qbox::kStreamVideo, qbox::kSampleKeyFrame, payload});
  Bytes out;
  EXPECT_EQ(RewriteToStartCodes(box, out), 8u);
}

TEST(NalRewrite, PayloadLengthPastTheBoxStopsAtTheBoxEnd) {
  const Bytes a = {0x65, 1, 2, 3, 4, 5};
  Bytes box = MakeBox({qbox::kStreamVideo, qbox::kSampleKeyFrame, NalPayload({a}), true});
  base::store_be32(&box[28], 100000);  // claims far more than the box holds
  // Bytes after the box that must not be read: a unit length that would fit them.
  Bytes buffer = box;
  const Bytes after = NalPayload({Bytes(40, 0x41)});
  buffer.insert(buffer.end(), after.begin(), after.end());
  Bytes out;
  const size_t length = RewriteToStartCodes(std::span(buffer).first(box.size()), out);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + long(length)), Join({kStartCode, a}));
  // A unit whose length runs past the box end is dropped, not read past it.
  Bytes longUnit = MakeBox({qbox::kStreamVideo, qbox::kSampleKeyFrame, NalPayload({a})});
  base::store_be32(&longUnit[24], 7);  // one byte more than the box holds
  EXPECT_EQ(RewriteToStartCodes(longUnit, out), 0u);
}

TEST(NalRewrite, AudioBoxesAreNotRewritten) {
  const Bytes box = AudioConfigBox(48000, 1);
  Bytes out;
  EXPECT_EQ(RewriteToStartCodes(box, out), 0u);
}

}  // namespace
