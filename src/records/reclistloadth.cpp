#include "records/reclistloadth.h"

#include <algorithm>

#include "platform/thread_priority.h"

namespace records {

namespace {

// Probe steps grow by half plus one: 1, 2, 4, 7, 11, 17, ...
uint32_t NextStep(uint32_t step) { return step + (step >> 1) + 1; }

constexpr uint32_t kStartSearchCap = 16;

}  // namespace

RecListLoadTh::RecListLoadTh(card::RegionReader& reader, ScanRing ring, RecordSink sink,
                             ScanMode mode)
    : reader_(reader), ring_(ring), blocks_{ring.N_s_s}, mode_(mode), sink_(std::move(sink)) {}

RecListLoadTh::~RecListLoadTh() {
  request_terminate();
  if (thread_.joinable()) thread_.join();
}

void RecListLoadTh::start() {
  thread_ = std::thread([this] {
    platform::SetCurrentThreadIdlePriority();
    run();
  });
}

void RecListLoadTh::request_terminate() {
  {
    std::lock_guard lock(wait_mutex_);
    terminate_ = true;
  }
  wait_cv_.notify_all();
}

void RecListLoadTh::run() {
  Step outcome = Step::failed;
  try {
    outcome = scan();
  } catch (...) {
    outcome = Step::failed;  // a throwing sink: stop, keep what was delivered
  }
  if (outcome == Step::failed)
    scanFailed = true;
  else if (outcome != Step::terminated)
    scanPosition = scanTotal.load();
  mark_over();
  if (outcome != Step::terminated) wait_for_termination();
}

void RecListLoadTh::mark_over() {
  {
    std::lock_guard lock(wait_mutex_);
    over_ = true;
  }
  wait_cv_.notify_all();
}

void RecListLoadTh::wait_over() {
  std::unique_lock lock(wait_mutex_);
  wait_cv_.wait(lock, [this] { return over_; });
}

void RecListLoadTh::wait_for_termination() {
  std::unique_lock lock(wait_mutex_);
  wait_cv_.wait(lock, [this] { return terminate_.load(); });
}

RecListLoadTh::Step RecListLoadTh::read(uint32_t block) {
  if (terminate_.load()) return Step::terminated;
  ReadInfoSector(reader_, block, current_);
  return current_.ok ? Step::ok : Step::failed;
}

void RecListLoadTh::set_position(uint32_t pos) {
  // Held below scanTotal: the window takes equality as the end of the scan. On a full ring
  // the end block is the start block, a whole ring away.
  int64_t d = blocks_.distance(ring_.s_s_bgn, pos);
  if (d == 0 && ring_.full) d = ring_.N_s_s;
  scanPosition = int32_t(std::min<int64_t>(d, int64_t(scanTotal.load()) - 1));
}

RecListLoadTh::Step RecListLoadTh::scan() {
  if (const Step s = begin_scan(); s != Step::ok) return s;
  return mode_ == ScanMode::thorough ? scan_thorough() : scan_probing();
}

RecListLoadTh::Step RecListLoadTh::begin_scan() {
  const uint32_t n = ring_.N_s_s;
  // Pointers outside the ring come from a damaged service sector: nothing can be scanned.
  if (n == 0 || ring_.s_s_bgn >= n || ring_.s_s_end >= n) return Step::failed;
  if (ring_.full && ring_.s_s_bgn != ring_.s_s_end) return Step::failed;
  scanTotal = int32_t(RingBlocksToScan(ring_));
  scanPosition = 0;
  scanFailed = false;
  // Start and end in one block of a ring that is not full: nothing is recorded.
  return scanTotal.load() == 0 ? Step::ring_end : Step::ok;
}

RecListLoadTh::Step RecListLoadTh::scan_probing() {
  const uint32_t end = ring_.s_s_end;
  uint32_t pos = ring_.s_s_bgn;  // the ring start block itself is never examined
  for (;;) {
    pos = blocks_.advance(pos, 1);
    if (Step s = read(pos); s != Step::ok) return s;
    if (!current_.hasMagic) {
      if (pos == end) return Step::ring_end;
      if (Step s = find_next_start(pos); s != Step::ok) return s;
    }
    TRecord rec;
    rec.bss_index = int32_t(pos);
    rec.bss = current_.sector;
    const Step last = find_last_block(rec, pos, rec.ess);
    if (last == Step::failed || last == Step::terminated) return last;  // rec is dropped
    rec.ess_index = int32_t(pos);
    set_position(pos);
    sink_(rec);
    if (last == Step::ring_end) return Step::ring_end;
  }
}

// From a block without the magic, probes forward (steps capped at 16 and at the ring end)
// for the first block with the magic that follows a block without it. A hit after a longer
// jump searches the jumped-over stretch again from its start. Returns ok with pos and
// current_ at that block, or ring_end when the search reached s_s_end.
RecListLoadTh::Step RecListLoadTh::find_next_start(uint32_t& pos) {
  uint32_t step = 1, last = 1;
  while (step != 0) {
    pos = blocks_.advance(pos, step);
    last = step;
    step = std::min({NextStep(step), kStartSearchCap, blocks_.distance(pos, ring_.s_s_end)});
    if (Step s = read(pos); s != Step::ok) return s;
    if (current_.hasMagic) {
      if (last == 1) break;
      pos = blocks_.retreat(pos, last);
      step = 1;
    }
    set_position(pos);
  }
  set_position(pos);
  // Reaching the ring end ends the scan, also when the block found there has the magic.
  return step == 0 ? Step::ring_end : Step::ok;
}

// From the first block of `rec` at pos, probes forward (steps capped only by the ring end)
// while the blocks continue the recording; a probe that does not continue it sends the search
// back to the last continuing probe with single steps. Returns ok (pos = the last block, ess
// its sector) or ring_end when the recording runs up to s_s_end.
RecListLoadTh::Step RecListLoadTh::find_last_block(const TRecord& rec, uint32_t& pos,
                                                   card::ServiceSector& ess) {
  const uint32_t end = ring_.s_s_end;
  uint32_t step = 1, last = 1;
  for (;;) {
    if (pos == end) {
      ess = current_.sector;
      return Step::ring_end;
    }
    pos = blocks_.advance(pos, step);
    last = step;
    step = std::min(NextStep(step), blocks_.distance(pos, end));
    if (Step s = read(pos); s != Step::ok) return s;
    if (!card::SameRecord(rec.bss, rec.bss_index, current_.sector, pos, ring_.N_s_s)) {
      pos = blocks_.retreat(pos, last);
      step = 1;
      if (last == 1) {
        // pos is the last block: read it again; it must carry the magic.
        if (Step s = read(pos); s != Step::ok) return s;
        if (!current_.hasMagic) return Step::failed;
        ess = current_.sector;
        return Step::ok;
      }
    }
    set_position(pos);
    if (step == 0) {
      // The ring end continued the recording; like any last block it must carry the magic.
      if (!current_.hasMagic) return Step::failed;
      ess = current_.sector;
      return Step::ring_end;
    }
  }
}

}  // namespace records
