#include "preview/nal_rewrite.h"

#include <cstring>

#include "convert/qbox.h"

namespace preview {

namespace qbox = convert::qbox;

size_t RewriteToStartCodes(std::span<const uint8_t> box, std::vector<uint8_t>& out) {
  out.clear();
  if (box.size() < qbox::kHeaderSize || !(qbox::StreamType(box.data()) & qbox::kStreamVideo))
    return 0;
  const qbox::Payload payload = qbox::SplitPayload(box);
  qbox::ForEachNal(payload.data, [&out](std::span<const uint8_t> unit) {
    static constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
    out.insert(out.end(), kStartCode, kStartCode + 4);
    out.insert(out.end(), unit.begin(), unit.end());
  });
  const size_t length = out.size();
  out.resize(length + 8, 0);
  return length;
}

}  // namespace preview
