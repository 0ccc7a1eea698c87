// Where the hc files of a card are reached by name: a folder (a card image folder or the mount
// point of a mounted card) or our own FAT32 reader on an image file or unmounted device.
// A CardFileSystem may be shared by threads (implementations lock what they share); each
// SectorFile belongs to one caller at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "card/fat32_reader.h"
#include "card/sector_file.h"

namespace card {

class CardFileSystem {
 public:
  virtual ~CardFileSystem() = default;
  // Size in bytes of the file `name` ("hcpt0000.hcf"); nullopt when it cannot be opened.
  virtual std::optional<uint64_t> FileSize(const std::string& name) = 0;
  // Opens the file for reading; null when it cannot be opened.
  virtual std::unique_ptr<SectorFile> Open(const std::string& name) = 0;
  // The file's path as shown to the user.
  virtual std::string PathOf(const std::string& name) const = 0;
};

// Files in a folder, read through the read-ahead window. `folder` gets a trailing '/'.
// A name missing in exactly that spelling is looked up ignoring case (copies made on other
// systems may carry upper-case names).
class FolderFileSystem final : public CardFileSystem {
 public:
  explicit FolderFileSystem(std::string folder);
  std::optional<uint64_t> FileSize(const std::string& name) override;
  std::unique_ptr<SectorFile> Open(const std::string& name) override;
  std::string PathOf(const std::string& name) const override;

 private:
  std::string resolve(const std::string& name) const;
  std::string folder_;
};

// Root-directory files of a FAT32 volume through our reader. A file whose cluster chain is
// broken counts as one that cannot be opened. Each file's chain is walked once and its
// extents kept, so reopening a partition file costs no FAT reads (the volume is not changed
// while it is open: a writer reopens the medium). `label` prefixes the shown paths.
class FatFileSystem final : public CardFileSystem {
 public:
  FatFileSystem(std::shared_ptr<Fat32Reader> reader, std::string label);
  std::optional<uint64_t> FileSize(const std::string& name) override;
  std::unique_ptr<SectorFile> Open(const std::string& name) override;
  std::string PathOf(const std::string& name) const override;

 private:
  struct Located {
    uint64_t size = 0;
    std::vector<FileExtent> extents;
  };
  // The file's size and extents; nullopt when missing or its chain is broken.
  std::optional<Located> locate(const std::string& name);

  std::shared_ptr<Fat32Reader> reader_;
  std::string label_;
  std::mutex mutex_;
  std::map<std::string, std::optional<Located>> known_;
};

// "/some/folder" -> "/some/folder/"; unchanged when it already ends with '/'.
std::string WithTrailingSlash(std::string folder);

}  // namespace card
