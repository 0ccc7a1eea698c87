// Sequential binary file access for the muxer: an input read in large caller-sized pieces
// and an output written through one large buffer, so that neither pass makes a system call
// per NAL unit or audio frame. Positions are 64-bit. One instance per pass and thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace convert {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

class InputFile {
 public:
  bool Open(const char* path);
  // Reads up to `size` bytes; fewer only at the end of the file or on an error.
  size_t Read(uint8_t* dst, size_t size);
  bool failed() const { return failed_; }

 private:
  FileHandle file_;
  bool failed_ = false;
};

class OutputFile {
 public:
  explicit OutputFile(size_t buffer_size = size_t(4) << 20) : buffer_(buffer_size) {}
  bool Create(const char* path);
  void Write(const void* data, size_t size);
  void WriteBe32(uint32_t value);
  // Flushes and closes; true when every byte reached the file.
  bool Finish();
  uint64_t position() const { return position_; }
  bool failed() const { return failed_; }

 private:
  void Flush();

  FileHandle file_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  uint64_t position_ = 0;
  bool failed_ = false;
};

}  // namespace convert
