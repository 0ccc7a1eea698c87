#include "preview/preview_session.h"

#include "base/endian.h"
#include "convert/qbox.h"
#include "preview/nal_rewrite.h"
#include "records/battery_charge.h"
#include "records/telemetry.h"

namespace preview {

namespace {
constexpr size_t kBatteryAdcOffset = 0x2C;
}

PreviewSession::PreviewSession(card::RegionReader& region, uint32_t ringBlocks)
    : seeker_(region, ringBlocks), decoder_(std::make_unique<H264Decoder>()),
      picture_(BlackPicture()) {
  nalBuffer_.reserve(convert::qbox::kMaxSize + 8);
}

PreviewSession::~PreviewSession() = default;

void PreviewSession::Open(const records::TRecord& record, int64_t blockCount) {
  Close();
  seeker_.Open(record.bss_index, blockCount);
  picture_ = BlackPicture();
  visible_ = true;
  decoderUnavailable_ = false;
  failure_ = DecoderSetup::ok;
  pendingConfig_.clear();
}

void PreviewSession::Close() { decoder_->Close(); }

bool PreviewSession::EnsureDecoder() {
  if (decoder_->is_open()) return true;
  if (decoderUnavailable_) return false;
  const DecoderSetup setup = decoder_->Open(decoderName_);
  if (setup == DecoderSetup::ok) return true;
  decoderUnavailable_ = true;
  failure_ = setup;
  return false;
}

DecoderSetup PreviewSession::TakeDecoderFailure() {
  const DecoderSetup f = failure_;
  failure_ = DecoderSetup::ok;
  return f;
}

DecodeResult PreviewSession::DecodeBox(std::span<const uint8_t> box) {
  size_t length = RewriteToStartCodes(box, nalBuffer_);
  if (length == 0) return DecodeResult::error;
  if (!pendingConfig_.empty()) {
    nalBuffer_.insert(nalBuffer_.begin(), pendingConfig_.begin(), pendingConfig_.end());
    length += pendingConfig_.size();
    pendingConfig_.clear();
  }
  return decoder_->Decode(nalBuffer_.data(), length);
}

SeekOutcome PreviewSession::Seek(int position) {
  const SeekOutcome outcome = seeker_.Seek(position);
  // The parameter sets make no picture of their own: they go to the decoder in front of the
  // next picture, so the decoder never sees a packet without a slice.
  const std::span<const uint8_t> config = seeker_.TakeVideoConfig();
  if (!config.empty() && EnsureDecoder()) {
    const size_t length = RewriteToStartCodes(config, pendingConfig_);
    pendingConfig_.resize(length);
  }
  return outcome;
}

Shown PreviewSession::DecodeShown() {
  const std::span<const uint8_t> box = seeker_.shown_box();
  if (box.empty() || seeker_.shown_decoded()) return Shown::unchanged;
  seeker_.set_shown_decoded();
  if (!(convert::qbox::StreamType(box.data()) & convert::qbox::kStreamVideo)) return Shown::unchanged;
  if (!EnsureDecoder()) return Shown::unchanged;
  const DecodeResult result = DecodeBox(box);
  if (result == DecodeResult::error) {
    picture_ = BlackPicture();
    visible_ = true;
    return Shown::black;
  }
  // No new picture: the previous one is converted again (black when there is none yet).
  const YuvView yuv = decoder_->picture();
  if (yuv.empty()) return Shown::unchanged;
  visible_ = ConvertPicture(yuv, picture_);
  return visible_ ? Shown::picture : Shown::hidden;
}

uint32_t PreviewSession::battery_adc() const {
  return base::load_le32(seeker_.info_sector().data() + kBatteryAdcOffset);
}

std::string PreviewSession::battery_line() const {
  return records::BatteryLineText(battery_adc());
}

std::string PreviewSession::fix_text() const {
  return records::SectorFixText(card::ServiceSector(seeker_.info_sector()));
}

}  // namespace preview
