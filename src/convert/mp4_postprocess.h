// The post-processor: corrects the time values of a freshly muxed .mp4 and appends the
// "skip" box holding the encoded integrity record (integrity block + per-sample CRCs).
//
// The file is walked read-only first; nothing is written unless the whole record can be
// built. A file that cannot be opened, a damaged box tree, too many samples for the 16 MiB
// record or a failed write leave the file as it was (a failed append is cut off again).
// Runs on the conversion worker thread; notices go through the sink. Uses the program-wide
// text encoder, so one call at a time per program.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "convert/sample_crc.h"
#include "platform/notice_sink.h"

namespace convert {

inline constexpr int kAlreadySealed = -60290;

enum class PostProcessOutcome {
  sealed,         // time values corrected, record appended
  alreadySealed,  // the file already held a "skip" box; errorCode = -60290
  cannotOpen,     // the file could not be opened for reading and writing
  malformed,      // the box tree is damaged or hostile; nothing written
  tooManySamples, // the record would not fit its 16 MiB buffer; nothing written
  writeFailed,    // a write failed; the file was restored to its former length
};

// Full outcome; errorCode is set to -60290 for alreadySealed and left alone otherwise.
// With `known` CRCs whose counts match the file's tables, the samples are not read again.
PostProcessOutcome PostProcessMp4Outcome(const std::string& mp4Path, const uint8_t* block,
                                         size_t blockLength, std::atomic<int>& errorCode,
                                         platform::NoticeSink& notices,
                                         const SampleCrcs* known = nullptr);

// Returns 1 when the record was appended, 0 otherwise (errorCode = -60290 when the file already
// held a "skip" box).
int PostProcessMp4(const std::string& mp4Path, const uint8_t* block, size_t blockLength,
                   std::atomic<int>& errorCode, platform::NoticeSink& notices);

}  // namespace convert
