#include "convert/es_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "convert/conversion_errors.h"

namespace convert {

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr int kCreateAttempts = 100;

}  // namespace

ElementaryStreamFiles::ElementaryStreamFiles()
    : videoBuffer_(kBufferSize), audioBuffer_(kBufferSize) {}

ElementaryStreamFiles::~ElementaryStreamFiles() { Remove(); }

int ElementaryStreamFiles::Create(const std::string& dir) {
  Remove();
  writeFailed_ = false;
  const std::string pattern = dir + "hcXXXXXX.264";
  if (pattern.size() > kMaxPathLength) return kErrPathTooLong;
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    std::string video = pattern;
    const int vfd = mkostemps(video.data(), 4, O_CLOEXEC);
    if (vfd < 0) return kErrTempFile;
    std::string audio = video.substr(0, video.size() - 3) + "aac";
    const int afd = open(audio.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (afd < 0) {
      const int err = errno;
      close(vfd);
      unlink(video.c_str());
      if (err == EEXIST) continue;  // the .aac name is taken: draw another name
      return kErrTempFile;
    }
    video_.reset(fdopen(vfd, "wb"));
    audio_.reset(fdopen(afd, "wb"));
    videoPath_ = std::move(video);
    audioPath_ = std::move(audio);
    if (!video_ || !audio_) {
      if (!video_) close(vfd);
      if (!audio_) close(afd);
      Remove();
      return kErrTempFile;
    }
    std::setvbuf(video_.get(), videoBuffer_.data(), _IOFBF, videoBuffer_.size());
    std::setvbuf(audio_.get(), audioBuffer_.data(), _IOFBF, audioBuffer_.size());
    return 0;
  }
  return kErrTempFile;
}

void ElementaryStreamFiles::Write(FILE* f, const uint8_t* p, size_t n) {
  if (!f || writeFailed_) {
    writeFailed_ = true;
    return;
  }
  if (std::fwrite(p, 1, n, f) != n) writeFailed_ = true;
}

bool ElementaryStreamFiles::CloseFile(File& f) {
  if (!f) return true;
  const bool ok = std::fclose(f.release()) == 0;
  return ok;
}

bool ElementaryStreamFiles::Close() {
  const bool video = CloseFile(video_);
  const bool audio = CloseFile(audio_);
  return video && audio && !writeFailed_;
}

void ElementaryStreamFiles::Remove() {
  CloseFile(video_);
  CloseFile(audio_);
  if (!videoPath_.empty()) unlink(videoPath_.c_str());
  if (!audioPath_.empty()) unlink(audioPath_.c_str());
  videoPath_.clear();
  audioPath_.clear();
}

}  // namespace convert
