// Where the hc files of a card are reached by name: a folder (a card image folder or the mount
// point of a mounted card) or our own FAT32 reader on an image file or unmounted device.
// A CardFileSystem may be shared by threads (implementations lock what they share); each
// SectorFile belongs to one caller at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "card/fat32_reader.h"

namespace card {

class SectorFile {
 public:
  virtual ~SectorFile() = default;
  // Reads up to out.size() bytes at `offset`; returns the bytes read.
  virtual size_t read(uint64_t offset, std::span<uint8_t> out) = 0;
};

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

// Files in a folder, read through stdio with a 1 MiB buffer. `folder` gets a trailing '/'.
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
// broken counts as one that cannot be opened. `label` prefixes the shown paths.
class FatFileSystem final : public CardFileSystem {
 public:
  FatFileSystem(std::shared_ptr<Fat32Reader> reader, std::string label);
  std::optional<uint64_t> FileSize(const std::string& name) override;
  std::unique_ptr<SectorFile> Open(const std::string& name) override;
  std::string PathOf(const std::string& name) const override;

 private:
  std::shared_ptr<Fat32Reader> reader_;
  std::string label_;
};

// "/some/folder" -> "/some/folder/"; unchanged when it already ends with '/'.
std::string WithTrailingSlash(std::string folder);

}  // namespace card
