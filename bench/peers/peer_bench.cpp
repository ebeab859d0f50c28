// The collision grid beside other broad phases, natively (clang -O2, no sanitizers, the native heap
// stand-in): brute force, Box2D 2.4's b2DynamicTree and Chipmunk 7's cpSpaceHash and cpBBTree, on
// the same scenes and moves. Stepping scenes (a tenth of the boxes step each frame and ask) at the
// demo's density on a grid grown in proportion, the worst case (every box jumps and asks), and the
// memory in use over 10,000 worst-case frames. The peers are linked into this program only.
// Usage: peer_bench [--quick] [--least BOXES] [--most BOXES] [--frames MOST] [--grid-only | --hash-only]
//                   [--stepping]
//   --quick: short runs of the two small scenes, as a check (no memory run); --least, --most: the
//   scenes to run;
//   --frames: at most this many frames a scene (and no memory run), for slow grids;
//   --grid-only: the grid alone, for profiling; --hash-only: the grid beside Chipmunk's spatial hash
//   alone, the fastest peer at scale, so that a change to the grid is judged by their ratio in one
//   run (this machine's timings swing by a fifth from run to run); --stepping: the stepping scenes
//   alone.
#include <box2d/b2_dynamic_tree.h>
#include <chipmunk/chipmunk.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/program.h"
#include "bench/grid/bench_run.h"
#include "bench/peers/memory_latency.h"
#include "runtime/core/platform.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"

namespace bench {
namespace {

size_t HeapBytes() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Box2D works in metres; a cell is one metre, so its fattening margin is a tenth of a cell.
constexpr float kPixelsPerMetre = (float)kCellSize;

class Box2DTree : public BroadPhase {
 public:
  const char* Name() const override { return "Box2D 2.4 b2DynamicTree"; }
  void Build(const World&, const std::vector<Box>& boxes) override {
    boxes_ = boxes;
    for (size_t n = 0; n < boxes.size(); ++n) proxies_.push_back(tree_.CreateProxy(Aabb(boxes[n]), (void*)n));
  }
  // No displacement: Box2D stretches a moving proxy's box along it to predict the next move, which
  // random steps and jumps defeat (a teleport passes none either).
  void Move(int32_t box, int32_t left, int32_t top) override {
    Box& b = boxes_[box];
    b.left = left;
    b.top = top;
    tree_.MoveProxy(proxies_[box], Aabb(b), b2Vec2(0.0f, 0.0f));
  }
  void Query(int32_t box, std::vector<int32_t>* out) override {
    Collector c{&tree_, box, out};
    tree_.Query(&c, Aabb(boxes_[box]));
  }

 private:
  struct Collector {
    const b2DynamicTree* tree;
    int32_t self;
    std::vector<int32_t>* out;
    bool QueryCallback(int32 proxy) {
      auto n = (int32_t)(intptr_t)tree->GetUserData(proxy);
      if (n != self) out->push_back(n);
      return true;
    }
  };
  static b2AABB Aabb(const Box& b) {
    b2AABB a;
    a.lowerBound.Set((float)b.left / kPixelsPerMetre, (float)b.top / kPixelsPerMetre);
    a.upperBound.Set((float)(b.left + b.width) / kPixelsPerMetre, (float)(b.top + b.height) / kPixelsPerMetre);
    return a;
  }
  b2DynamicTree tree_;
  std::vector<Box> boxes_;
  std::vector<int32> proxies_;
};

// Chipmunk's spatial indexes hold objects whose bounds a callback gives.
struct ChipObject {
  Box box;
  int32_t id;
};

cpBB ChipBounds(void* obj) {
  const Box& b = ((ChipObject*)obj)->box;
  return cpBBNew(b.left, b.top, b.left + b.width, b.top + b.height);
}

struct ChipQuery {
  std::vector<int32_t>* out;
};

cpCollisionID ChipCollect(void* self, void* other, cpCollisionID id, void* data) {
  if (self != other) ((ChipQuery*)data)->out->push_back(((ChipObject*)other)->id);
  return id;
}

class ChipmunkIndex : public BroadPhase {
 public:
  explicit ChipmunkIndex(bool hash) : hash_(hash) {}
  ~ChipmunkIndex() override {
    if (index_) cpSpatialIndexFree(index_);
  }
  const char* Name() const override { return hash_ ? "Chipmunk 7 cpSpaceHash" : "Chipmunk 7 cpBBTree"; }
  void Build(const World&, const std::vector<Box>& boxes) override {
    // The hash: cells of the grid's size, and about as many as the grid has (ten per box).
    index_ = hash_ ? cpSpaceHashNew(kCellSize, 10 * (int)boxes.size(), ChipBounds, nullptr)
                   : cpBBTreeNew(ChipBounds, nullptr);
    objects_.resize(boxes.size());
    for (size_t n = 0; n < boxes.size(); ++n) {
      objects_[n] = {boxes[n], (int32_t)n};
      cpSpatialIndexInsert(index_, &objects_[n], n);
    }
  }
  void Move(int32_t box, int32_t left, int32_t top) override {
    objects_[box].box.left = left;
    objects_[box].box.top = top;
    cpSpatialIndexReindexObject(index_, &objects_[box], box);
  }
  void Query(int32_t box, std::vector<int32_t>* out) override {
    ChipQuery q{out};
    cpSpatialIndexQuery(index_, &objects_[box], ChipBounds(&objects_[box]), ChipCollect, &q);
  }

 private:
  bool hash_;
  cpSpatialIndex* index_ = nullptr;
  std::vector<ChipObject> objects_;
};

// The structures, as Make makes them.
constexpr int kGrid = 0, kBrute = 1, kBox2D = 2, kHash = 3, kTree = 4;

std::unique_ptr<BroadPhase> Make(int which) {
  switch (which) {
    case kGrid:
      return std::make_unique<HurzGrid>();
    case kBrute:
      return std::make_unique<BruteForce>();
    case kBox2D:
      return std::make_unique<Box2DTree>();
    case kHash:
      return std::make_unique<ChipmunkIndex>(true);
    default:
      return std::make_unique<ChipmunkIndex>(false);
  }
}
std::vector<int> gStructures = {kGrid, kBrute, kBox2D, kHash, kTree};  // those measured, the grid first
constexpr uint64_t kSeed = 20261208;

// Times every structure on the scene; returns 0 when one missed an overlapping pair.
int TimeScene(const Scenario& sc) {
  std::vector<std::unique_ptr<BroadPhase>> owned;
  std::vector<BroadPhase*> structures;
  std::vector<RunOptions> options;
  for (int which : gStructures) {
    owned.push_back(Make(which));
    structures.push_back(owned.back().get());
    RunOptions o;
    o.heapBytes = HeapBytes;
    if (which == kBrute) {
      o.budgetSeconds = 5;  // brute force at 100,000 boxes takes seconds a frame: a sample
      o.check = false;      // it is the check
    }
    options.push_back(o);
  }
  std::vector<RunResult> results = RunSideBySide(structures, options, sc, kSeed);
  double grid = 0, brute = 0, fastestPeer = 1e300;
  const char* fastest = "";
  int faults = 0;
  for (size_t k = 0; k < results.size(); ++k) {
    const RunResult& r = results[k];
    int which = gStructures[k];
    PrintRow(sc, structures[k]->Name(), r);
    faults += r.missedPairs;
    double median = r.Quantile(0.5);
    if (which == kGrid) grid = median;
    if (which == kBrute) brute = median;
    if (which > kBrute && median < fastestPeer) {
      fastestPeer = median;
      fastest = structures[k]->Name();
    }
  }
  if (results.size() < 2) return faults == 0;
  printf("  %s: grid %.4f ms", sc.name, grid);
  if (brute > 0) printf(" = %.2f x brute force", grid / brute);
  if (fastestPeer < 1e300)
    printf("%s%.2f x the fastest peer (%s)", brute > 0 ? ", " : " = ", grid / fastestPeer, fastest);
  printf("\n");
  return faults == 0;
}

// Heap bytes per box after every thousand worst-case frames: nothing may grow.
int MemoryOverTime(int boxes, int frames) {
  Scenario sc{"worst case, memory", boxes, ProportionalWorld(boxes), Motion::kJump, 1, Asked::kMoved, 1000};
  int ok = 1;
  for (int which : gStructures) {
    if (which == kBrute) continue;  // brute force holds one array
    std::unique_ptr<BroadPhase> s = Make(which);
    size_t before = HeapBytes();
    SceneSource source(sc, kSeed);
    s->Build(sc.world, source.Start());
    std::vector<Move> moves;
    std::vector<int32_t> out;
    printf("  %-24s bytes per box after 0", s->Name());
    printf(" %.0f", (double)(HeapBytes() - before) / boxes);
    size_t low = SIZE_MAX, high = 0;
    for (int frame = 1; frame <= frames; ++frame) {
      source.NextFrame(&moves);
      for (const Move& m : moves) s->Move(m.box, m.left, m.top);
      s->EndMoves();
      for (const Move& m : moves) {
        out.clear();
        s->Query(m.box, &out);
      }
      if (frame % 1000 == 0) {
        size_t now = HeapBytes() - before;
        low = std::min(low, now);
        high = std::max(high, now);
        if (frame == 1000) printf(", after 1000..%d frames:", frames);
        printf(" %.0f", (double)now / boxes);
      }
    }
    // Frame 1000 on, the structures have reached their working size; after it nothing may grow.
    printf("  (spread %.1f%%)\n", 100.0 * (double)(high - low) / (double)low);
    if (which == 0 && high > low + low / 100) ok = 0;
  }
  return ok;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  using namespace bench;
  bool quick = false, stepping = false;
  int least = 0, most = 100000, frames = 0;
  for (int k = 1; k < argc; ++k) {
    if (!strcmp(argv[k], "--quick")) quick = true;
    if (!strcmp(argv[k], "--most") && k + 1 < argc) most = atoi(argv[++k]);
    if (!strcmp(argv[k], "--least") && k + 1 < argc) least = atoi(argv[++k]);
    if (!strcmp(argv[k], "--frames") && k + 1 < argc) frames = atoi(argv[++k]);
    if (!strcmp(argv[k], "--grid-only")) gStructures = {kGrid};
    if (!strcmp(argv[k], "--hash-only")) gStructures = {kGrid, kHash};
    if (!strcmp(argv[k], "--stepping")) stepping = true;
  }
  auto cap = [&](int n) { return frames > 0 ? std::min(n, frames) : quick ? std::min(n, 50) : n; };
  UseRuntimeHeap(PlatformHeapCreate(0, 4096, 0), nullptr);
  InitStringTemp();
  InitObjectNodes();
  InitMemoryBlocks();
  CreateProgramLists();

  struct Size {
    int boxes, stepFrames, jumpFrames;
  };
  const Size sizes[] = {{46, 20000, 5000}, {1000, 3000, 500}, {10000, 500, 40}, {100000, 60, 8}};
  const char* stepNames[] = {"46 boxes, a tenth stepping", "1,000 boxes, a tenth stepping",
                             "10,000 boxes, a tenth stepping", "100,000 boxes, a tenth stepping"};
  const char* jumpNames[] = {"46 boxes, worst case", "1,000 boxes, worst case", "10,000 boxes, worst case",
                             "100,000 boxes, worst case"};
  int ok = 1;
  if (frames == 0 && !quick) PrintMemoryLatency();
  PrintHeader();
  for (int k = 0; k < 4; ++k) {
    const Size& z = sizes[k];
    if (z.boxes < least || z.boxes > most || (quick && z.boxes > 1000)) continue;
    World w = ProportionalWorld(z.boxes);
    ok &= TimeScene({stepNames[k], z.boxes, w, Motion::kStep, 0, Asked::kMoved, cap(z.stepFrames)});
    if (stepping) continue;
    ok &= TimeScene({jumpNames[k], z.boxes, w, Motion::kJump, 1, Asked::kMoved, cap(z.jumpFrames) / (quick ? 10 : 1)});
  }
  if (frames == 0 && !quick) {
    printf("memory in use, worst case at 1,000 boxes:\n");
    ok &= MemoryOverTime(1000, 10000);
  }
  printf(ok ? "peer_bench: every check passed\n" : "peer_bench: FAILED\n");
  return ok ? 0 : 1;
}
