// The scenes of the grid benchmarks (bench_grid.exe and the native peer benchmark): boxes of 20 to
// 49 pixels placed at random in a world, and the moves of every frame drawn from a fixed seed, so
// that every structure timed on a scene sees the same boxes and the same moves. Platform-free.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/program.h"

namespace bench {

struct Box {
  int32_t left, top, width, height;
};

// Overlap with a positive area: what the grid's placement rule and the brute-force test count.
inline bool Overlap(const Box& a, const Box& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

constexpr int32_t kSmallestBox = 20, kLargestBox = 49;
constexpr int32_t kLongestStep = 8;

// Where boxes may lie, and the grid over it.
struct World {
  int32_t width, height;  // boxes lie wholly inside
  int32_t columns, rows;  // of the demo's cells (kCellSize)
};

// The demo's own grid (25 by 18 cells), boxes scattered over its screen (800 by 600).
inline World DemoWorld() { return {kScreenWidth, kScreenHeight, kGridColumns, kGridRows}; }

// The demo's density at any size: its 46 boxes fill its screen, so the world's sides grow with
// the square root of the number of boxes and the grid is grown to cover it.
inline World ProportionalWorld(int boxes) {
  double scale = std::sqrt(boxes / (double)(1 + kBirdCount));
  World w;
  w.width = std::max<int32_t>(kLargestBox + 1, (int32_t)std::lround(kScreenWidth * scale));
  w.height = std::max<int32_t>(kLargestBox + 1, (int32_t)std::lround(kScreenHeight * scale));
  w.columns = (w.width + kCellSize - 1) / kCellSize;
  w.rows = (w.height + kCellSize - 1) / kCellSize;
  return w;
}

// splitmix64: the same numbers on every compiler and platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int32_t Between(int32_t low, int32_t high) { return low + (int32_t)(Next() % (uint64_t)(high - low + 1)); }

 private:
  uint64_t state_;
};

enum class Motion {
  kStep,  // a tenth of the boxes, picked at random, step up to kLongestStep pixels each way
  kJump,  // every n-th box (n = jumpEvery; 0: only the first) jumps to a random place
};
enum class Asked {
  kMoved,  // every moved box asks for its candidates
  kFirst,  // only the first box asks
  kAll,    // every box asks
};

struct Scenario {
  const char* name;
  int boxes;
  World world;
  Motion motion;
  int jumpEvery;
  Asked asked;
  int frames;
};

struct Move {
  int32_t box;
  int32_t left, top;
};

// The boxes at the start and the moves of each frame, reproducible from the seed alone.
class SceneSource {
 public:
  SceneSource(const Scenario& s, uint64_t seed) : s_(s), random_(seed) {
    for (int n = 0; n < s.boxes; ++n) {
      Box b;
      b.width = random_.Between(kSmallestBox, kLargestBox);
      b.height = random_.Between(kSmallestBox, kLargestBox);
      b.left = random_.Between(0, s.world.width - b.width);
      b.top = random_.Between(0, s.world.height - b.height);
      boxes_.push_back(b);
      order_.push_back(n);
    }
    start_ = boxes_;
  }

  const std::vector<Box>& Start() const { return start_; }

  // The next frame's moves, in the order the structures apply them (and, for kMoved, are asked).
  void NextFrame(std::vector<Move>* moves) {
    moves->clear();
    if (s_.motion == Motion::kStep) {
      int count = std::max(1, s_.boxes / 10);
      for (int k = 0; k < count; ++k) {  // a partial shuffle picks distinct boxes
        std::swap(order_[k], order_[random_.Between(k, s_.boxes - 1)]);
        Box& b = boxes_[order_[k]];
        b.left = std::clamp(b.left + random_.Between(-kLongestStep, kLongestStep), 0, s_.world.width - b.width);
        b.top = std::clamp(b.top + random_.Between(-kLongestStep, kLongestStep), 0, s_.world.height - b.height);
        moves->push_back({order_[k], b.left, b.top});
      }
      return;
    }
    for (int n = 0; n < s_.boxes; ++n) {
      if (s_.jumpEvery ? n % s_.jumpEvery != 0 : n != 0) continue;
      Box& b = boxes_[n];
      b.left = random_.Between(0, s_.world.width - b.width);
      b.top = random_.Between(0, s_.world.height - b.height);
      moves->push_back({n, b.left, b.top});
    }
  }

 private:
  Scenario s_;
  Random random_;
  std::vector<Box> boxes_, start_;
  std::vector<int32_t> order_;
};

}  // namespace bench
