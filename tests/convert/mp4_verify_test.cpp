#include "convert/mp4_verify.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/etdec.h"
#include "convert/etenc.h"
#include "convert/integrity_block.h"
#include "convert/integrity_constants.h"
#include "convert/mp4_postprocess.h"
#include "support/mp4_builder.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;
using Bytes = std::vector<uint8_t>;

class Verify : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir / "sealed.mp4";
    original = testsupport::BuildMp4(testsupport::TwoTrackSpec(30, 50));
    WriteBytes(path, original);
    card::ServiceSector bss, ess;
    bss.set_poweron_uid0(0xA1B2C3D4);
    const auto block = BuildIntegrityBlock({&bss, &ess, 70000, 70009, 1280, 4095, path});
    std::atomic<int> code{0};
    platform::NullNoticeSink sink;
    ASSERT_EQ(PostProcessMp4(path, block.data(), block.size(), code, sink), 1);
    sealed = ReadBytes(path);
  }

  // Decodes the record, lets `change` edit it, encodes it again in place of the old text.
  void rewriteRecord(const std::function<void(Bytes&, size_t pathLength)>& change) {
    const char* text = reinterpret_cast<const char*>(sealed.data() + original.size() + 8);
    Bytes record;
    ASSERT_TRUE(DecodeText(text, reinterpret_cast<const char*>(sealed.data() + sealed.size()), record).ok);
    change(record, base::load_le16(&record[16]));
    std::string encoded;
    ResetEncoder();
    EncodeBytes(record.data(), record.size(), encoded);
    Bytes f(original);
    f.resize(f.size() + 8);
    base::store_be32(&f[original.size()], uint32_t(8 + encoded.size()));
    std::copy_n("skip", 4, &f[original.size() + 4]);
    f.insert(f.end(), encoded.begin(), encoded.end());
    WriteBytes(path, f);
  }

  testsupport::TempDir dir;
  std::string path;
  Bytes original, sealed;
};

TEST_F(Verify, IntactFilePassesAndShowsItsFields) {
  const VerifyResult r = VerifyMp4(path);
  EXPECT_EQ(r.status, VerifyStatus::intact) << r.problem;
  ASSERT_TRUE(r.decoded);
  EXPECT_EQ(r.record.path, path);
  EXPECT_EQ(r.record.poweronUid0, 0xA1B2C3D4u);
  EXPECT_EQ(r.record.partStart, 1280u);
  EXPECT_EQ(r.record.endSector, 4095u);
  EXPECT_EQ(r.record.firstBlock, uint16_t(70000));
  EXPECT_EQ(r.record.lastBlock, uint16_t(70009));
  EXPECT_EQ(r.record.videoSamples, 30u);
  EXPECT_EQ(r.record.audioSamples, 50u);
  EXPECT_EQ(r.recordOffset, original.size());
  EXPECT_EQ(r.textLength, sealed.size() - original.size() - 8);
}

TEST_F(Verify, FlippedSampleByteNamesTheSample) {
  const int64_t stco = testsupport::FindBox(sealed, "stco", 1);  // audio offsets
  Bytes f = sealed;
  f[base::load_be32(&f[size_t(stco + 16 + 4 * 17)]) + 3] ^= 0x10;
  WriteBytes(path, f);
  VerifyResult r = VerifyMp4(path);
  EXPECT_EQ(r.status, VerifyStatus::notIntact);
  EXPECT_EQ(r.field, "audioSample");
  EXPECT_EQ(r.sampleIndex, 17);

  f = sealed;
  const int64_t video = testsupport::FindBox(sealed, "stco");
  f[base::load_be32(&f[size_t(video + 16 + 4 * 29)])] ^= 1;
  WriteBytes(path, f);
  r = VerifyMp4(path);
  EXPECT_EQ(r.field, "videoSample");
  EXPECT_EQ(r.sampleIndex, 29);
}

TEST_F(Verify, ChangedBlockOrRecordFieldsNameTheFailingCrc) {
  struct Case {
    std::function<void(Bytes&, size_t)> change;
    const char* field;
  };
  const std::vector<Case> cases = {
      {[](Bytes& r, size_t) { r[20] ^= 1; }, "pathCrc"},
      {[](Bytes& r, size_t L) { r[30 + L + 56] ^= 1; }, "lastSectorHeadCrc"},
      {[](Bytes& r, size_t L) { r[162 + L + 300 - 256] ^= 1; }, "lastSectorTailCrc"},
      {[](Bytes& r, size_t L) { r[422 + L] ^= 1; }, "firstSectorHeadCrc"},
      {[](Bytes& r, size_t L) { r[462 + L + 63] ^= 1; }, "firstSectorTailCrc"},
      {[](Bytes& r, size_t L) { r[530 + L + 20] ^= 1; }, "constants"},
      {[](Bytes& r, size_t L) { r[22 + L] ^= 1; }, "blockCrc"},  // modification time
      {[](Bytes& r, size_t) { r[r.size() - 8] ^= 1; }, "recordCrc"},  // T
      {[](Bytes& r, size_t L) { r[582 + L + 4] ^= 1; }, "recordCrc"},  // first video CRC
      {[](Bytes& r, size_t) { r.resize(r.size() - 4); }, "record"},
  };
  for (const Case& c : cases) {
    rewriteRecord(c.change);
    const VerifyResult r = VerifyMp4(path);
    EXPECT_EQ(r.status, VerifyStatus::notIntact) << c.field;
    EXPECT_EQ(r.field, c.field) << r.problem;
  }
}

TEST_F(Verify, DamagedTextIsNotIntact) {
  Bytes f = sealed;
  f[original.size() + 8 + 5] = '#';
  WriteBytes(path, f);
  VerifyResult r = VerifyMp4(path);
  EXPECT_EQ(r.field, "text");
  EXPECT_NE(r.problem.find("character 5"), std::string::npos) << r.problem;

  // A symbol swapped for another of the same alphabet changes one byte of the record.
  f = sealed;
  const size_t at = original.size() + 8 + 40;
  const std::string a1 = integrity::kAlphabet1, a2 = integrity::kAlphabet2;
  const std::string& alphabet = a1.find(char(f[at])) != std::string::npos ? a1 : a2;
  f[at] = uint8_t(alphabet[(alphabet.find(char(f[at])) + 1) % alphabet.size()]);
  WriteBytes(path, f);
  r = VerifyMp4(path);
  EXPECT_EQ(r.status, VerifyStatus::notIntact);
}

TEST_F(Verify, UnsealedTrailingAndUnreadableFilesAreReported) {
  WriteBytes(path, original);
  EXPECT_EQ(VerifyMp4(path).field, "record");
  Bytes f = sealed;
  f.push_back(0);
  WriteBytes(path, f);
  EXPECT_EQ(VerifyMp4(path).field, "trailingData");
  EXPECT_EQ(VerifyMp4(dir / "none.mp4").status, VerifyStatus::unreadable);
  f = sealed;
  base::store_be32(&f[size_t(testsupport::FindBox(f, "moov"))], 0x7FFFFFFF);
  WriteBytes(path, f);
  EXPECT_EQ(VerifyMp4(path).status, VerifyStatus::unreadable);
}

#ifdef KORVAN_CLI_PATH
TEST_F(Verify, CliExitStatusAndJson) {
  using testsupport::RunCommand;
  auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " verify '" + path + "' --json 2>/dev/null");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("\"intact\": true"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"partStart\": 1280"), std::string::npos);

  Bytes f = sealed;
  f[original.size() + 8 + 5] = '#';
  WriteBytes(path, f);
  r = RunCommand(std::string(KORVAN_CLI_PATH) + " verify '" + path + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("not intact: integrity text"), std::string::npos) << r.output;

  EXPECT_EQ(RunCommand(std::string(KORVAN_CLI_PATH) + " verify").status, 2);
  EXPECT_EQ(RunCommand(std::string(KORVAN_CLI_PATH) + " verify a b").status, 2);
}
#endif

}  // namespace
}  // namespace convert
