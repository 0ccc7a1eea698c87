// Scenarios as small JSON documents, and the writer's report as JSON.
//
// Scenario keys (all optional): seed, partition_file_bytes [..] or partition_files + file_mib
// + last_file_mib, rsr_sectnum, ring_start_block, ring_end_block, pointers ("recorded",
// "unset", "empty"), info_only, width, height, gop, sample_rate, channels, quality,
// video_flags, clock_hz, rec_mode_flags, osd_flags, audio_input_conf, audio_vox_level,
// battery_start_v, battery_drain_v_per_hour, gps {latitude, longitude, speed_knots,
// course_deg, fix, utc_offset_h, move_s, stop_s, lost_s}, devices [{imei_sn, dev_uid, firmware_version, first_label}],
// recordings [{device, power_on, start "YYYY-MM-DD hh:mm:ss", pause_s, duration_s, blocks,
// gap_blocks, lost_blocks, finished}], damage [{kind, recording, block, file, bytes}] with
// kind one of format_version, label_break, identity_change, zero_info, missing_file,
// truncate_file. Unknown keys are an error, so a typo never goes unnoticed.
// Pure functions; no exception escapes. Any thread.
#pragma once

#include <string>

#include "cardsim/card_writer.h"
#include "cardsim/scenario.h"

namespace cardsim {

// false with `error` set when the text is not a valid scenario document.
bool ParseScenarioJson(const std::string& text, Scenario& out, std::string& error);

// The report: geometry, ring pointers and per recording its blocks, identity, frame counts and
// elementary-stream sizes. Pretty-printed JSON text.
std::string CardResultJson(const CardResult& result);

// The same as a few lines of plain text for a terminal.
std::string CardResultText(const CardResult& result);

}  // namespace cardsim
