// The pair of temporary elementary-stream files of one output part: "<dir>hcXXXXXX.264"
// (H.264 byte stream) and the matching ".aac" (ADTS frames), created exclusively in the
// output folder so that no other file is ever opened or overwritten.
//
// Writes go through 1 MiB stdio buffers allocated once with the object; a failed write is
// remembered and reported by Close(). The destructor removes both files unless Remove() already did.
// Used by one thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace convert {

class ElementaryStreamFiles {
 public:
  ElementaryStreamFiles();
  ~ElementaryStreamFiles();
  ElementaryStreamFiles(const ElementaryStreamFiles&) = delete;
  ElementaryStreamFiles& operator=(const ElementaryStreamFiles&) = delete;

  // Creates both files in `dir` (which ends with '/' or is empty). Returns 0, 2259 when a
  // path would be longer than 259 characters, or 1224 when a file cannot be created.
  int Create(const std::string& dir);
  bool is_open() const { return video_ != nullptr; }

  void WriteVideo(const uint8_t* p, size_t n) { Write(video_.get(), p, n); }
  void WriteAudio(const uint8_t* p, size_t n) { Write(audio_.get(), p, n); }
  bool write_failed() const { return writeFailed_; }

  // Flushes and closes both files; false when any write, flush or close failed.
  bool Close();
  // Closes (if open) and deletes both files.
  void Remove();

  const std::string& video_path() const { return videoPath_; }
  const std::string& audio_path() const { return audioPath_; }

 private:
  struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  using File = std::unique_ptr<FILE, FileCloser>;

  void Write(FILE* f, const uint8_t* p, size_t n);
  static bool CloseFile(File& f);

  File video_;
  File audio_;
  std::vector<char> videoBuffer_;
  std::vector<char> audioBuffer_;
  std::string videoPath_;
  std::string audioPath_;
  bool writeFailed_ = false;
};

}  // namespace convert
