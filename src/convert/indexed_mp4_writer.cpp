#include "convert/indexed_mp4_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "base/crc32.h"
#include "base/endian.h"
#include "convert/integrity_constants.h"

namespace convert {
namespace {

constexpr size_t kWindowBytes = size_t(1) << 20;

// The output file written at planned offsets through one window of consecutive bytes. A write
// inside or right after the window is gathered; one before it (a sample the stream delivers
// later than the samples placed after it) goes to the file directly; one past the window's
// end moves the window there after writing it out. Every byte of mdat belongs to exactly one
// sample, so bytes a window writes before their sample arrived are overwritten when it does.
class WindowedOutput {
 public:
  WindowedOutput() : window_(kWindowBytes) {}
  ~WindowedOutput() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Create(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ >= 0;
  }
  void Write(uint64_t at, const uint8_t* p, size_t n) {
    if (at < start_) {
      const size_t direct = size_t(std::min<uint64_t>(n, start_ - at));
      WriteDirect(at, p, direct);
      at += direct;
      p += direct;
      n -= direct;
      if (n == 0) return;
    }
    if (at + n > start_ + window_.size()) {
      Flush();
      start_ = at;
      if (n >= window_.size()) {
        WriteDirect(at, p, n);
        start_ = at + n;
        return;
      }
    }
    std::memcpy(window_.data() + (at - start_), p, n);
    used_ = std::max<size_t>(used_, size_t(at - start_) + n);
  }
  // Writes the window out and closes; false when any write failed.
  bool Finish() {
    Flush();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed && !failed_;
  }

 private:
  void Flush() {
    WriteDirect(start_, window_.data(), used_);
    start_ += used_;
    used_ = 0;
  }
  void WriteDirect(uint64_t at, const uint8_t* p, size_t n) {
    while (n > 0 && !failed_) {
      const ssize_t done = ::pwrite(fd_, p, n, off_t(at));
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) {
        failed_ = true;
        return;
      }
      at += uint64_t(done);
      p += done;
      n -= size_t(done);
    }
  }

  int fd_ = -1;
  std::vector<uint8_t> window_;
  uint64_t start_ = 0;  // file offset of window_[0]
  size_t used_ = 0;
  bool failed_ = false;
};

// Removes the output unless disarmed, as the muxer does on failure.
class RemoveUnlessKept {
 public:
  explicit RemoveUnlessKept(const std::string& path) : path_(path) {}
  ~RemoveUnlessKept() {
    if (armed_) std::remove(path_.c_str());
  }
  void Arm() { armed_ = true; }
  void Keep() { armed_ = false; }

 private:
  const std::string& path_;
  bool armed_ = false;
};

// Follows the samples through the units of the index in stream order.
class SampleCopier {
 public:
  SampleCopier(const PartIndex& index, const MovieLayout& movie, WindowedOutput& out,
               SampleCrcs& crcs)
      : movie_(movie), out_(out), crcs_(crcs),
        firstAccessUnit_(index.scans().video.first_access_unit),
        droppedAudio_(index.dropped_audio_frames()) {
    crcs_.video.assign(movie.video.sizes.size(), 0);
    crcs_.audio.assign(movie.audio.sizes.size(), 0);
  }

  int Unit(const PartIndex::Unit& u, const uint8_t* bytes) {
    return u.video ? Video(u, bytes) : Audio(u, bytes);
  }

  // Every planned sample must have been filled exactly.
  int Finish() {
    if (int error = CloseVideoSample()) return error;
    if (videoSample_ + 1 != movie_.video.sizes.size() || audioSample_ != movie_.audio.sizes.size())
      return kMuxInputChanged;
    return kMuxOk;
  }

 private:
  int Video(const PartIndex::Unit& u, const uint8_t* bytes) {
    if (!u.kept || u.accessUnit < firstAccessUnit_) return kMuxOk;
    const uint64_t sample = u.accessUnit - firstAccessUnit_;
    if (sample >= movie_.video.sizes.size()) return kMuxOk;  // units after the last picture
    if (sample != videoSample_) {
      if (int error = CloseVideoSample()) return error;
      videoSample_ = sample;
      cursor_ = movie_.video.offsets[sample];
      crc_ = base::crc32_seeded(nullptr, 0, integrity::kSampleSeed);
    }
    uint8_t length[4];
    base::store_be32(length, u.length);
    out_.Write(cursor_, length, 4);
    out_.Write(cursor_ + 4, bytes, u.length);
    crc_ = base::crc32_extend(crc_, length, 4);
    crc_ = base::crc32_extend(crc_, bytes, u.length);
    cursor_ += 4 + uint64_t(u.length);
    return kMuxOk;
  }

  int CloseVideoSample() {
    if (videoSample_ == kNone) return kMuxOk;
    const uint64_t planned = movie_.video.offsets[videoSample_] + movie_.video.sizes[videoSample_];
    if (cursor_ != planned) return kMuxInputChanged;
    crcs_.video[videoSample_] = crc_;
    return kMuxOk;
  }

  int Audio(const PartIndex::Unit& u, const uint8_t* bytes) {
    if (droppedAudio_ > 0) {
      --droppedAudio_;  // lies in front of the first picture kept
      return kMuxOk;
    }
    if (audioSample_ >= movie_.audio.sizes.size() || u.length != movie_.audio.sizes[audioSample_])
      return kMuxInputChanged;
    out_.Write(movie_.audio.offsets[audioSample_], bytes, u.length);
    crcs_.audio[audioSample_++] = base::crc32_seeded(bytes, u.length, integrity::kSampleSeed);
    return kMuxOk;
  }

  static constexpr uint64_t kNone = ~uint64_t(0);
  const MovieLayout& movie_;
  WindowedOutput& out_;
  SampleCrcs& crcs_;
  const uint64_t firstAccessUnit_;
  uint64_t droppedAudio_;
  uint64_t videoSample_ = kNone;
  uint64_t cursor_ = 0;
  uint32_t crc_ = 0;
  size_t audioSample_ = 0;
};

// The bytes of box `b`: a configuration copy, or the box read again from the ring (moving
// the reader only when the box does not follow the one read last).
const uint8_t* BoxBytes(const PartIndex& index, size_t b, StreamReader& reader, int* error) {
  const PartIndex::Box& box = index.boxes()[b];
  if (box.config >= 0) return index.configs()[size_t(box.config)].data();
  if (reader.stream_ended() || reader.sector_index() != box.start.sector ||
      reader.stream_offset() != box.start.offset) {
    StreamReader::Position p = box.start;
    p.streamEnded = false;
    p.boxSize = 0;
    if (!reader.SetPosition(p)) {
      *error = reader.error() ? reader.error() : kMuxReadFailed;
      return nullptr;
    }
  }
  reader.set_box_size(0);
  if (!reader.ReadNextBox()) {
    *error = reader.error() ? reader.error() : kMuxInputChanged;
    return nullptr;
  }
  if (reader.box().size() != box.size) {
    *error = kMuxInputChanged;
    return nullptr;
  }
  return reader.box().data();
}

int CopySamples(const PartIndex& index, StreamReader& reader, const MovieLayout& movie,
                WindowedOutput& out, SampleCrcs& crcs, const std::atomic<bool>* cancel,
                const std::function<void(double)>& onProgress) {
  SampleCopier copier(index, movie, out, crcs);
  const auto& units = index.units();
  size_t u = 0;
  for (size_t b = 0; b < index.boxes().size(); ++b) {
    if (u == units.size() || units[u].box != b) continue;  // a box without samples
    if (cancel && cancel->load(std::memory_order_relaxed)) return kIndexedWriteCancelled;
    if (onProgress && b % 256 == 0) onProgress(double(b) / double(index.boxes().size()));
    int error = kMuxOk;
    const uint8_t* bytes = BoxBytes(index, b, reader, &error);
    if (bytes == nullptr) return error;
    for (; u < units.size() && units[u].box == b; ++u) {
      if (int e = copier.Unit(units[u], bytes + units[u].offset)) return e;
    }
  }
  return copier.Finish();
}

int WriteUnchecked(const PartIndex& index, StreamReader& reader, const std::string& mp4Path,
                   SampleCrcs& crcs, const std::atomic<bool>* cancel,
                   const std::function<void(double)>& onProgress, const MuxOptions& options) {
  std::error_code ec;
  if (mp4Path.empty() || std::filesystem::is_directory(mp4Path, ec)) return kMuxPathRefused;
  MovieLayout movie = DescribeMovie(index.scans());
  movie.skipped_sectors = index.gaps();
  BoxBuffer head;
  uint64_t dataStart = 0;
  uint64_t dataBytes = 0;
  if (int error = WriteMovieHead(movie, options.co64_threshold, head, &dataStart, &dataBytes))
    return error;
  RemoveUnlessKept remover(mp4Path);
  WindowedOutput out;
  if (!out.Create(mp4Path)) return kMuxCannotCreateOutput;
  remover.Arm();
  out.Write(0, head.bytes().data(), head.size());
  const StreamReader::Position before = reader.position();
  const int error = CopySamples(index, reader, movie, out, crcs, cancel, onProgress);
  reader.set_end_reached(before.endReached);  // reading again changes nothing of the part
  const bool written = out.Finish();
  if (error != kMuxOk) return error;
  if (!written) return kMuxWriteFailed;
  remover.Keep();
  return kMuxOk;
}

}  // namespace

int WriteIndexedMp4(const PartIndex& index, StreamReader& reader, const std::string& mp4Path,
                    SampleCrcs& crcs, const std::atomic<bool>* cancel,
                    const std::function<void(double)>& onProgress, const MuxOptions& options) {
  try {
    return WriteUnchecked(index, reader, mp4Path, crcs, cancel, onProgress, options);
  } catch (const std::bad_alloc&) {
    return kMuxOutOfMemory;
  }
}

}  // namespace convert
