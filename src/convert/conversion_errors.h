// Error codes of the conversion worker, shown to the user after
// "Произошла ошибка при конвертации: ". The stream reader's own codes are in stream_reader.h;
// the muxer reports its own non-zero codes unchanged, the post-processor -60290.
#pragma once

namespace convert {

enum ConversionError : int {
  kErrNoPartitionFiles = 8100,  // the card has no record-partition file
  kErrNoKeyFrame = 1021,        // no key-frame box from the part start to the range end
  kErrRereadKeyFrame = 1056,    // the first key-frame box could not be read again
  kErrStepBack = 1063,          // stepping back before the first key-frame box failed
  kErrWriteBox = 8734,          // a box could not be written (see the two causes below)
  kErrTempFile = 1224,          // a temporary file could not be created (reported as 8734)
  kErrStreamType = 4608,        // a box of neither stream type (reported as 8734)
  kErrPathTooLong = 2259,       // an output or temporary path would exceed 259 characters
  kErrSealFailed = 2261,        // the integrity record could not be appended to the .mp4
};

// Paths are limited to what the recorder's companion program always allowed: 259 bytes.
inline constexpr unsigned kMaxPathLength = 259;

}  // namespace convert
