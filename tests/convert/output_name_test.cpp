#include "convert/output_name.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "convert/conversion_worker.h"
#include "convert/integrity_block.h"
#include "convert/mp4_postprocess.h"
#include "support/mp4_builder.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

records::TRecord Recording(uint32_t uid, int32_t first, int32_t last) {
  records::TRecord r;
  r.bss_index = first;
  r.ess_index = last;
  r.bss.set_poweron_uid0(uid);
  r.bss.set_serv_label_number(uint32_t(first));
  r.ess.set_serv_label_number(uint32_t(last));
  return r;
}

// Writes a sealed file at `path` holding the whole-record conversion of `r`.
void Seal(const std::string& path, const records::TRecord& r) {
  testsupport::WriteBytes(path, testsupport::BuildMp4(testsupport::TwoTrackSpec(4, 4)));
  const OutputIdentity id = WholeRecordIdentity(r);
  const auto block = BuildIntegrityBlock(
      {&r.bss, &r.ess, r.bss_index, r.ess_index, id.partStart, id.endSector, path});
  std::atomic<int> code{0};
  platform::NullNoticeSink sink;
  ASSERT_EQ(PostProcessMp4(path, block.data(), block.size(), code, sink), 1);
}

class OutputNames : public ::testing::Test {
 protected:
  std::string choose(const records::TRecord& r) {
    const OutputName n = ChooseOutputName(folder, "stamp", WholeRecordIdentity(r));
    same = n.holdsSameRecording;
    return n.baseName;
  }
  testsupport::TempDir dir;
  std::string folder = dir.path().string() + "/";
  bool same = false;
};

TEST_F(OutputNames, FreeStampIsUsedAsIs) {
  EXPECT_EQ(choose(Recording(1, 10, 12)), "stamp");
  EXPECT_FALSE(same);
}

TEST_F(OutputNames, OtherRecordingsPushToTheNextFreeNumber) {
  const records::TRecord a = Recording(1, 10, 12), b = Recording(1, 13, 15), c = Recording(2, 10, 12);
  Seal(folder + "stamp.mp4", a);
  EXPECT_EQ(choose(b), "stamp-2");
  EXPECT_FALSE(same);
  Seal(folder + "stamp-2.mp4", b);
  // Same blocks but another power-on: still another recording.
  EXPECT_EQ(choose(c), "stamp-3");
  // Each recording finds its own file again.
  EXPECT_EQ(choose(a), "stamp");
  EXPECT_TRUE(same);
  EXPECT_EQ(choose(b), "stamp-2");
  EXPECT_TRUE(same);
}

TEST_F(OutputNames, ChangedInformationSectorsMeanAnotherRecording) {
  records::TRecord a = Recording(1, 10, 12);
  Seal(folder + "stamp.mp4", a);
  a.ess.set_serv_label_number(99);  // the recorder wrote on after the first conversion
  EXPECT_EQ(choose(a), "stamp-2");
}

TEST_F(OutputNames, FilesWithoutARecordAndFirstPartsTakeTheName) {
  std::ofstream(folder + "stamp.mp4") << "not ours";
  const records::TRecord a = Recording(1, 10, 12);
  Seal(folder + "stamp-2_part01.mp4", Recording(5, 1, 2));
  EXPECT_EQ(choose(a), "stamp-3");
  Seal(folder + "stamp-3_part01.mp4", a);
  EXPECT_EQ(choose(a), "stamp-3");
  EXPECT_TRUE(same);
}

TEST_F(OutputNames, TheRecordListQueueRequestsTheSameNames) {
  const records::TRecord a = Recording(1, 10, 12), b = Recording(1, 20, 22);
  const std::string stamp = card::FormatStamp(a.bss);
  Seal(folder + stamp + ".mp4", a);
  EXPECT_EQ(convert::WholeRecordRequest(0, b, folder).convBaseName, stamp + "-2");
  EXPECT_EQ(convert::WholeRecordRequest(1, a, folder).convBaseName, stamp);
}

}  // namespace
}  // namespace convert
