// The post-processor: corrects the time values of a freshly muxed .mp4 and appends the
// "skip" box holding the encoded integrity record (integrity block + per-sample CRCs).
// Runs on the conversion worker thread; notices go through the sink.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/notice_sink.h"

namespace convert {

inline constexpr int kAlreadySealed = -60290;

// Returns 1 when the record was appended, 0 otherwise (errorCode = -60290 when the file already
// held a "skip" box).
int PostProcessMp4(const std::string& mp4Path, const uint8_t* block, size_t blockLength,
                   std::atomic<int>& errorCode, platform::NoticeSink& notices);

}  // namespace convert
