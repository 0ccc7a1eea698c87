// Test helpers: a temporary folder removed at the end of the test, and running a shell
// command (the real peers: mkfs.fat, mcopy, sfdisk, ffprobe ...) with its output captured.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

struct CommandResult {
  int status = -1;     // exit status, -1 when it could not run
  std::string output;  // stdout and stderr together
};

CommandResult RunCommand(const std::string& command);

// Whether a program is on PATH (tests that need a peer skip without it).
bool HaveProgram(const std::string& name);

// The non-empty lines of a command's output.
std::vector<std::string> Lines(const std::string& text);

// The names of the entries of folder `dir`, sorted.
std::vector<std::string> Names(const std::string& dir);

}  // namespace testsupport
