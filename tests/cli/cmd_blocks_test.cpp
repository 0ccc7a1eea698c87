// korvan-cli blocks, run as a program on a card image folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/image_folder.h"
#include "support/temp_dir.h"

namespace {

using testsupport::RunCommand;

std::string Blocks(const std::string& args) {
  return RunCommand(std::string(KORVAN_CLI_PATH) + " blocks " + args + " 2>&1").output;
}

TEST(CliBlocks, ListsTheRingWithTheWindowsCorrections) {
  testsupport::TempDir dir;
  ASSERT_TRUE(testsupport::WriteImageFolder(dir.path().string(), 4));
  EXPECT_EQ(Blocks(dir.path().string() + " -1 2"),
            "0x00000003 hdr=1 uid0=0x00000000 label=1003 recstate=() cycles=0x0000000000000000\n"
            "0x00000000 hdr=1 uid0=0x00000000 label=1000 recstate=() cycles=0x0000000000000000\n");
  // The default count of 128 is limited to the ring's four blocks.
  const std::string all = Blocks(dir.path().string());
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4);
  EXPECT_EQ(all.rfind("0x00000000 hdr=1", 0), 0u);
}

TEST(CliBlocks, RefusesBadInputAndUnmarkedMedia) {
  testsupport::TempDir dir;
  auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " blocks " + dir.path().string() + " 2>&1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("not marked"), std::string::npos);
  r = RunCommand(std::string(KORVAN_CLI_PATH) + " blocks " + dir.path().string() + " x 5 2>&1");
  EXPECT_EQ(r.status, 2);
  r = RunCommand(std::string(KORVAN_CLI_PATH) + " blocks " + dir.path().string() + " 5 2>&1");
  EXPECT_EQ(r.status, 2);
}

}  // namespace
