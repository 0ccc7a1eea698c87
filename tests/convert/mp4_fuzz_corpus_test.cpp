// Replays the inputs that fuzzing of the post-processor found interesting (tests/data/mp4_fuzz)
// with the fuzz target's rules: a refused file stays as it was, a sealed one verifies intact.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "convert/integrity_block.h"
#include "convert/mp4_postprocess.h"
#include "convert/mp4_verify.h"
#include "support/mp4_builder.h"
#include "support/temp_dir.h"

namespace convert {
namespace {

TEST(Mp4FuzzCorpus, RefusedFilesStayAndSealedFilesVerify) {
  const std::filesystem::path corpus = std::filesystem::path(KORVAN_SOURCE_DIR) / "tests/data/mp4_fuzz";
  ASSERT_TRUE(std::filesystem::is_directory(corpus));
  testsupport::TempDir dir;
  const std::string path = dir / "input.mp4";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const auto input = testsupport::ReadBytes(entry.path().string());
    testsupport::WriteBytes(path, input);
    VerifyMp4(path);
    card::ServiceSector bss, ess;
    ess.set_video_flags(1);
    const auto block = BuildIntegrityBlock({&bss, &ess, 1, 2, 3, 4, path});
    std::atomic<int> code{0};
    platform::NullNoticeSink sink;
    const auto outcome = PostProcessMp4Outcome(path, block.data(), block.size(), code, sink);
    if (outcome == PostProcessOutcome::sealed) {
      const VerifyResult r = VerifyMp4(path);
      EXPECT_EQ(r.status, VerifyStatus::intact) << entry.path() << ": " << r.problem;
    } else {
      EXPECT_EQ(testsupport::ReadBytes(path), input) << entry.path();
    }
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace convert
