// RecListLoadTh: the record scan worker. Walks the block ring from the block after s_s_bgn to
// s_s_end (once round a full ring), finds the first and last block of every recording with a
// probing search that reads one information sector per probe, and hands each recording to the
// sink as soon as its last block is known (in ring order, oldest first).
//
// The thorough mode reads every block's information sector in order instead. It costs one read
// per block but lists recordings shorter than a probe step that lie between two gaps, which the
// probing search jumps over; after a recovery it is what finds everything still on the card.
//
// Threads: start() runs the scan on its own std::thread at idle priority (run() may also be
// called directly, for a synchronous scan). The status fields are written only by the worker
// and may be polled from any thread. When the scan has finished (scanPosition == scanTotal)
// or failed (scanFailed) the worker waits, without spinning, until request_terminate(); a
// request during the scan is seen before the next read and ends the worker at once, keeping
// what was handed to the sink. The sink runs on the worker thread; an exception from it
// fails the scan. The destructor requests termination and joins. The region reader must
// outlive the worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "card/region_reader.h"
#include "records/block_ring.h"
#include "records/read_info_sector.h"
#include "records/scan_ring.h"
#include "records/trecord.h"

namespace records {

// Receives each recording found; called on the worker thread.
using RecordSink = std::function<void(const TRecord&)>;

enum class ScanMode { probing, thorough };

class RecListLoadTh {
 public:
  RecListLoadTh(card::RegionReader& reader, ScanRing ring, RecordSink sink,
                ScanMode mode = ScanMode::probing);
  ~RecListLoadTh();
  RecListLoadTh(const RecListLoadTh&) = delete;
  RecListLoadTh& operator=(const RecListLoadTh&) = delete;

  // Starts run() on the worker thread at idle priority. Call at most once.
  void start();
  // The scan, then the wait for the termination request.
  void run();
  // Asks the worker to end; safe from any thread, any number of times.
  void request_terminate();
  bool terminate_requested() const { return terminate_.load(); }
  // Finished or failed (the window's end-of-scan test).
  bool scan_over() const { return scanFailed.load() || scanPosition.load() == scanTotal.load(); }
  // Blocks until the scan is over or the worker ended on a termination request (batch callers
  // such as the CLI; the GUI polls instead).
  void wait_over();

  std::atomic<int32_t> scanPosition{0};
  std::atomic<int32_t> scanTotal{32767};  // a poll before the worker sets it never sees the end
  std::atomic<bool> scanFailed{false};

 private:
  enum class Step { ok, ring_end, failed, terminated };

  Step scan();
  Step begin_scan();
  Step scan_probing();
  Step scan_thorough();
  Step read(uint32_t block);
  Step find_next_start(uint32_t& pos);
  Step find_last_block(const TRecord& rec, uint32_t& pos, card::ServiceSector& ess);
  void set_position(uint32_t pos);
  void wait_for_termination();
  void mark_over();

  card::RegionReader& reader_;
  const ScanRing ring_;
  const BlockRing blocks_;
  const ScanMode mode_;
  RecordSink sink_;
  InfoSectorRead current_;  // the sector last read, reused for every probe

  std::atomic<bool> terminate_{false};
  bool over_ = false;  // guarded by wait_mutex_
  std::mutex wait_mutex_;
  std::condition_variable wait_cv_;
  std::thread thread_;
};

}  // namespace records
