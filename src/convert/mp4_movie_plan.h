// The muxer's plan of one .mp4 from the scans of its two streams: the track tables, where
// every sample lies (co64 when an offset passes the threshold) and the bytes in front of
// the samples (ftyp, moov, mdat header). Shared by the muxer over elementary-stream files and
// the one-pass writer, so that both lay out a movie the same way. Pure; any thread.
#pragma once

#include <cstdint>

#include "convert/h264_video_scan.h"
#include "convert/mp4_box_writer.h"
#include "convert/mux_audio_scan.h"
#include "convert/mux_layout.h"

namespace convert {

struct Scans {
  VideoScan video;
  AudioScan audio;
};

// Size of mdat's header: 8, or 16 with a 64-bit size.
uint64_t MdatHeaderSize(uint64_t data_bytes);
void AppendMdatHeader(BoxBuffer& out, uint64_t data_bytes);

// Track tables and sample entries. `movie` refers into `scans`, which must outlive it.
MovieLayout DescribeMovie(const Scans& scans);

// Lays the samples out after ftyp, moov and mdat's header. Returns where mdat's payload
// starts.
uint64_t PlanLayout(MovieLayout& movie, uint64_t data_bytes, uint64_t co64_threshold);

// ftyp, moov and mdat's header for a planned movie in `head`; kMuxOk or the muxer's code.
int WriteMovieHead(MovieLayout& movie, uint64_t co64_threshold, BoxBuffer& head,
                   uint64_t* data_start, uint64_t* data_bytes);

}  // namespace convert
