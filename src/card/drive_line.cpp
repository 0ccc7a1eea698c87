#include "card/drive_line.h"

namespace card {

bool IsFat32DriveLine(const std::string& line) { return line.find(kFat32Piece) != std::string::npos; }

}  // namespace card
