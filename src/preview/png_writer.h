// Writes a preview picture as an 8-bit RGB PNG file, encoded by libavcodec's PNG encoder.
// Any thread.
#pragma once

#include <string>

#include "preview/preview_picture.h"

namespace preview {

// False with a reason in `error` when the encoder is missing or the file cannot be written.
bool WritePng(const Picture& picture, const std::string& path, std::string& error);

}  // namespace preview
