#include "convert/mux_file_io.h"

#include <cstring>

namespace convert {

bool InputFile::Open(const char* path) {
  file_.reset(std::fopen(path, "rb"));
  if (!file_) return false;
  // Reads are large; stdio's own buffer would only add a copy.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
  return true;
}

size_t InputFile::Read(uint8_t* dst, size_t size) {
  if (!file_ || failed_) return 0;
  const size_t got = std::fread(dst, 1, size, file_.get());
  if (got < size && std::ferror(file_.get())) failed_ = true;
  return got;
}

bool OutputFile::Create(const char* path) {
  file_.reset(std::fopen(path, "wb"));
  if (!file_) return false;
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
  return true;
}

void OutputFile::Write(const void* data, size_t size) {
  position_ += size;
  if (failed_) return;
  if (used_ + size <= buffer_.size()) {
    std::memcpy(buffer_.data() + used_, data, size);
    used_ += size;
    return;
  }
  Flush();
  if (size >= buffer_.size() / 2) {
    if (std::fwrite(data, 1, size, file_.get()) != size) failed_ = true;
    return;
  }
  std::memcpy(buffer_.data(), data, size);
  used_ = size;
}

void OutputFile::WriteBe32(uint32_t value) {
  const uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                            uint8_t(value)};
  Write(bytes, 4);
}

void OutputFile::Flush() {
  if (used_ > 0 && !failed_ && std::fwrite(buffer_.data(), 1, used_, file_.get()) != used_) {
    failed_ = true;
  }
  used_ = 0;
}

bool OutputFile::Finish() {
  if (!file_) return false;
  Flush();
  if (std::fclose(file_.release()) != 0) failed_ = true;
  return !failed_;
}

}  // namespace convert
