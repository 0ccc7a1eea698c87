#include "preview/dark_region_map.h"

#include <algorithm>
#include <cstdlib>

namespace preview {

namespace {

constexpr int W = kPictureWidth;
constexpr int H = kPictureHeight;
constexpr int kWindow = 6;  // rays and traces stay within 6 .. size - 7

constexpr int kWeights[7][7] = {
    {0, 0, 1, 1, 1, 0, 0}, {0, 1, 1, 2, 1, 1, 0}, {1, 1, 2, 5, 2, 1, 1}, {1, 2, 5, 4, 5, 2, 1},
    {1, 1, 2, 5, 2, 1, 1}, {0, 1, 1, 2, 1, 1, 0}, {0, 0, 1, 1, 1, 0, 0},
};

// Directions clockwise with lines counted downwards: right, down-right, ..., up-right.
constexpr int kDirColumn[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDirLine[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kUpRight = 7;

int Fold(int i, int size) {
  if (i < 0) return i + size;
  if (i >= size) return i - size;
  return i;
}

bool InWindow(int line, int column) {
  return line >= kWindow && line <= H - 1 - kWindow && column >= kWindow &&
         column <= W - 1 - kWindow;
}

class Map {
 public:
  explicit Map(std::vector<int>& m) : m_(m) {}
  int& at(int line, int column) { return m_[size_t(line) * W + column]; }

  // Walks from next to (line, column) by (dl, dc) until a 1 (true), a 2 or the window's edge
  // (false).
  bool Ray(int line, int column, int dl, int dc) {
    for (;;) {
      line += dl;
      column += dc;
      if (!InWindow(line, column)) return false;
      const int v = at(line, column);
      if (v == 1) return true;
      if (v == 2) return false;
    }
  }

  // Follows the outline of the region round the candidate, marking it with 2.
  bool Trace(int line, int column) {
    while (line - 1 >= 0 && at(line - 1, column) != 1) --line;
    const int startLine = line, startColumn = column;
    int d = kUpRight, turns = 0;
    bool passedBelow = false;
    for (long guard = 0; guard < 8L * W * H; ++guard) {
      const int ql = line + kDirLine[d], qc = column + kDirColumn[d];
      if (!InWindow(ql, qc)) return false;
      if (at(ql, qc) == 1) {
        d = (d + 1) % 8;
        turns += 1;
      } else if ((d & 1) && at(line, qc) == 1 && at(ql, column) == 1) {
        d = (d + 2) % 8;
        turns += 2;
      } else {
        turns = 0;
        line = ql;
        column = qc;
        if (column == startColumn && line > startLine) passedBelow = true;
        d = (d + 7) % 8;
        at(line, column) = 2;
        if (line == startLine && column == startColumn) return passedBelow;
        continue;
      }
      if (turns > 7) return false;
    }
    return false;
  }

 private:
  std::vector<int>& m_;
};

}  // namespace

std::vector<int> DarkRegionLevels(const LumaView& luma) {
  std::vector<int> grid(size_t(W) * H), m(size_t(W) * H), f(size_t(W) * H);
  const int t = SampleStep(luma.width) == 2 ? 2 : 1;
  int64_t sum = 0;
  for (int r = 0; r < H; ++r) {
    const uint8_t* line = luma.data + size_t(std::min(r * t, luma.height - 1)) * luma.pitch;
    for (int s = 0; s < W; ++s) {
      const int y = line[std::min(s * t, luma.width - 1)];
      grid[size_t(r) * W + s] = y;
      sum += y;
    }
  }
  const int mean = int(sum / (W * H));
  int64_t deviation = 0;
  for (int y : grid) deviation += std::abs(mean - y);
  const int dev = int(deviation / (W * H));

  for (int r : {0, 1, 2, H - 3, H - 2, H - 1})
    for (int s = 0; s < W; ++s) m[size_t(r) * W + s] = f[size_t(r) * W + s] = -1;
  for (int r = 3; r <= H - 4; ++r)
    for (int s = 0; s < W; ++s) {
      const int y = grid[size_t(r) * W + s];
      m[size_t(r) * W + s] = y < mean ? -1 : (y >= mean + (dev >> 1) ? 1 : 0);
    }
  for (int r = 3; r <= H - 4; ++r)
    for (int s = 0; s < W; ++s) {
      int acc = 0;
      for (int i = -3; i <= 3; ++i)
        for (int j = -3; j <= 3; ++j)
          acc += kWeights[i + 3][j + 3] * m[size_t(Fold(r + i, H)) * W + Fold(s + j, W)];
      f[size_t(r) * W + s] = acc >> 6;
    }
  m = f;

  Map map(m);
  for (int r = 10; r < H - 10; r += 4)
    for (int s = 10; s < W - 10; s += 4) {
      if (map.at(r, s) != -1) continue;
      map.at(r, s) = 2;
      const bool enclosed = map.Ray(r, s, 0, -1) && map.Ray(r, s, -1, 0) &&
                            map.Ray(r, s, 0, 1) && map.Ray(r, s, 1, 0);
      if (!enclosed || !map.Trace(r, s)) continue;
      for (int k : {1, 2})
        for (int dl : {-k, k})
          for (int dc : {-k, k}) map.at(r + dl, s + dc) = 2;
    }
  return m;
}

Picture DarkRegionMap(const LumaView& luma) {
  if (luma.empty()) return BlackPicture();
  const std::vector<int> levels = DarkRegionLevels(luma);
  Picture p;
  p.pixels.resize(levels.size());
  for (size_t i = 0; i < levels.size(); ++i) {
    const uint32_t g = uint32_t(levels[i] * 68 + 92);
    p.pixels[i] = g | g << 8 | g << 16;
  }
  return p;
}

}  // namespace preview
