// Frame benchmark on the demo's own 800 by 600 windowed screen, started as the demo starts it:
//  (a) a frame of the demo's shape (fill, the 450 outlined cells and a text, flip), unpaced and
//      split into its phases, then (b) paced by the screen's frame limit;
//  (c) the demo's real frame: the real scene and FrameCallback with the player held and moving
//      every frame, unpaced, split into the callback's own work (grid, query, list release) and
//      the platform calls (fill, drawing, 3D, present), then (d) the real FrameLoop's period, on the
//      performance counter and as the elapsed time the loop hands its callback.
// Run under the test harness:
//   scripts/harness.sh build/x86_64 build/x86_64/wine-run build/bin/frame_bench.exe
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/collision_grid.h"
#include "app/demo.h"
#include "app/entity.h"
#include "app/object_list.h"
#include "app/program.h"
#include "runtime/drawing/drawing.h"
#include "runtime/screen/screen_internal.h"

namespace {
constexpr int kUnpacedFrames = 500, kPacedFrames = 300;

double CounterMs(int64_t ticks) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

int64_t Now() {
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return count.QuadPart;
}

struct Summary {
  double median, p95, p5;
};

Summary Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  auto at = [&](double q) { return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))]; };
  return {at(0.5), at(0.95), at(0.05)};
}

void PrintPhase(const char* name, const std::vector<double>& values) {
  Summary s = Summarise(values);
  printf("  %-22s median %7.3f ms   p95 %7.3f ms\n", name, s.median, s.p95);
}

void PrintPeriod(const std::vector<double>& periods) {
  Summary s = Summarise(periods);
  printf("  %-22s median %7.3f ms   p5 %7.3f ms   p95 %7.3f ms\n", "period", s.median, s.p5, s.p95);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// The demo's 2D picture: 25 by 18 outlined cells, every third one red, and the count text.
void DrawGridFrame(int frame) {
  if (!BeginDrawing(ScreenTarget())) return;
  SetDrawMode(kDrawOutline);
  for (int row = 0; row < kGridRows; ++row)
    for (int column = 0; column < kGridColumns; ++column)
      DrawRect(column * kCellSize, row * kCellSize, kCellSize, kCellSize,
               (row * kGridColumns + column + frame) % 3 ? 0x00FF00 : 0x0000FF);
  SetDrawMode(0);
  DrawTextAt(0, 580, "Cols=3", 0xFFFFFF, 0);
  EndDrawing();
}

// The pointer's path: a slow ellipse over the whole screen, a new place every frame.
void PathPoint(int frame, int32_t* mouse) {
  double t = frame * 0.02;
  mouse[0] = static_cast<int32_t>(400 + 360 * std::cos(t));
  mouse[1] = static_cast<int32_t>(300 + 260 * std::sin(1.3 * t));
}

// Unpaced frames split into their phases: the fill, the frame's own drawing (given), the present.
struct PhaseTimes {
  std::vector<double> fill, drawing, present, total;
};

template <typename Drawing>
PhaseTimes TimeUnpacedFrames(Drawing drawing) {
  SetFrameLimit(1000000);  // far above any frame rate: no pacing
  PhaseTimes times;
  for (int frame = 0; frame < kUnpacedFrames; ++frame) {
    PumpMessages();
    int64_t t0 = Now();
    FillScreen(0);
    int64_t t1 = Now();
    drawing(frame);
    int64_t t2 = Now();
    FlipBuffers(0);
    int64_t t3 = Now();
    times.fill.push_back(CounterMs(t1 - t0));
    times.drawing.push_back(CounterMs(t2 - t1));
    times.present.push_back(CounterMs(t3 - t2));
    times.total.push_back(CounterMs(t3 - t0));
  }
  return times;
}

void GridShapedFrames() {
  PhaseTimes times = TimeUnpacedFrames(DrawGridFrame);
  printf("(a) unpaced, %d frames of fill + 450 cells + text + flip\n", kUnpacedFrames);
  PrintPhase("fill", times.fill);
  PrintPhase("drawing", times.drawing);
  PrintPhase("present", times.present);
  PrintPhase("frame", times.total);

  SetFrameLimit(60);
  std::vector<double> periods;
  int64_t last = Now();
  for (int frame = 0; frame < kPacedFrames; ++frame) {
    PumpMessages();
    FillScreen(0);
    DrawGridFrame(frame);
    FlipBuffers();
    int64_t now = Now();
    periods.push_back(CounterMs(now - last));
    last = now;
  }
  printf("(b) paced by the screen at 60 frames per second, %d frames\n", kPacedFrames);
  PrintPeriod(periods);
}

void DemoFrames() {
  int32_t mouse[2];
  PhaseTimes times = TimeUnpacedFrames([&](int frame) {
    PathPoint(frame, mouse);
    FrameCallback(17, mouse, 1, 0);
  });
  const std::vector<double>& callback = times.drawing;

  // The callback's own work on the same path: the grid update, the query and the list release,
  // without any drawing.
  std::vector<double> own;
  Entity* player = gProgram.player;
  for (int frame = 0; frame < kUnpacedFrames; ++frame) {
    PathPoint(frame, mouse);
    int64_t t0 = Now();
    player->x = static_cast<float>(mouse[0]);
    player->y = static_cast<float>(mouse[1]);
    UpdateMovedFlag(player);
    UpdateMovedEntities(gProgram.grid);
    ObjectList* candidates = QueryCandidates(gProgram.grid, player);
    if (candidates) {
      ObjListClear(candidates);
      FreeObject(candidates);
    }
    own.push_back(CounterMs(Now() - t0));
  }
  std::vector<double> platform(callback.size());
  double ownMedian = Summarise(own).median;
  for (size_t i = 0; i < callback.size(); ++i) platform[i] = std::max(0.0, callback[i] - ownMedian);

  printf("(c) the demo's frame, unpaced, %d frames, player held and moving every frame\n", kUnpacedFrames);
  PrintPhase("callback's own work", own);
  PrintPhase("callback's platform", platform);
  PrintPhase("fill", times.fill);
  PrintPhase("present", times.present);
  PrintPhase("frame", times.total);
}

// The real frame loop, ended by its callback after a fixed number of frames.
int gLoopFrames = 0;
std::vector<double> gLoopPeriods, gLoopElapsed;
int64_t gLoopLast = 0;

int32_t CountedFrame(int32_t elapsed, const int32_t* mouse, int32_t button1, int32_t button2) {
  int64_t now = Now();
  if (gLoopLast) {
    gLoopPeriods.push_back(CounterMs(now - gLoopLast));
    gLoopElapsed.push_back(elapsed);
  }
  gLoopLast = now;
  FrameCallback(elapsed, mouse, button1, button2);
  return ++gLoopFrames >= kPacedFrames + 1 ? 1 : 0;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  StartProgram();
  InitDisplay(kScreenWidth, kScreenHeight, 1, "frame bench", kScreenDepth);
  BuildScene();
  SetForegroundWindow(gScreen.window);
  printf("frame_bench: %dx%d windowed screen, depth %d, pixel format %d\n", gScreen.screenWidth, gScreen.screenHeight,
         gScreen.depth, gScreen.format);

  GridShapedFrames();
  DemoFrames();

  SetFrameLimit(60);
  FrameLoop(CountedFrame, 0, 1);
  printf("(d) the demo's FrameLoop, %d frames\n", kPacedFrames);
  PrintPeriod(gLoopPeriods);
  // The same periods as the frame clock tells them to the callback.
  Summary read = Summarise(gLoopElapsed);
  double steady = static_cast<double>(
      std::count_if(gLoopElapsed.begin(), gLoopElapsed.end(), [](double ms) { return ms >= 16 && ms <= 18; }));
  printf("  %-22s median %7.0f ms   p5 %7.0f ms   p95 %7.0f ms   16 to 18 ms: %.0f%%\n", "elapsed on the clock",
         read.median, read.p5, read.p95, 100.0 * steady / static_cast<double>(gLoopElapsed.size()));
  fflush(stdout);
  EndProgram();
}
