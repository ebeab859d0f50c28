// Times broad phases over a scene, frame by frame: the frame's moves applied, then every asked box
// asks for its candidates. Also holds the two structures both grid benchmarks time, the hurz grid
// and the brute-force test, and checks on sampled frames that a structure's candidates include
// every overlapping pair (a broad phase may report more, never fewer). Platform-free.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/collision_grid.h"
#include "app/entity.h"
#include "app/object_list.h"
#include "bench/grid/bench_scene.h"
#include "runtime/core/heaps.h"
#include "runtime/core/text.h"

namespace bench {

class BroadPhase {
 public:
  virtual ~BroadPhase() = default;
  virtual const char* Name() const = 0;
  virtual void Build(const World& world, const std::vector<Box>& boxes) = 0;
  virtual void Move(int32_t box, int32_t left, int32_t top) = 0;
  virtual void EndMoves() {}
  // Appends the other boxes the structure reports for the box.
  virtual void Query(int32_t box, std::vector<int32_t>* out) = 0;
};

class BruteForce : public BroadPhase {
 public:
  const char* Name() const override { return "brute force"; }
  void Build(const World&, const std::vector<Box>& boxes) override { boxes_ = boxes; }
  void Move(int32_t box, int32_t left, int32_t top) override {
    boxes_[box].left = left;
    boxes_[box].top = top;
  }
  void Query(int32_t box, std::vector<int32_t>* out) override {
    const Box a = boxes_[box];
    for (int32_t n = 0; n < (int32_t)boxes_.size(); ++n) {
      if (n != box && Overlap(a, boxes_[n])) out->push_back(n);
    }
  }

 private:
  std::vector<Box> boxes_;
};

// The collision grid as the demo drives it: positions set, moved flags updated, the moved entities
// re-placed, and each candidate list released after it was read. An entity's number is its box.
class HurzGrid : public BroadPhase {
 public:
  ~HurzGrid() override {
    FreeGrid(grid_);
    ReleaseSpareBlocks();  // so the next structure measured starts from the heap alone
    for (Entity* e : entities_) {
      FreeString(e->name);
      FreeBlock(e);
    }
  }
  const char* Name() const override { return "hurz grid"; }
  void Build(const World& world, const std::vector<Box>& boxes) override {
    // The scene's entities first, then their registration, as a program loads a scene.
    for (size_t n = 0; n < boxes.size(); ++n) {
      Entity* e = CreateEntity("bench", (ObjectNumber)n);
      e->x = (float)boxes[n].left;
      e->y = (float)boxes[n].top;
      e->width = boxes[n].width;
      e->height = boxes[n].height;
      entities_.push_back(e);
    }
    grid_ = CreateGrid(world.columns, world.rows, kCellSize, kCellSize, "bench", AnyID);
    for (Entity* e : entities_) AddEntityToGrid(grid_, e);
  }
  void Move(int32_t box, int32_t left, int32_t top) override {
    Entity* e = entities_[box];
    e->x = (float)left;
    e->y = (float)top;
    UpdateMovedFlag(e);
    flagged_.push_back(e);
  }
  void EndMoves() override {
    UpdateMovedEntities(grid_);
    for (Entity* e : flagged_) UpdateMovedFlag(e);  // unchanged since: the flag goes back to 0
    flagged_.clear();
  }
  void Query(int32_t box, std::vector<int32_t>* out) override {
    ObjectList* candidates = QueryCandidates(grid_, entities_[box]);
    for (ListNode* n = ObjListFirst(candidates); n; n = n->next) out->push_back((int32_t)((Entity*)n->item)->number);
    ObjListFree(candidates);
  }
  const CollisionGrid* Grid() const { return grid_; }

 private:
  CollisionGrid* grid_ = nullptr;
  std::vector<Entity*> entities_, flagged_;
};

struct RunOptions {
  size_t (*heapBytes)() = nullptr;  // bytes in use on the heaps the structures allocate from
  double budgetSeconds = 0;         // stop after this much frame time (at least one frame); 0: all frames
  bool check = true;                // compare candidates with the overlap test on sampled frames
};

struct RunResult {
  std::vector<double> frameMs;
  double candidates = 0;    // per frame
  double bytesPerBox = -1;  // after building, on the heaps; -1 when not measured
  int framesPlanned = 0;
  int checkedQueries = 0;
  int missedPairs = 0;  // overlapping pairs a checked query did not report
  double Quantile(double q) const {
    std::vector<double> v = frameMs;
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[(size_t)(q * (double)(v.size() - 1))];
  }
};

inline double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Whether two boxes overlap with a positive area inside the grid: the demo's grid covers 576 of its
// screen's 600 pixels, and what lies beyond the grid is in no cell.
inline bool OverlapInGrid(const World& w, const Box& a, const Box& b) {
  if (!Overlap(a, b)) return false;
  Box in{std::max(a.left, b.left), std::max(a.top, b.top), 0, 0};
  in.width = std::min(a.left + a.width, b.left + b.width) - in.left;
  in.height = std::min(a.top + a.height, b.top + b.height) - in.top;
  return Overlap(in, Box{0, 0, w.columns * kCellSize, w.rows * kCellSize});
}

// Checks a sample of the frame's queries against the overlap test; the sample keeps a checked
// frame to about 10^8 box comparisons.
inline void CheckFrame(BroadPhase& s, const World& w, const std::vector<Box>& boxes,
                       const std::vector<int32_t>& asked, RunResult* r) {
  size_t stride = std::max<size_t>(1, asked.size() * boxes.size() / 100000000);
  std::vector<int32_t> got;
  for (size_t k = 0; k < asked.size(); k += stride) {
    int32_t box = asked[k];
    got.clear();
    s.Query(box, &got);
    std::sort(got.begin(), got.end());
    ++r->checkedQueries;
    if (std::binary_search(got.begin(), got.end(), box)) ++r->missedPairs;  // itself: counted as a fault
    for (int32_t n = 0; n < (int32_t)boxes.size(); ++n) {
      if (n != box && OverlapInGrid(w, boxes[box], boxes[n]) && !std::binary_search(got.begin(), got.end(), n))
        ++r->missedPairs;
    }
  }
}

// One structure's run through a scene: its own copy of the moves, and of the boxes for the check.
class Lane {
 public:
  Lane(BroadPhase* s, const Scenario& sc, uint64_t seed, const RunOptions& o)
      : s_(s), sc_(sc), o_(o), source_(sc, seed), boxes_(source_.Start()) {
    r_.framesPlanned = sc.frames;
    size_t before = o.heapBytes ? o.heapBytes() : 0;
    s->Build(sc.world, boxes_);
    if (o.heapBytes) r_.bytesPerBox = (double)(o.heapBytes() - before) / sc.boxes;
  }

  bool Done() const {
    int frame = (int)r_.frameMs.size();
    return frame >= sc_.frames || (o_.budgetSeconds > 0 && frame > 0 && spent_ > o_.budgetSeconds * 1e3);
  }

  void Frame() {
    int frame = (int)r_.frameMs.size();
    source_.NextFrame(&moves_);
    asked_.clear();
    if (sc_.asked == Asked::kMoved) {
      for (const Move& m : moves_) asked_.push_back(m.box);
    } else {
      for (int32_t n = 0; n < (sc_.asked == Asked::kAll ? sc_.boxes : 1); ++n) asked_.push_back(n);
    }
    size_t reported = 0;
    double t0 = NowMs();
    for (const Move& m : moves_) s_->Move(m.box, m.left, m.top);
    s_->EndMoves();
    for (int32_t box : asked_) {
      out_.clear();
      s_->Query(box, &out_);
      reported += out_.size();
    }
    double ms = NowMs() - t0;
    spent_ += ms;
    r_.frameMs.push_back(ms);
    found_ += (double)reported;
    r_.candidates = found_ / (double)r_.frameMs.size();
    for (const Move& m : moves_) {
      boxes_[m.box].left = m.left;
      boxes_[m.box].top = m.top;
    }
    // Checked frames: the first few, then about twenty spread over the run.
    if (o_.check && (frame < 3 || frame % std::max(1, sc_.frames / 20) == 0)) CheckFrame(*s_, sc_.world, boxes_, asked_, &r_);
  }

  const RunResult& Result() const { return r_; }

 private:
  BroadPhase* s_;
  Scenario sc_;
  RunOptions o_;
  SceneSource source_;
  std::vector<Box> boxes_;
  std::vector<Move> moves_;
  std::vector<int32_t> asked_, out_;
  RunResult r_;
  double spent_ = 0, found_ = 0;
};

// Every structure plays the scene in turns of a few frames, so that a change in the machine's load
// falls on all of them alike.
inline std::vector<RunResult> RunSideBySide(const std::vector<BroadPhase*>& structures,
                                            const std::vector<RunOptions>& options, const Scenario& sc,
                                            uint64_t seed) {
  std::vector<std::unique_ptr<Lane>> lanes;
  for (size_t k = 0; k < structures.size(); ++k)
    lanes.push_back(std::make_unique<Lane>(structures[k], sc, seed, options[k]));
  const int turn = std::max(5, sc.frames / 20);
  for (bool more = true; more;) {
    more = false;
    for (auto& lane : lanes) {
      for (int f = 0; f < turn && !lane->Done(); ++f) lane->Frame();
      more = more || !lane->Done();
    }
  }
  std::vector<RunResult> results;
  for (auto& lane : lanes) results.push_back(lane->Result());
  return results;
}

inline void PrintHeader() {
  printf("| %-36s | %-24s | %10s | %10s | %12s | %9s | %-22s |\n", "scene", "structure", "median ms", "p95 ms",
         "candidates", "bytes/box", "frames");
  printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(38, '-').c_str(), std::string(26, '-').c_str(),
         std::string(12, '-').c_str(), std::string(12, '-').c_str(), std::string(14, '-').c_str(),
         std::string(11, '-').c_str(), std::string(24, '-').c_str());
}

inline void PrintRow(const Scenario& sc, const char* structure, const RunResult& r) {
  char frames[64], bytes[32];
  int ran = (int)r.frameMs.size();
  if (ran < r.framesPlanned)
    snprintf(frames, sizeof frames, "%d of %d (sampled)", ran, r.framesPlanned);
  else
    snprintf(frames, sizeof frames, "%d", ran);
  if (r.bytesPerBox >= 0)
    snprintf(bytes, sizeof bytes, "%.0f", r.bytesPerBox);
  else
    snprintf(bytes, sizeof bytes, "-");
  printf("| %-36s | %-24s | %10.4f | %10.4f | %12.1f | %9s | %-22s |\n", sc.name, structure, r.Quantile(0.5),
         r.Quantile(0.95), r.candidates, bytes, frames);
  if (r.missedPairs) printf("FAULT: %s missed %d overlapping pairs in %s\n", structure, r.missedPairs, sc.name);
  fflush(stdout);
}

}  // namespace bench
