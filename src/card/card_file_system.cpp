#include "card/card_file_system.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

namespace card {

namespace fs = std::filesystem;

namespace {

// A file in a folder, opened as a raw volume (positioned reads) behind the read-ahead window.
class FolderFile final : public ReadAheadFile {
 public:
  explicit FolderFile(std::unique_ptr<platform::RawVolume> file) : file_(std::move(file)) {}

 protected:
  size_t fetch(uint64_t offset, std::span<uint8_t> out) override {
    return file_->read_at(offset, out);
  }

 private:
  std::unique_ptr<platform::RawVolume> file_;
};

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
         });
}

}  // namespace

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

FolderFileSystem::FolderFileSystem(std::string folder) : folder_(WithTrailingSlash(folder)) {}

std::string FolderFileSystem::resolve(const std::string& name) const {
  const std::string exact = folder_ + name;
  std::error_code ec;
  if (fs::exists(exact, ec)) return exact;
  for (const auto& entry : fs::directory_iterator(folder_, ec)) {
    const std::string found = entry.path().filename().string();
    if (EqualIgnoringCase(found, name)) return folder_ + found;
  }
  return exact;
}

std::optional<uint64_t> FolderFileSystem::FileSize(const std::string& name) {
  const auto f = platform::OpenFileVolume(resolve(name), false, nullptr);
  if (!f) return std::nullopt;
  return f->length();
}

std::unique_ptr<SectorFile> FolderFileSystem::Open(const std::string& name) {
  auto f = platform::OpenFileVolume(resolve(name), false, nullptr);
  if (!f) return nullptr;
  return std::make_unique<FolderFile>(std::move(f));
}

std::string FolderFileSystem::PathOf(const std::string& name) const { return resolve(name); }

FatFileSystem::FatFileSystem(std::shared_ptr<Fat32Reader> reader, std::string label)
    : reader_(std::move(reader)), label_(std::move(label)) {}

std::optional<FatFileSystem::Located> FatFileSystem::locate(const std::string& name) {
  std::lock_guard lock(mutex_);
  const auto it = known_.find(name);
  if (it != known_.end()) return it->second;
  std::optional<Located> found;
  if (const auto e = reader_->FindInRoot(name)) {
    if (auto extents = reader_->Extents(e->firstCluster, e->size))
      found = Located{e->size, std::move(*extents)};
  }
  known_[name] = found;
  return found;
}

std::optional<uint64_t> FatFileSystem::FileSize(const std::string& name) {
  const auto f = locate(name);
  if (!f) return std::nullopt;
  return f->size;
}

std::unique_ptr<SectorFile> FatFileSystem::Open(const std::string& name) {
  auto f = locate(name);
  if (!f) return nullptr;
  return std::make_unique<FatFile>(reader_->volume(), std::move(f->extents), f->size);
}

std::string FatFileSystem::PathOf(const std::string& name) const { return label_ + ":" + name; }

}  // namespace card
