// The value syntax of `korvan-cli settings`: the names printed and accepted for each setting
// (quality low|medium|high, input mic|mic-agc|line, ring/overlay on|off, vox 0..9, a timer as
// MODE,YYYY-MM-DD,HH:MM,HH:MM) and the JSON document of the settings.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "prepare/recording_settings.h"

namespace cli {

// Applies one KEY=VALUE to `settings` (a timer row is marked edited). False with `error` set
// when the key is unknown or the value out of range; `settings` is then unchanged.
bool ApplySettingAssignment(prepare::RecordingSettings& settings, const std::string& assignment,
                            std::string& error);

nlohmann::ordered_json SettingsJson(const prepare::RecordingSettings& settings);
// One "key: value" line per setting, timers as in --set.
std::string SettingsText(const prepare::RecordingSettings& settings);

}  // namespace cli
