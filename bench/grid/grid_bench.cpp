// Time per frame of the grid's work beside the brute-force test of the same boxes, in the same
// run: the frame's moves (positions set, moved flags updated, the moved entities re-placed), then
// the candidate queries, each list released as the frame callback does. The demo's own grid with
// its scene and crowded ones, then scenes at the demo's density on a grid grown in proportion, up
// to 10,000 entities. Run under the test harness:
//   scripts/harness.sh build/x86_64 build/x86_64/wine-run build/bin/bench_grid.exe
#include <cstdio>
#include <memory>

#include "app/program.h"
#include "bench/grid/bench_run.h"
#include "runtime/core/heaps.h"
#include "runtime/core/platform.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"

int main() {
  using namespace bench;
  UseRuntimeHeap(PlatformHeapCreate(0, 4096, 0), nullptr);
  InitStringTemp();
  InitObjectNodes();
  InitMemoryBlocks();
  CreateProgramLists();

  const World demo = DemoWorld();
  const Scenario scenarios[] = {
      {"demo scene, player moving", 46, demo, Motion::kJump, 0, Asked::kFirst, 20000},
      {"demo scene, all moving, all asked", 46, demo, Motion::kJump, 1, Asked::kAll, 5000},
      {"crowded, player moving", 250, demo, Motion::kJump, 0, Asked::kFirst, 5000},
      {"crowded, a tenth moving, all asked", 250, demo, Motion::kJump, 10, Asked::kAll, 1000},
      {"crowded, all moving, all asked", 250, demo, Motion::kJump, 1, Asked::kAll, 500},
      {"packed, player moving", 1000, demo, Motion::kJump, 0, Asked::kFirst, 2000},
      {"packed, a tenth moving, all asked", 1000, demo, Motion::kJump, 10, Asked::kAll, 100},
      {"packed, all moving, all asked", 1000, demo, Motion::kJump, 1, Asked::kAll, 100},
      {"46 boxes, a tenth stepping", 46, ProportionalWorld(46), Motion::kStep, 0, Asked::kMoved, 20000},
      {"1,000 boxes, a tenth stepping", 1000, ProportionalWorld(1000), Motion::kStep, 0, Asked::kMoved, 2000},
      {"10,000 boxes, a tenth stepping", 10000, ProportionalWorld(10000), Motion::kStep, 0, Asked::kMoved, 200},
      {"1,000 boxes, worst case", 1000, ProportionalWorld(1000), Motion::kJump, 1, Asked::kMoved, 200},
      {"10,000 boxes, worst case", 10000, ProportionalWorld(10000), Motion::kJump, 1, Asked::kMoved, 20},
  };
  printf("bench_grid: the demo's grid is %dx%d cells of %d pixels; the grown grids keep the demo's density\n",
         demo.columns, demo.rows, kCellSize);
  PrintHeader();
  int faults = 0;
  for (const Scenario& sc : scenarios) {
    HurzGrid grid;
    BruteForce brute;
    RunOptions gridOptions, bruteOptions;
    bruteOptions.check = false;  // it is the check
    bruteOptions.budgetSeconds = 3;
    std::vector<RunResult> r = RunSideBySide({&grid, &brute}, {gridOptions, bruteOptions}, sc, 20261208);
    PrintRow(sc, grid.Name(), r[0]);
    PrintRow(sc, brute.Name(), r[1]);
    faults += r[0].missedPairs;
  }
  printf(faults ? "bench_grid: FAULTS found\n" : "bench_grid: every check passed\n");
  return faults ? 1 : 0;
}
