// A file opened for positioned reads (and writes when asked) of an .mp4: what the
// post-processor and the verifier use. Move-only; one object per thread at a time.
// Reads and writes never move a shared position, so callers can read anywhere in any order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace convert {

class Mp4File {
 public:
  Mp4File() = default;
  ~Mp4File();
  Mp4File(Mp4File&& other) noexcept;
  Mp4File& operator=(Mp4File&& other) noexcept;
  Mp4File(const Mp4File&) = delete;
  Mp4File& operator=(const Mp4File&) = delete;

  // Opens an existing regular file; read-only unless `writable`. False when it cannot be
  // opened or is no regular file (a folder, a FIFO, a device: never waited on), with the
  // reason in `why` when given.
  bool open(const std::string& path, bool writable, std::string* why = nullptr);
  bool isOpen() const { return fd_ >= 0; }
  void close();

  // Current size in bytes (0 when unknown).
  uint64_t size() const;
  // Reads up to n bytes at `offset`; returns the count read (short at the end, 0 on error).
  size_t readAt(uint64_t offset, uint8_t* dst, size_t n) const;
  // Reads exactly n bytes at `offset`.
  bool readExact(uint64_t offset, uint8_t* dst, size_t n) const {
    return readAt(offset, dst, n) == n;
  }
  // Writes all n bytes at `offset`.
  bool writeAt(uint64_t offset, const uint8_t* src, size_t n);
  // Cuts the file to `length` bytes.
  bool truncate(uint64_t length);

 private:
  int fd_ = -1;
};

}  // namespace convert
