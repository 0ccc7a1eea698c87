// korvan-cli on arguments that are not what they claim: FIFOs, folders and file names in
// another code page. Each is refused or reported at once, never waited on, never aborts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>

#include <nlohmann/json.hpp>

#include "convert/integrity_block.h"
#include "convert/mp4_postprocess.h"
#include "support/mp4_builder.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;
using testsupport::TempDir;

namespace {

// Runs korvan-cli with `args` under a time limit: a command blocked in open() gets killed
// and reports 124 instead of hanging the suite.
testsupport::CommandResult Cli(const std::string& args) {
  return RunCommand("timeout 20 " + std::string(KORVAN_CLI_PATH) + " " + args + " 2>&1");
}

}  // namespace

TEST(HostileInput, FifoAsMediumOrFileIsRefusedWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string command : {"info", "list"}) {
    const auto r = Cli(command + " '" + fifo + "'");
    EXPECT_EQ(r.status, 1) << command << ": " << r.output;
    EXPECT_NE(r.output.find("not a card image folder, an image file or a block device"),
              std::string::npos) << r.output;
  }
  const auto verify = Cli("verify '" + fifo + "'");
  EXPECT_EQ(verify.status, 1) << verify.output;
  EXPECT_NE(verify.output.find("unreadable: cannot read the file: not a regular file"),
            std::string::npos) << verify.output;
}

TEST(HostileInput, VerifyCallsAFolderUnreadable) {
  TempDir dir;
  const auto r = Cli("verify '" + dir.path().string() + "' --json");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("\"status\": \"unreadable\""), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("it is a folder"), std::string::npos) << r.output;
}

TEST(HostileInput, VerifyJsonReplacesBytesThatAreNotUtf8) {
  TempDir dir;
  // A Latin-1 name, sealed where it lies: the record stores the same bytes.
  const std::string path = dir / "caf\xE9.mp4";
  testsupport::WriteBytes(path, testsupport::BuildMp4(testsupport::TwoTrackSpec(5, 5)));
  card::ServiceSector bss, ess;
  const auto block = convert::BuildIntegrityBlock({&bss, &ess, 1, 2, 256, 767, path});
  std::atomic<int> code{0};
  platform::NullNoticeSink sink;
  ASSERT_EQ(convert::PostProcessMp4(path, block.data(), block.size(), code, sink), 1);

  const auto r = RunCommand(std::string(KORVAN_CLI_PATH) + " verify '" + path + "' --json");
  EXPECT_EQ(r.status, 0) << r.output;
  const nlohmann::json j = nlohmann::json::parse(r.output, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << r.output;
  EXPECT_TRUE(j["intact"].get<bool>());
  const std::string shown = j["file"], stored = j["record"]["path"];
  EXPECT_NE(shown.find("caf\xEF\xBF\xBD.mp4"), std::string::npos) << shown;
  EXPECT_NE(stored.find("caf\xEF\xBF\xBD.mp4"), std::string::npos) << stored;
}
