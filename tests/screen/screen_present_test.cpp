// Presenting and pacing frames, the sprite hooks the screen calls around a loss of the display,
// full-screen mode at the desktop's own size (switched away, and its display lost and rebuilt), a
// picture found on the X display, and the windowed screen's window subclass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "runtime/core/platform.h"
#include "runtime/core/registry_internal.h"
#include "runtime/drawing/drawing.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprites.h"
#include "support/bmp_images.h"
#include "support/client_capture.h"
#include "support/screen_fixture.h"
#include "support/unix_command.h"

namespace {
int gSaves = 0;
int gRestores = 0;
int gDeletes = 0;

void CountSave() { ++gSaves; }
void CountRestore() { ++gRestores; }

// Stands in for the sprite library: releases the test sprite's surface and frees its number.
void DeleteTestSprite(ObjectNumber number) {
  auto* record = static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, number));
  if (!record) return;
  record->surface->Release();
  RegistryFree(gScreen.sprites, number);
  ++gDeletes;
}

class SpriteHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    gSaves = gRestores = gDeletes = 0;
    gScreen.saveSpritePixels = CountSave;
    gScreen.restoreSpritePixels = CountRestore;
    gScreen.deleteSprite = DeleteTestSprite;
  }
  void TearDown() override {
    OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
    gScreen.saveSpritePixels = gScreen.restoreSpritePixels = nullptr;
    gScreen.deleteSprite = nullptr;
  }
  // Registers an off-screen surface of the open screen as sprite number 3.
  SpriteRecord* MakeSprite(int width, int height) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = width;
    desc.dwHeight = height;
    IDirectDrawSurface7* surface = nullptr;
    if (FAILED(gScreen.directDraw->CreateSurface(&desc, &surface, nullptr))) return nullptr;
    auto* record = static_cast<SpriteRecord*>(RegistryAllocate(gScreen.sprites, 3));
    record->surface = surface;
    record->width = record->currentWidth = static_cast<int16_t>(width);
    record->height = record->currentHeight = static_cast<int16_t>(height);
    record->depth = 32;
    return record;
  }
};

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}
}  // namespace

// The wait ends before the copy, so five flips after a first one span at least four periods
// whatever the copy costs (as long as it is shorter than a period). Each wait ends a period after
// the previous one, or later on a loaded machine (which is why only the period itself is checked
// from above), so no step of the mark is shorter than the period.
TEST(FramePacingOnTheCounter, FlipsAtSixtyAreAPeriodApart) {
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
  ASSERT_EQ(gScreen.frameRate, 60);
  FlipBuffers();
  LARGE_INTEGER frequency, first, second;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&first);
  double shortestStep = 1e9;
  for (int i = 0; i < 5; ++i) {
    int32_t mark = gScreen.lastTick;
    FlipBuffers(i & 1);
    double step = 1000.0 * static_cast<uint32_t>(gScreen.lastTick - mark) / static_cast<double>(frequency.QuadPart);
    shortestStep = std::min(shortestStep, step);
  }
  QueryPerformanceCounter(&second);
  EXPECT_GE(Milliseconds(first, second), 4 * 1000.0 / 61);
  EXPECT_GE(shortestStep, 1000.0 / 61);
  EXPECT_EQ(gScreen.ticksPerFrame, static_cast<int32_t>(frequency.QuadPart / 61));
  // A frame longer than the period is presented at once, and the next period starts there.
  Sleep(40);
  EXPECT_EQ(WaitFrame(), 0);
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
}

TEST(FramePacingOnTheCounter, NegativeLimitIsRefused) {
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_EQ(SetFrameLimit(25), 1);
  EXPECT_EQ(gScreen.lastTick, 0);
  EXPECT_EQ(SetFrameLimit(-1), 0);
  EXPECT_EQ(gScreen.frameRate, 25);
  SetFrameLimit(0);
}

TEST_F(SpriteHooks, SelectedSpriteIsFilledAndFlipSelectsTheBackBufferAgain) {
  ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
  SpriteRecord* sprite = MakeSprite(16, 8);
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(SelectOutput(3), sprite->surface);
  EXPECT_EQ(gScreen.width, 16);
  EXPECT_EQ(gScreen.height, 8);
  FillScreen(0x00FF00);
  {
    SurfacePixels pixels(sprite->surface);
    ASSERT_TRUE(pixels.ok());
    EXPECT_EQ(pixels.at(15, 7), 0x00FF00u);
  }
  EXPECT_EQ(SelectOutput(99), sprite->surface);  // no such sprite: nothing changes
  FlipBuffers();
  EXPECT_EQ(gScreen.output, gScreen.backBuffer);
  EXPECT_EQ(gScreen.width, 320);
  EXPECT_EQ(gScreen.height, 240);
}

TEST_F(SpriteHooks, ReopeningTheScreenFreesItsSprites) {
  HWND window = TestWindow(320, 240);
  ASSERT_EQ(OpenWindowedScreen(window, 0, 0, 320, 240, 0, 0, 0), 1);
  ASSERT_NE(MakeSprite(8, 8), nullptr);
  ASSERT_EQ(OpenWindowedScreen(window, 0, 0, 320, 240, 0, 0, 0), 1);
  EXPECT_EQ(gDeletes, 1);
  EXPECT_EQ(RegistryLookup(gScreen.sprites, 3), nullptr);
}

TEST_F(SpriteHooks, SessionLockSavesAndUnlockRestores) {
  HWND window = TestWindow(320, 240);
  ASSERT_EQ(OpenWindowedScreen(window, 0, 0, 320, 240, 0, 0, 0), 1);
  EXPECT_EQ(SendMessageA(window, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0), 0);
  EXPECT_EQ(gSaves, 1);
  EXPECT_EQ(gRestores, 0);
  SendMessageA(window, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
  EXPECT_EQ(gRestores, 1);
  SendMessageA(window, WM_WTSSESSION_CHANGE, 1, 0);
  EXPECT_EQ(gSaves + gRestores, 2);
}

TEST_F(SpriteHooks, ReleasingTabSavesOnceUntilTheNextActivation) {
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);  // installs the suspend routine, leaves no screen
  ASSERT_EQ(gScreen.windowed, 0);
  HWND base = gScreen.baseWindow;
  gScreen.suspended = 0;
  SendMessageA(base, WM_KEYUP, VK_TAB, 0);
  EXPECT_EQ(gSaves, 1);
  SendMessageA(base, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(gSaves, 1);
  EXPECT_EQ(gScreen.active, 0);
  EXPECT_EQ(IsDisplayActive(), 0);
  SendMessageA(base, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(gScreen.active, 1);
  EXPECT_EQ(gScreen.suspended, 0);
  SendMessageA(base, WM_SYSKEYUP, VK_MENU, 0);
  EXPECT_EQ(gSaves, 2);
  SendMessageA(base, WM_KEYUP, 'A', 0);
  EXPECT_EQ(gSaves, 2);
}

// Xvfb offers only its own mode, so full screen is tried at the desktop's size.
TEST(FullScreen, OpensFillsFlipsAndCloses) {
  ASSERT_TRUE(EnsureScreenStarted());
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_EQ(OpenScreen(width, height, 32, "hurz"), 1);
  EXPECT_EQ(gScreen.window, gScreen.baseWindow);
  EXPECT_EQ(gScreen.windowed, 0);
  EXPECT_EQ(gScreen.format, kFormatBGR32);
  EXPECT_TRUE(IsWindowVisible(gScreen.baseWindow));
  EXPECT_EQ(IsDisplayActive(), gScreen.active);
  FillScreen(0x0000FF);
  FlipBuffers();
  FillScreen(0x404040);
  ASSERT_NE(BeginDrawing(ScreenTarget()), 0);
  DrawRect(0, 0, 4, 4, 0x00FF00);
  EndDrawing();
  {
    SurfacePixels pixels(gScreen.backBuffer);
    ASSERT_TRUE(pixels.ok());
    EXPECT_EQ(pixels.at(2, 2), 0x00FF00u);
    EXPECT_EQ(pixels.at(width - 1, height - 1), 0x404040u);
  }
  FlipBuffers(3);
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(gScreen.screenWidth, 0);
  EXPECT_FALSE(IsWindowVisible(gScreen.baseWindow));
  EXPECT_EQ(gScreen.cursorHidden, 0);
}

// Switched away from, the program keeps running its frames but flips nothing; once activated
// again it flips as before. Flipping swaps the contents of the two buffers.
TEST(FullScreen, SwitchedAwayFlipsNothingUntilActivatedAgain) {
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_EQ(OpenScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 32, "hurz"), 1);
  auto pixel = [](IDirectDrawSurface7* surface) {
    SurfacePixels pixels(surface);
    return pixels.ok() ? pixels.at(5, 5) : 0xDEADu;
  };
  FillScreen(0x0000FF);
  FlipBuffers();
  FillScreen(0x00FF00);
  SendMessageA(gScreen.baseWindow, WM_ACTIVATE, WA_INACTIVE, 0);
  ASSERT_EQ(IsDisplayActive(), 0);
  FlipBuffers();
  EXPECT_EQ(pixel(gScreen.primary), 0xFF0000u) << "flipped while switched away";
  EXPECT_EQ(pixel(gScreen.backBuffer), 0x00FF00u);
  SendMessageA(gScreen.baseWindow, WM_ACTIVATE, WA_ACTIVE, 0);
  FlipBuffers();
  EXPECT_EQ(pixel(gScreen.primary), 0x00FF00u);
  EXPECT_EQ(pixel(gScreen.backBuffer), 0xFF0000u);
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
}

// Switched away and back as Windows does it: releasing Tab saves the sprites' pixels, the display
// is taken, and the first flip after the return finds it lost, rebuilds it and puts the pixels
// back; the next frames flip normally.
TEST(FullScreen, LostDisplayIsRebuiltWithTheSpritesPixels) {
  ASSERT_TRUE(EnsureScreenStarted());
  ASSERT_EQ(OpenScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 32, "hurz"), 1);
  auto colour = [](int x, int y) {
    return 0x102030u * static_cast<uint32_t>(x + 1) + 0x40u * static_cast<uint32_t>(y);
  };
  auto file = MakeBmp(5, 3, 24, colour);
  intptr_t sprite = LoadSpriteMemory(AnyID, file.data(), 0, file.size());
  ASSERT_NE(sprite, 0);
  auto* record = static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, sprite));
  HWND base = gScreen.baseWindow;
  SendMessageA(base, WM_KEYUP, VK_TAB, 0);
  ASSERT_NE(record->backup, nullptr);
  // What the sprite's video memory holds after a loss is undefined.
  DDBLTFX fill{};
  fill.dwSize = sizeof fill;
  fill.dwFillColor = 0x123456;
  ASSERT_EQ(record->surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill), DD_OK);
  SendMessageA(base, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageA(base, WM_ACTIVATEAPP, FALSE, 0);
  ASSERT_EQ(gScreen.primary->IsLost(), DDERR_SURFACELOST);
  FlipBuffers();
  SendMessageA(base, WM_ACTIVATEAPP, TRUE, 0);
  SendMessageA(base, WM_ACTIVATE, WA_ACTIVE, 0);
  FlipBuffers();
  EXPECT_EQ(gScreen.primary->IsLost(), DD_OK);
  EXPECT_EQ(record->backup, nullptr);
  FillScreen(0xFF0000);
  FlipBuffers();
  {
    SurfacePixels pixels(record->surface);
    ASSERT_TRUE(pixels.ok());
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(pixels.raw(x, y), colour(x, y)) << x << "," << y;
    SurfacePixels front(gScreen.primary);
    ASSERT_TRUE(front.ok());
    EXPECT_EQ(front.at(5, 5), 0x0000FFu);
  }
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
}

// A full screen holds the 1 ms timer period while it is open; the library's end gives it back,
// and the library started again balances its next full screen as before.
TEST(FullScreen, EndingTheLibraryGivesBackTheTimerPeriod) {
  ASSERT_TRUE(EnsureScreenStarted());
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  int32_t holds = PlatformFineTimerHolds();
  ASSERT_EQ(OpenScreen(width, height, 32, "hurz"), 1);
  EXPECT_EQ(PlatformFineTimerHolds(), holds + 1);
  EndScreen();
  EXPECT_EQ(PlatformFineTimerHolds(), holds);
  EXPECT_EQ(gScreen.screenWidth, 0);
  ASSERT_NE(InitSprite(), 0);
  ASSERT_EQ(OpenScreen(width, height, 32, "hurz"), 1);
  EXPECT_EQ(PlatformFineTimerHolds(), holds + 1);
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(PlatformFineTimerHolds(), holds);
}

TEST(FullScreen, RefusedModeLeavesNoScreen) {
  ASSERT_TRUE(EnsureScreenStarted());
  if (OpenScreen(123, 77, 32, "odd") == 1) GTEST_SKIP() << "this display accepts any mode";
  EXPECT_EQ(gScreen.screenWidth, 0);
  EXPECT_EQ(gScreen.primary, nullptr);
  EXPECT_EQ(gScreen.cursorHidden, 0);
  EXPECT_EQ(gScreen.window, gScreen.baseWindow);
}

// Draws a known picture on an 800 by 600 screen, presents it and finds it on the X display.
TEST(Screenshot, PresentedFrameShowsInTheClientArea) {
  ASSERT_TRUE(EnsureScreenStarted());
  HWND window = TestWindow(800, 600, 20, 20);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(OpenWindowedScreen(window, 0, 0, 800, 600, 0, 0, 0), 1);
  FillScreen(0x800000);
  ASSERT_NE(BeginDrawing(ScreenTarget()), 0);
  DrawRect(100, 100, 200, 100, 0x0000FF);
  DrawRect(400, 300, 50, 50, 0x00FF00);
  SetDrawColor(0xFFFFFF);
  DrawLine(10, 500, 780, 0);
  SetDrawMode(kDrawTransparentText);
  int32_t textEnd = DrawTextAt(300, 40, "hurz", 0xFFFFFF);
  EndDrawing();
  FlipBuffers();
  PumpTestMessages(100);
  FlipBuffers();

  ClientPicture picture = CaptureClientArea(window);
  ASSERT_EQ(picture.width, 800);
  auto at = [&](int x, int y) { return picture.at(x, y); };
  EXPECT_EQ(at(5, 5), 0x800000u);
  EXPECT_EQ(at(799, 599), 0x800000u);
  EXPECT_EQ(at(150, 150), 0x0000FFu);
  EXPECT_EQ(at(299, 199), 0x0000FFu);
  EXPECT_EQ(at(300, 200), 0x800000u);
  EXPECT_EQ(at(425, 325), 0x00FF00u);
  EXPECT_EQ(at(400, 500), 0xFFFFFFu);
  EXPECT_EQ(at(400, 501), 0x800000u);
  int lit = 0;
  for (int y = 40; y < 60; ++y)
    for (int x = 300; x < textEnd; ++x) lit += at(x, y) == 0xFFFFFF;
  EXPECT_GT(lit, 10);
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
}

// The windowed screen's subclass: painting the window shows the back buffer, which holds the last
// frame, over whatever was drawn on the window since. The window stands where no other test window
// overlaps it, so that no uncovering repaints it in between.
TEST(WindowedScreenSubclass, PaintShowsTheLastFrameAgain) {
  ASSERT_TRUE(EnsureScreenStarted());
  HWND window = TestWindow(320, 240, 900, 700);
  ASSERT_EQ(OpenWindowedScreen(window, 0, 0, 320, 240, 0, 0, 0), 1);
  auto shown = [&] {
    ClientPicture picture = CaptureClientArea(window);
    return picture.width == 320 ? picture.at(160, 120) : 0xDEADu;
  };
  FillScreen(0x0000FF);
  FlipBuffers();
  PumpTestMessages(100);
  FlipBuffers();
  ASSERT_EQ(shown(), 0x0000FFu) << "the frame was not presented";
  ValidateRect(window, nullptr);
  HDC dc = GetDC(window);
  RECT whole{0, 0, 320, 240};
  FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(window, dc);
  GdiFlush();
  PumpTestMessages(50);
  ASSERT_EQ(shown(), 0xFFFFFFu) << "the window was not painted over";
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  PumpTestMessages(50);
  EXPECT_EQ(shown(), 0x0000FFu);
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
}

// A change of the window's frame moves its client area; the screen area follows it at its offsets.
TEST(WindowedScreenSubclass, FrameChangeKeepsTheScreenAreaAtItsOffsets) {
  ASSERT_TRUE(EnsureScreenStarted());
  HWND window = TestWindow(200, 150, 600, 300);
  ASSERT_EQ(OpenWindowedScreen(window, 10, 20, 100, 50, 0, 0, 0), 1);
  LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  auto expectAtOffsets = [&](const char* what) {
    POINT corner{0, 0};
    ClientToScreen(window, &corner);
    RECT destination, source;
    ComputeBlitRects(&destination, &source);
    EXPECT_EQ(destination.left, corner.x + 10) << what;
    EXPECT_EQ(destination.top, corner.y + 20) << what;
  };
  for (LONG_PTR frame : {style & ~WS_CAPTION, style}) {
    SetWindowLongPtrA(window, GWL_STYLE, frame);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    PumpTestMessages(20);
    expectAtOffsets(frame == style ? "caption back" : "caption removed");
  }
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
}
