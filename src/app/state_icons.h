// The eight 15 x 15 status icons of the card state ("EMPTY", "WARNING", "STAR", "OSD", "RING",
// "WALL", "MIC", "CLOCK"), painted once in code and cached. An unknown name gives "EMPTY"
// (fully transparent). Any thread (plain QImages, built once on first use).
#pragma once

#include <QImage>
#include <string>

namespace app {

inline constexpr int kIconSize = 15;

const QImage& StateIcon(const std::string& name);

}  // namespace app
