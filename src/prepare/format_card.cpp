#include "prepare/format_card.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "card/card_medium.h"
#include "card/mbr.h"
#include "platform/raw_write_session.h"

extern char** environ;

namespace prepare {

namespace {

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

// Runs argv[0] with stdout and stderr captured; the exit status, or -1 when it did not run.
int RunCaptured(const std::vector<std::string>& args, std::string& output) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    output = std::strerror(errno);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (spawned != 0) {
    ::close(fds[0]);
    output = args[0] + ": " + std::strerror(spawned);
    return -1;
  }
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buf, size_t(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

FormatTarget FormatTargetOf(const card::CardMedium& m) {
  FormatTarget t;
  if (m.imageMode || m.kind == card::MediumKind::none || m.kind == card::MediumKind::imageFolder)
    return t;
  t.path = m.kind == card::MediumKind::blockDevice ? m.devicePath : m.mediumPath;
  if (m.kind == card::MediumKind::diskImage) {
    t.offsetSectors = m.partitionStart;
    t.bytes = m.cardLength;
  } else if (m.kind == card::MediumKind::volumeImage && m.volume()) {
    // A disk image whose partition holds no FAT yet: format its first partition, never the
    // whole file over its partition table.
    base::Sector first{};
    if (platform::ReadSectorAt(*m.volume(), 0, first) && !card::IsVolumeBootSector(first) &&
        card::HasMbrSignature(first)) {
      const card::MbrEntry e = card::ReadPartitionTable(first)[0];
      const uint64_t start = uint64_t(e.firstSector) * base::kSectorSize;
      if (e.firstSector && start < m.cardLength) {
        t.offsetSectors = e.firstSector;
        t.bytes = std::min<uint64_t>(uint64_t(e.sectorCount) * base::kSectorSize, m.cardLength - start);
      }
    }
  }
  if (m.kind == card::MediumKind::blockDevice) {
    t.devicePath = m.devicePath;
    t.diskPath = m.diskPath;
    t.wholeDevice = m.diskPath.empty() || m.diskPath == m.devicePath;
  }
  return t;
}

std::vector<std::string> MkfsArguments(const FormatTarget& t, const std::string& program) {
  std::vector<std::string> a{program, "-F", "32"};
  if (t.wholeDevice) a.push_back("-I");
  if (t.offsetSectors) a.push_back("--offset=" + std::to_string(t.offsetSectors));
  a.push_back(t.path);
  if (t.bytes) a.push_back(std::to_string(t.bytes / 1024));
  return a;
}

FormatResult RunFormat(const FormatTarget& t, const std::string& program) {
  FormatResult r;
  if (t.path.empty()) {
    r.errorText = "nothing to format";
    return r;
  }
  platform::RawWriteSession session(t.devicePath, t.diskPath);
  if (!session.ready()) {
    r.errorText = "the volume could not be unmounted";
    return r;
  }
  std::string output;
  const int status = RunCaptured(MkfsArguments(t, program), output);
  r.ok = status == 0;
  if (!r.ok) {
    r.errorText = Trimmed(output);
    if (r.errorText.empty()) r.errorText = program + " failed (status " + std::to_string(status) + ")";
  }
  return r;
}

FormatResult FormatCard(card::CardMedium& m) {
  const FormatTarget t = FormatTargetOf(m);
  m.CloseMedium();
  if (t.path.empty()) return FormatResult{false, "a card image folder cannot be formatted"};
  return RunFormat(t);
}

}  // namespace prepare
