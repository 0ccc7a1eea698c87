#include "cardsim/image_folder_sink.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "cardsim/unique_fd.h"

namespace cardsim {
namespace fs = std::filesystem;

std::string PartitionFileName(int k) {
  char name[16];
  std::snprintf(name, sizeof name, "hcpt%04d.hcf", k);
  return name;
}

namespace {

constexpr uint64_t kInfoFileBytes = 1024;

class ImageFolderSink final : public CardSink {
 public:
  bool Open(const std::string& folder, const std::vector<uint64_t>& sizes) {
    folder_ = folder;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) return Fail("cannot create the folder " + folder);
    // Stale partition files would extend the region the reader sees.
    static const std::regex kPartName("hcpt[0-9]{4}\\.hcf", std::regex::icase);
    for (const auto& entry : fs::directory_iterator(folder, ec))
      if (std::regex_match(entry.path().filename().string(), kPartName)) fs::remove(entry.path(), ec);
    for (const char* name : {"hc00info.hcf", "hc01info.hcf"}) {
      UniqueFd fd = Create(name, kInfoFileBytes);
      if (!fd) return false;
      info_.push_back(std::move(fd));
    }
    for (size_t k = 0; k < sizes.size(); ++k) {
      UniqueFd fd = Create(PartitionFileName(int(k)), sizes[k]);
      if (!fd) return false;
      parts_.push_back(std::move(fd));
    }
    sizes_ = sizes;
    return true;
  }

  bool WriteRegion(uint32_t first, const uint8_t* data, uint32_t count) override {
    const uint64_t per_file = sizes_[0] / 512;
    const uint64_t k = first / per_file, s = first % per_file;
    if (k >= parts_.size() || (s + count) * 512 > sizes_[k])
      return Fail("region sector " + std::to_string(first) + " lies outside the partition files");
    if (!WriteAllAt(parts_[k].get(), data, size_t(count) * 512, s * 512))
      return Fail("cannot write " + PartitionFileName(int(k)));
    return true;
  }

  bool WriteServiceSector(const base::Sector& sector) override {
    for (auto& fd : info_)
      if (!WriteAllAt(fd.get(), sector.data(), sector.size(), 0))
        return Fail("cannot write the info files");
    return true;
  }

  bool ApplyFileDamage(const Damage& d) override {
    const size_t k = size_t(d.file);
    const std::string path = (fs::path(folder_) / PartitionFileName(int(k))).string();
    if (k < parts_.size()) parts_[k].reset();
    if (d.kind == DamageKind::missing_file) {
      if (::unlink(path.c_str()) != 0) return Fail("cannot delete " + path);
    } else if (::truncate(path.c_str(), off_t(d.bytes)) != 0) {
      return Fail("cannot truncate " + path);
    }
    return true;
  }

  // pwrite has handed everything to the kernel; readers see it without an fsync, and test
  // cards are not worth the wait for the disk.
  bool Finish() override { return true; }

 private:
  UniqueFd Create(const std::string& name, uint64_t size) {
    const std::string path = (fs::path(folder_) / name).string();
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd || ::ftruncate(fd.get(), off_t(size)) != 0) {
      Fail("cannot create " + path);
      return UniqueFd();
    }
    return fd;
  }

  std::string folder_;
  std::vector<uint64_t> sizes_;
  std::vector<UniqueFd> info_, parts_;
};

}  // namespace

std::unique_ptr<CardSink> OpenImageFolder(const std::string& folder,
                                          const std::vector<uint64_t>& partition_file_bytes,
                                          std::string& error) {
  auto sink = std::make_unique<ImageFolderSink>();
  if (!sink->Open(folder, partition_file_bytes)) {
    error = sink->error();
    return nullptr;
  }
  return sink;
}

}  // namespace cardsim
