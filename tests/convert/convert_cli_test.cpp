// korvan-cli convert: argument handling that needs no card.
#include <gtest/gtest.h>

#include "support/temp_dir.h"

using testsupport::RunCommand;

namespace {

int Convert(const std::string& args) {
  return RunCommand(std::string(KORVAN_CLI_PATH) + " convert " + args).status;
}

}  // namespace

TEST(ConvertCli, BadUsageExitsWith2) {
  testsupport::TempDir dir;
  const std::string d = dir.path().string();
  EXPECT_EQ(Convert(""), 2);
  EXPECT_EQ(Convert(d), 2) << "OUTDIR missing";
  EXPECT_EQ(Convert(d + " " + d + " --records"), 2);
  EXPECT_EQ(Convert(d + " " + d + " --records 1,x"), 2);
  EXPECT_EQ(Convert(d + " " + d + " --records 1 --all"), 2);
  EXPECT_EQ(Convert(d + " " + d + " --range 10 20"), 2) << "--range needs --record";
  EXPECT_EQ(Convert(d + " " + d + " --record 1"), 2);
  EXPECT_EQ(Convert(d + " " + d + " --range 10 20 --record 0 --all"), 2);
  EXPECT_EQ(Convert(d + " " + d + " --bogus"), 2);
}

TEST(ConvertCli, MissingOutputFolderOrUnmarkedMediumExitsWith1) {
  testsupport::TempDir dir;
  const std::string d = dir.path().string();
  const auto missing = RunCommand(std::string(KORVAN_CLI_PATH) + " convert " + d + " " + d +
                                  "/nowhere");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("does not exist"), std::string::npos) << missing.output;
  EXPECT_EQ(Convert(d + " " + d), 1) << "an empty folder is no card";
  EXPECT_EQ(Convert(d + " " + d + " --thorough"), 1) << "--thorough is an option, not bad usage";
}
