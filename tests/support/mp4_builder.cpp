#include "support/mp4_builder.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "base/endian.h"

namespace testsupport {
namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v) {
  uint8_t w[4];
  base::store_be32(w, v);
  b.insert(b.end(), w, w + 4);
}
void Put64(Bytes& b, uint64_t v) {
  Put32(b, uint32_t(v >> 32));
  Put32(b, uint32_t(v));
}
void PutType(Bytes& b, const char* t) { b.insert(b.end(), t, t + 4); }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes FullHeader() { return Bytes(4, 0); }  // version 0, flags 0

Bytes Mvhd(const Mp4Spec& s) {
  Bytes p = FullHeader();
  Put32(p, 0), Put32(p, 0), Put32(p, s.movieTimescale), Put32(p, s.movieDuration);
  p.resize(p.size() + 80, 0);
  return MakeBox("mvhd", p);
}

Bytes Trak(const TrackSpec& t, uint32_t id, const std::vector<uint64_t>& offsets) {
  Bytes tkhd = FullHeader();
  Put32(tkhd, 0), Put32(tkhd, 0), Put32(tkhd, id), Put32(tkhd, 0), Put32(tkhd, t.tkhdDuration);
  tkhd.resize(tkhd.size() + 60, 0);
  Bytes mdhd = FullHeader();
  Put32(mdhd, 0), Put32(mdhd, 0), Put32(mdhd, t.timescale), Put32(mdhd, t.duration), Put32(mdhd, 0);
  Bytes hdlr = FullHeader();
  Put32(hdlr, 0), PutType(hdlr, t.video ? "vide" : "soun");
  hdlr.resize(hdlr.size() + 13, 0);
  Bytes stsz = FullHeader();
  Put32(stsz, 0), Put32(stsz, uint32_t(t.sampleSizes.size()));
  for (uint32_t s : t.sampleSizes) Put32(stsz, s);
  Bytes stco = FullHeader();
  Put32(stco, uint32_t(offsets.size()));
  for (uint64_t o : offsets) t.co64 ? Put64(stco, o) : Put32(stco, uint32_t(o));
  Bytes stbl = MakeBox("stbl", Cat({MakeBox("stsz", stsz), MakeBox(t.co64 ? "co64" : "stco", stco)}));
  Bytes minf = MakeBox("minf", stbl);
  Bytes mdia = MakeBox("mdia", Cat({MakeBox("mdhd", mdhd), MakeBox("hdlr", hdlr), minf}));
  return MakeBox("trak", Cat({MakeBox("tkhd", tkhd), mdia}));
}

uint8_t SampleByte(size_t track, size_t sample, size_t i) {
  return uint8_t(track * 131 + sample * 31 + i * 7 + (i >> 8));
}

}  // namespace

Bytes MakeBox(const std::string& type, const Bytes& payload) {
  Bytes b;
  Put32(b, uint32_t(8 + payload.size()));
  PutType(b, type.c_str());
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes BuildMp4(const Mp4Spec& desc) {
  Bytes ftyp;
  PutType(ftyp, "isom"), Put32(ftyp, 512), PutType(ftyp, "isom"), PutType(ftyp, "mp41");
  ftyp = MakeBox("ftyp", ftyp);
  // Samples interleaved: sample k of every track in turn.
  std::vector<std::vector<uint64_t>> rel(desc.tracks.size());
  Bytes mdatPayload;
  for (size_t k = 0;; ++k) {
    bool any = false;
    for (size_t t = 0; t < desc.tracks.size(); ++t) {
      if (k >= desc.tracks[t].sampleSizes.size()) continue;
      any = true;
      rel[t].push_back(mdatPayload.size());
      for (uint32_t i = 0; i < desc.tracks[t].sampleSizes[k]; ++i)
        mdatPayload.push_back(SampleByte(t, k, i));
    }
    if (!any) break;
  }
  auto moovWith = [&](uint64_t base) {
    Bytes traks;
    for (size_t t = 0; t < desc.tracks.size(); ++t) {
      std::vector<uint64_t> offsets;
      for (uint64_t r : rel[t]) offsets.push_back(base + r);
      traks = Cat({traks, Trak(desc.tracks[t], uint32_t(t + 1), offsets)});
    }
    return MakeBox("moov", Cat({Mvhd(desc), traks}));
  };
  const size_t moovSize = moovWith(0).size();
  const uint64_t mdatData = ftyp.size() + moovSize + 8;
  return Cat({ftyp, moovWith(mdatData), MakeBox("mdat", mdatPayload)});
}

Mp4Spec TwoTrackSpec(uint32_t videoSamples, uint32_t audioSamples) {
  Mp4Spec desc;
  TrackSpec video{true, 25, videoSamples, 0, {}, false};
  TrackSpec audio{false, 48000, audioSamples * 1024, 0, {}, false};
  for (uint32_t i = 0; i < videoSamples; ++i) video.sampleSizes.push_back(i % 25 == 0 ? 3000 : 200 + i % 97);
  for (uint32_t i = 0; i < audioSamples; ++i) audio.sampleSizes.push_back(150 + i % 41);
  desc.movieDuration = uint32_t(uint64_t(videoSamples) * 1000 / 25);
  video.tkhdDuration = audio.tkhdDuration = desc.movieDuration;
  desc.tracks = {video, audio};
  return desc;
}

int64_t FindIn(const Bytes& file, size_t pos, size_t end, const std::string& type, int& nth) {
  static const char* kContainers[] = {"moov", "trak", "mdia", "minf", "stbl"};
  while (pos + 8 <= end) {
    const size_t size = base::load_be32(&file[pos]);
    if (size < 8 || pos + size > end) break;
    if (std::memcmp(&file[pos + 4], type.data(), 4) == 0 && nth-- == 0) return int64_t(pos);
    for (const char* c : kContainers)
      if (std::memcmp(&file[pos + 4], c, 4) == 0) {
        const int64_t found = FindIn(file, pos + 8, pos + size, type, nth);
        if (found >= 0) return found;
      }
    pos += size;
  }
  return -1;
}

int64_t FindBox(const Bytes& file, const std::string& type, int nth) {
  return FindIn(file, 0, file.size(), type, nth);
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
