#include "convert/mp4_box_writer.h"

namespace convert {

void BoxBuffer::U16(uint16_t v) {
  U8(uint8_t(v >> 8));
  U8(uint8_t(v));
}

void BoxBuffer::U24(uint32_t v) {
  U8(uint8_t(v >> 16));
  U16(uint16_t(v));
}

void BoxBuffer::U32(uint32_t v) {
  U16(uint16_t(v >> 16));
  U16(uint16_t(v));
}

void BoxBuffer::U64(uint64_t v) {
  U32(uint32_t(v >> 32));
  U32(uint32_t(v));
}

void BoxBuffer::FourCC(const char* code) {
  for (int i = 0; i < 4; ++i) U8(uint8_t(code[i]));
}

BoxScope::BoxScope(BoxBuffer& buffer, const char* type, uint64_t size)
    : buffer_(buffer), start_(buffer.size()), size_(size) {
  if (size > 0xFFFFFFFFu || size < kHeader) buffer_.MarkBad();
  buffer_.U32(uint32_t(size));
  buffer_.FourCC(type);
}

BoxScope::BoxScope(BoxBuffer& buffer, const char* type, uint64_t size, uint8_t version,
                   uint32_t flags)
    : BoxScope(buffer, type, size) {
  buffer_.U8(version);
  buffer_.U24(flags);
}

BoxScope::~BoxScope() {
  if (buffer_.size() - start_ != size_) buffer_.MarkBad();
}

}  // namespace convert
