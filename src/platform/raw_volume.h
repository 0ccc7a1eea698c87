// Raw byte access to a volume: an image file, a block device, or a window inside one.
//
// The card is only ever touched in whole sectors at explicit byte offsets; this interface is
// the door for all of it. Reads and writes return the number of bytes transferred (a short
// count is a failure the caller reports). Implementations are safe to call from several
// threads at once (positioned I/O, no shared file offset).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "base/sector.h"

namespace platform {

class RawVolume {
 public:
  virtual ~RawVolume() = default;
  // Reads up to out.size() bytes at byte `offset`; returns the bytes transferred.
  virtual size_t read_at(uint64_t offset, std::span<uint8_t> out) = 0;
  // Writes in at byte `offset`; returns the bytes transferred (0 when read-only).
  virtual size_t write_at(uint64_t offset, std::span<const uint8_t> in) = 0;
  // Pushes written data to the medium (fsync); true on success.
  virtual bool flush() = 0;
  // Length in bytes (device size or file size); 0 when unknown.
  virtual uint64_t length() const = 0;
  virtual bool writable() const = 0;
  // errno-style code of the last failed transfer, 0 when none.
  virtual int last_error() const = 0;
};

// Sector helpers: true when exactly 512 bytes moved.
inline bool ReadSectorAt(RawVolume& v, uint64_t sector, base::Sector& out) {
  return v.read_at(sector * base::kSectorSize, out) == base::kSectorSize;
}
inline bool WriteSectorAt(RawVolume& v, uint64_t sector, const base::Sector& in) {
  return v.write_at(sector * base::kSectorSize, in) == base::kSectorSize;
}

// Opens an image file or a block device; read-only unless `writable`. Returns null and sets
// *error (errno) when it cannot be opened.
std::unique_ptr<RawVolume> OpenFileVolume(const std::string& path, bool writable, int* error);

// A byte range [start, start + length) of another volume: the partition of a whole-disk image.
// Transfers are clipped at the window's end.
class WindowVolume final : public RawVolume {
 public:
  WindowVolume(std::shared_ptr<RawVolume> base, uint64_t start, uint64_t length)
      : base_(std::move(base)), start_(start), length_(length) {}
  size_t read_at(uint64_t offset, std::span<uint8_t> out) override;
  size_t write_at(uint64_t offset, std::span<const uint8_t> in) override;
  bool flush() override { return base_->flush(); }
  uint64_t length() const override { return length_; }
  bool writable() const override { return base_->writable(); }
  int last_error() const override { return base_->last_error(); }

 private:
  size_t clip(uint64_t offset, size_t n) const;
  std::shared_ptr<RawVolume> base_;
  uint64_t start_, length_;
};

}  // namespace platform
