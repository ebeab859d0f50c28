// Frame benchmark: on an 800 by 600 windowed screen, a frame of the demo's shape (fill, the 450
// outlined grid cells and a text, then the flip) is timed without pacing, split into its phases,
// and then paced by the screen's own frame limit, to show the period a user sees.
// Run under the test harness: scripts/harness.sh build/x86_64 build/x86_64/wine-run build/bin/frame_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "runtime/core/heaps.h"
#include "runtime/core/registry.h"
#include "runtime/core/text.h"
#include "runtime/drawing/drawing.h"
#include "runtime/screen/screen.h"

namespace {
constexpr int kWidth = 800, kHeight = 600;
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

HWND MakeWindow() {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "HurzFrameBench";
  RegisterClassExA(&windowClass);
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT outer{0, 0, kWidth, kHeight};
  AdjustWindowRect(&outer, style, FALSE);
  HWND window =
      CreateWindowExA(0, "HurzFrameBench", "frame bench", style | WS_VISIBLE, 20, 20, outer.right - outer.left,
                      outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(window);
  return window;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// The demo's 2D picture: 25 by 18 outlined cells, every third one red, and the count text.
void DrawGridFrame(int frame) {
  if (!BeginDrawing(ScreenTarget())) return;
  SetDrawMode(kDrawOutline);
  for (int row = 0; row < 18; ++row)
    for (int column = 0; column < 25; ++column)
      DrawRect(column * 32, row * 32, 32, 32, (row * 25 + column + frame) % 3 ? 0x00FF00 : 0x0000FF);
  SetDrawMode(0);
  DrawTextAt(0, 580, "Cols=3", 0xFFFFFF, 0);
  EndDrawing();
}

void PrintPhase(const char* name, const std::vector<double>& values) {
  Summary s = Summarise(values);
  printf("  %-10s median %7.3f ms   p95 %7.3f ms\n", name, s.median, s.p95);
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  UseRuntimeHeap(HeapCreate(0, 4096, 0), GetModuleHandleA(nullptr));
  InitStringTemp();
  InitObjectNodes();
  InitDrawing();
  InitMemoryBlocks();
  if (!InitSprite()) {
    fprintf(stderr, "frame_bench: the screen library did not start\n");
    return 1;
  }
  HWND window = MakeWindow();
  if (!window || !OpenWindowedScreen(window, 0, 0, kWidth, kHeight, 0, 0, 0)) {
    fprintf(stderr, "frame_bench: no windowed screen\n");
    return 1;
  }

  // (a) Unpaced: a frame limit far above any frame rate and no beam wait.
  SetFrameLimit(1000000);
  std::vector<double> fill, draw, present, total;
  for (int frame = 0; frame < kUnpacedFrames; ++frame) {
    PumpMessages();
    int64_t t0 = Now();
    FillScreen(0);
    int64_t t1 = Now();
    DrawGridFrame(frame);
    int64_t t2 = Now();
    FlipBuffers(0);
    int64_t t3 = Now();
    fill.push_back(CounterMs(t1 - t0));
    draw.push_back(CounterMs(t2 - t1));
    present.push_back(CounterMs(t3 - t2));
    total.push_back(CounterMs(t3 - t0));
  }
  printf("frame_bench: 800x600 windowed screen, depth %d, format %d\n", gScreen.depth, gScreen.format);
  printf("(a) unpaced, %d frames of fill + 450 cells + text + flip\n", kUnpacedFrames);
  PrintPhase("fill", fill);
  PrintPhase("drawing", draw);
  PrintPhase("present", present);
  PrintPhase("frame", total);

  // (b) Paced by the screen: the default limit of a windowed screen and the beam wait.
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
  Summary paced = Summarise(periods);
  printf("(b) paced at 60 frames per second, %d frames\n", kPacedFrames);
  printf("  period     median %7.3f ms   p5 %7.3f ms   p95 %7.3f ms\n", paced.median, paced.p5, paced.p95);

  EndScreen();
  return 0;
}
