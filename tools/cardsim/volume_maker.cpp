#include "cardsim/volume_maker.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cardsim/image_folder_sink.h"
#include "cardsim/unique_fd.h"

extern char** environ;

namespace cardsim {
namespace {

// Runs a program found on PATH with its arguments as given (no shell); output goes to
// /dev/null. mtools gets plain 8.3 entries (no long-name entries between the hc files, which
// would end the recorder's directory walk) and no geometry check. True on exit status 0.
bool Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string no_vfat = "MTOOLS_NO_VFAT=1", skip_check = "MTOOLS_SKIP_CHECK=1";
  std::vector<char*> envp = {no_vfat.data(), skip_check.data()};
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool MakeSparseFile(const std::string& path, uint64_t size) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  return fd && ::ftruncate(fd.get(), off_t(size)) == 0;
}

}  // namespace

bool MakeMarkedVolume(const std::string& image, const VolumeLayout& layout, std::string& error) {
  namespace fs = std::filesystem;
  uint64_t files = 0;
  for (uint64_t b : layout.partition_file_bytes) files += b;
  if (layout.partition_file_bytes.empty() || files + (4u << 20) > layout.volume_bytes) {
    error = "the partition files need a larger volume";
    return false;
  }
  std::error_code ec;
  fs::remove(image, ec);
  // -s 1 keeps small volumes FAT32 (it needs 65525 clusters); large ones take the default.
  std::vector<std::string> mkfs = {"mkfs.fat", "-F", "32", "-C", image,
                                   std::to_string(layout.volume_bytes / 1024)};
  if (layout.volume_bytes < (256ull << 20)) mkfs.insert(mkfs.begin() + 3, {"-s", "1"});
  if (!Run(mkfs)) {
    error = "mkfs.fat failed (is dosfstools installed?)";
    return false;
  }
  const fs::path work = fs::path(image).parent_path() / (fs::path(image).filename().string() + ".parts");
  fs::create_directories(work, ec);
  std::vector<std::pair<std::string, uint64_t>> names = {{"hc00info.hcf", 1024}, {"hc01info.hcf", 1024}};
  for (size_t k = 0; k < layout.partition_file_bytes.size(); ++k)
    names.emplace_back(PartitionFileName(int(k)), layout.partition_file_bytes[k]);
  bool ok = true;
  for (const auto& [name, size] : names) {
    const std::string part = (work / name).string();
    ok = MakeSparseFile(part, size) && Run({"mcopy", "-i", image, part, "::" + name});
    fs::remove(part, ec);
    if (!ok) {
      error = "mcopy of " + name + " failed (is mtools installed?)";
      break;
    }
  }
  fs::remove_all(work, ec);
  return ok;
}

}  // namespace cardsim
