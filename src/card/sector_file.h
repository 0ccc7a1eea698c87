// One open hc file read at byte offsets, and the read-ahead every such file reads through.
//
// ReadAheadFile serves reads from a 1 MiB window when they follow each other: a read that
// continues where the previous one ended refills the window with one transfer of up to 1 MiB,
// so a sequential walk costs one system call per MiB. A read elsewhere (a probe of a single
// information sector) fetches only the bytes asked for, so scattered probes do not drag a
// MiB each off the card. One caller at a time (the partition-file reader locks around it).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace card {

class SectorFile {
 public:
  virtual ~SectorFile() = default;
  // Reads up to out.size() bytes at `offset`; returns the bytes read (short at the end).
  virtual size_t read(uint64_t offset, std::span<uint8_t> out) = 0;
};

class ReadAheadFile : public SectorFile {
 public:
  static constexpr size_t kWindow = 1 << 20;
  size_t read(uint64_t offset, std::span<uint8_t> out) final;

 protected:
  // Reads up to out.size() bytes at `offset` from the medium; may stop early (end of a
  // contiguous run); 0 at the end of the file or on failure.
  virtual size_t fetch(uint64_t offset, std::span<uint8_t> out) = 0;

 private:
  std::vector<uint8_t> window_;  // allocated on the first sequential read
  uint64_t windowStart_ = 0;
  size_t windowLength_ = 0;
  uint64_t nextSequential_ = UINT64_MAX;
};

}  // namespace card
