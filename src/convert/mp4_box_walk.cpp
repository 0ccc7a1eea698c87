#include "convert/mp4_box_walk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "base/endian.h"

namespace convert {

uint32_t SampleTable::count() const {
  if (!hasSizes || !hasOffsets) return 0;
  return std::min(sizeCount, chunkCount);
}

namespace {

bool IsContainer(const char* type) {
  static constexpr const char* kContainers[] = {"moov", "trak", "mdia", "minf", "dinf",
                                                "stbl", "udta", "meta", "ilst"};
  for (const char* c : kContainers)
    if (std::memcmp(type, c, 4) == 0) return true;
  return false;
}

struct Box {
  uint64_t pos = 0;     // start of the box
  uint64_t size = 0;    // whole box
  uint64_t header = 8;  // 8, or 16 with a 64-bit size
  char type[5] = {};
  // Offset of a field given from the start of an 8-byte-header box.
  uint64_t at(uint64_t offset) const { return pos + offset + (header - 8); }
  // Whether the box holds `bytes` bytes counted from the start of an 8-byte-header box.
  bool holds(uint64_t bytes) const { return size >= bytes + (header - 8); }
};

class Walker {
 public:
  Walker(const Mp4File& file, bool fieldCoded) : file_(file), fieldCoded_(fieldCoded) {}

  Mp4Walk run() {
    const uint64_t fileSize = file_.size();
    uint64_t pos = 0;
    while (!result_.malformed) {
      while (depth_ > 0 && ends_[depth_ - 1] == pos) --depth_;
      const uint64_t limit = depth_ > 0 ? ends_[depth_ - 1] : fileSize;
      if (pos >= limit) {  // end of file (containers always end exactly, see below)
        result_.appendable = !openEnded_;
        break;
      }
      Box box;
      if (!readHeader(pos, limit, box)) break;
      if (IsContainer(box.type)) {
        if (depth_ == kMaxBoxDepth) return fail(box, "boxes nested deeper than 16 levels");
        uint64_t childStart = pos + box.header;
        if (std::memcmp(box.type, "meta", 4) == 0) childStart += metaVersionBytes(box);
        ends_[depth_++] = pos + box.size;
        pos = childStart;
        continue;
      }
      leaf(box);
      pos += box.size;
    }
    return std::move(result_);
  }

 private:
  // Reads and checks the header at `pos`; false ends the walk (malformed set when it must).
  bool readHeader(uint64_t pos, uint64_t limit, Box& box) {
    box.pos = pos;
    std::array<uint8_t, 16> h{};
    const uint64_t room = limit - pos;
    if (room < 8 || !file_.readExact(pos, h.data(), 8)) {
      // A few trailing bytes after the last top-level box are not a box; inside a container
      // they are damage.
      if (depth_ > 0) failAt(pos, "a box header runs past its container");
      return false;
    }
    std::memcpy(box.type, h.data() + 4, 4);
    const uint32_t size32 = base::load_be32(h.data());
    if (size32 == 1) {
      box.header = 16;
      if (room < 16 || !file_.readExact(pos + 8, h.data() + 8, 8))
        return failAt(pos, "a 64-bit box size runs past the file");
      box.size = base::load_be64(h.data() + 8);
    } else if (size32 == 0) {
      box.size = room;  // extends to the end of the file (of its container)
      if (depth_ == 0) openEnded_ = true;
    } else {
      box.size = size32;
    }
    if (box.size < box.header) return failAt(pos, "a box is smaller than its header");
    if (box.size > room) return failAt(pos, "a box runs past the end of its container or file");
    return true;
  }

  // ISO "meta" boxes carry version and flags before their children; QuickTime ones do not.
  uint64_t metaVersionBytes(const Box& box) {
    uint8_t v[4];
    if (box.size < box.header + 4 || !file_.readExact(box.pos + box.header, v, 4)) return 0;
    return base::load_be32(v) == 0 ? 4 : 0;
  }

  void leaf(const Box& box) {
    const std::string_view type(box.type, 4);
    if (type == "mvhd") return mvhd(box);
    if (type == "tkhd") return tkhd(box);
    if (type == "mdhd") return mdhd(box);
    if (type == "hdlr") return hdlr(box);
    if (type == "stsz") return stsz(box);
    if (type == "stco") return chunkOffsets(box, false);
    if (type == "co64") return chunkOffsets(box, true);
    if (type == "kgap") return gaps(box);
    if (type == "skip" && !result_.skipSeen) {
      result_.skipSeen = true;
      result_.skipPos = box.pos;
      result_.skipSize = box.size;
    }
  }

  void gaps(const Box& box) {
    uint32_t count;
    if (!word32(box, 8, count)) return;
    for (uint32_t i = 0; i < count && box.holds(12 + 8 * uint64_t(i) + 8); ++i) {
      uint32_t from, to;
      if (!word32(box, 12 + 8 * uint64_t(i), from) || !word32(box, 16 + 8 * uint64_t(i), to)) return;
      result_.gaps.emplace_back(from, to);
    }
  }

  // Reads the big-endian word at `offset` (8-byte-header box offsets).
  bool word32(const Box& box, uint64_t offset, uint32_t& v) {
    uint8_t b[4];
    if (!box.holds(offset + 4) || !file_.readExact(box.at(offset), b, 4))
      return failAt(box.pos, std::string("\"") + box.type + "\" box too short");
    v = base::load_be32(b);
    return true;
  }

  void mvhd(const Box& box) {
    uint32_t ts, dur;
    if (!word32(box, 20, ts) || !word32(box, 24, dur)) return;
    result_.haveMovie = true;
    result_.movieTimescale = ts;
    result_.movieDuration = dur;
    result_.movieDurationPos = box.at(24);
    result_.movieSeconds = ts ? double(dur) / ts : 0;
  }

  void tkhd(const Box& box) {
    uint32_t dur;
    if (!word32(box, 28, dur)) return;
    track_.tkhdDuration = dur;
    track_.tkhdDurationPos = box.at(28);
  }

  void mdhd(const Box& box) {
    uint32_t ts, dur;
    if (!word32(box, 20, ts) || !word32(box, 24, dur)) return;
    if (ts == 25 && fieldCoded_) {
      result_.fieldCodingFixes.push_back(box.at(23));
      ts = (ts & 0xFFFFFF00u) | 50u;
    }
    track_.timescale = ts;
    track_.timescalePos = box.at(20);
    track_.duration = dur;
    track_.durationPos = box.at(24);
    track_.seconds = ts ? double(dur) / ts : 0;
  }

  void hdlr(const Box& box) {
    uint32_t kind;
    if (!word32(box, 16, kind)) return;
    const bool video = kind == 0x76696465u;  // "vide"
    const bool audio = kind == 0x736F756Eu;  // "soun"
    handlerSeen_ = video || audio;
    if (!handlerSeen_) return;
    currentIsVideo_ = video;
    // Only the first track of each kind is sealed; later ones keep their tables out.
    bool& have = video ? result_.haveVideo : result_.haveAudio;
    currentIsExtra_ = have;
    if (!have) (video ? result_.video : result_.audio) = track_;
    have = true;
  }

  SampleTable* currentTable() {
    if (currentIsExtra_) return nullptr;
    return currentIsVideo_ ? &result_.videoTable : &result_.audioTable;
  }

  void stsz(const Box& box) {
    uint32_t common, count;
    if (!word32(box, 12, common) || !word32(box, 16, count)) return;
    if (!handlerSeen_) return notice("!!! error: no hdlr before stsz!");
    SampleTable* table = currentTable();
    if (!table || table->hasSizes) return;
    if (common == 0 && (box.size - box.header - 12) / 4 < count)
      return (void)failAt(box.pos, "\"stsz\" sample count larger than its box");
    table->hasSizes = true;
    table->sizeCount = count;
    table->constantSize = common;
    table->sizesPos = box.at(20);
  }

  void chunkOffsets(const Box& box, bool wide) {
    const char* name = wide ? "co64" : "stco";
    uint32_t count;
    if (!word32(box, 12, count)) return;
    if (!handlerSeen_) return notice(std::string("!!! error: no hdlr before ") + name + "!");
    SampleTable* table = currentTable();
    if (!table || table->hasOffsets) return;
    if ((box.size - box.header - 8) / (wide ? 8 : 4) < count)
      return (void)failAt(box.pos, std::string("\"") + name + "\" chunk count larger than its box");
    if (count != table->sizeCount) {
      notice(std::string("!!! error: no stsz before ") + name + "!");
      count = std::min(count, table->sizeCount);
    }
    table->hasOffsets = true;
    table->chunkCount = count;
    table->offsetsPos = box.at(16);
    table->offsets64 = wide;
  }

  void notice(const std::string& text) { result_.notices.push_back(text); }

  bool failAt(uint64_t pos, const std::string& why) {
    if (!result_.malformed) {
      result_.malformed = true;
      result_.problem = why + " (at byte " + std::to_string(pos) + ")";
    }
    return false;
  }
  Mp4Walk fail(const Box& box, const std::string& why) {
    failAt(box.pos, why);
    return std::move(result_);
  }

  const Mp4File& file_;
  const bool fieldCoded_;
  Mp4Walk result_;
  std::array<uint64_t, kMaxBoxDepth> ends_{};
  int depth_ = 0;
  bool handlerSeen_ = false;
  bool currentIsVideo_ = true;
  bool currentIsExtra_ = false;
  bool openEnded_ = false;  // a top-level box without a stated size
  TrackTimes track_;  // values of the last "tkhd" and "mdhd"
};

}  // namespace

Mp4Walk WalkMp4(const Mp4File& file, bool fieldCoded) { return Walker(file, fieldCoded).run(); }

}  // namespace convert
