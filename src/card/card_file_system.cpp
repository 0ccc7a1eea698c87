#include "card/card_file_system.h"

#include <strings.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace card {

namespace fs = std::filesystem;

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// A stdio file with its own 1 MiB buffer: sequential sector reads become 1 MiB reads.
class StdioSectorFile final : public SectorFile {
 public:
  static constexpr size_t kBuffer = 1 << 20;
  explicit StdioSectorFile(std::unique_ptr<FILE, FileCloser> f)
      : buffer_(kBuffer), file_(std::move(f)) {
    std::setvbuf(file_.get(), buffer_.data(), _IOFBF, buffer_.size());
  }
  size_t read(uint64_t offset, std::span<uint8_t> out) override {
    // Seeking to the position stdio already holds keeps its buffer.
    if (position_ != offset) {
      if (fseeko(file_.get(), off_t(offset), SEEK_SET) != 0) return 0;
    }
    const size_t n = std::fread(out.data(), 1, out.size(), file_.get());
    position_ = n == out.size() ? offset + n : UINT64_MAX;
    return n;
  }

 private:
  std::vector<char> buffer_;  // declared before file_: it must outlive the FILE
  std::unique_ptr<FILE, FileCloser> file_;
  uint64_t position_ = 0;
};

class FatSectorFile final : public SectorFile {
 public:
  explicit FatSectorFile(std::unique_ptr<FatFile> f) : file_(std::move(f)) {}
  size_t read(uint64_t offset, std::span<uint8_t> out) override {
    return file_->read(offset, out);
  }

 private:
  std::unique_ptr<FatFile> file_;
};

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
    if (strcasecmp(found.c_str(), name.c_str()) == 0) return folder_ + found;
  }
  return exact;
}

std::optional<uint64_t> FolderFileSystem::FileSize(const std::string& name) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(resolve(name).c_str(), "rb"));
  if (!f) return std::nullopt;
  if (fseeko(f.get(), 0, SEEK_END) != 0) return std::nullopt;
  const off_t size = ftello(f.get());
  if (size < 0) return std::nullopt;
  return uint64_t(size);
}

std::unique_ptr<SectorFile> FolderFileSystem::Open(const std::string& name) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(resolve(name).c_str(), "rb"));
  if (!f) return nullptr;
  return std::make_unique<StdioSectorFile>(std::move(f));
}

std::string FolderFileSystem::PathOf(const std::string& name) const { return resolve(name); }

FatFileSystem::FatFileSystem(std::shared_ptr<Fat32Reader> reader, std::string label)
    : reader_(std::move(reader)), label_(std::move(label)) {}

std::optional<uint64_t> FatFileSystem::FileSize(const std::string& name) {
  const auto e = reader_->FindInRoot(name);
  if (!e || !reader_->Extents(e->firstCluster, e->size)) return std::nullopt;
  return e->size;
}

std::unique_ptr<SectorFile> FatFileSystem::Open(const std::string& name) {
  const auto e = reader_->FindInRoot(name);
  if (!e) return nullptr;
  auto file = reader_->Open(*e);
  if (!file) return nullptr;
  return std::make_unique<FatSectorFile>(std::move(file));
}

std::string FatFileSystem::PathOf(const std::string& name) const { return label_ + ":" + name; }

}  // namespace card
