// The demonstration end to end: hurz.exe under Wine on the test display, driven with the pointer
// and the keyboard as a user would, checked on the pixels of its window.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "e2e/demo_process.h"
#include "support/wine_start.h"

namespace {
constexpr uint32_t kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// Pixels well inside the cells (away from every outline), outside the player's starting corner
// and the count's text line, that are not black: what the birds put there.
std::vector<uint32_t> BirdPixels(const ClientPicture& picture) {
  std::vector<uint32_t> found;
  for (int y = 0; y < 576; ++y)
    for (int x = 0; x < 800; ++x) {
      if (x < 64 && y < 64) continue;
      int cx = x % kCell, cy = y % kCell;
      if (cx < 2 || cx > 29 || cy < 2 || cy > 29) continue;
      if (picture.at(x, y) != 0) found.push_back(picture.at(x, y));
    }
  return found;
}

int CountColour(const ClientPicture& picture, uint32_t colour, int left, int top, int right, int bottom) {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) n += picture.at(x, y) == colour;
  return n;
}

// The first picture of a freshly started demo that shows the grid (starting Direct3D in a new
// process can take a few seconds; a busy display may show a window black for a moment).
ClientPicture CaptureOnceDrawn(DemoProcess& demo) {
  ClientPicture picture;
  WaitUntil(
      [&] {
        picture = demo.Capture();
        return FrameDrawn(picture);
      },
      30000);
  return picture;
}

bool TextShown(const ClientPicture& picture) { return CountColour(picture, kWhite, 0, 578, 200, 600) > 10; }

constexpr uint32_t kKeyMarker = 0x808080;  // the disc drawn under the player while the space bar is held

// The grey pixels of the disc drawn around the pointer while the player is held: well over a
// hundred where the sprite, birds and grid lines leave it to be seen, none or nearly none after.
int MarkerDiscPixels(const ClientPicture& picture, int x, int y) {
  return picture.width == 800 ? CountColour(picture, kKeyMarker, std::max(x - 32, 0), std::max(y - 32, 0),
                                            std::min(x + 32, 800), std::min(y + 32, 600))
                              : 0;
}

// Holds the space bar with the pointer at a client point until the player is drawn held there,
// then lets go; the picture once the disc is gone, with the player left at the pointer.
ClientPicture DragPlayerTo(DemoProcess& demo, int x, int y) {
  bool held = PressKeyUntil(
      demo.window(), "space", [&] { return MarkerDiscPixels(demo.Capture(), x, y) > 100; }, POINT{x, y});
  EXPECT_TRUE(held) << "the player was never drawn held at " << x << ", " << y;
  ClientPicture released;
  EXPECT_TRUE(WaitUntil(
      [&] {
        released = demo.Capture();
        return FrameDrawn(released) && MarkerDiscPixels(released, x, y) < 20;
      },
      10000))
      << "the player is still drawn held";
  return released;
}

class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    // A click before the start leaves Windows' "pressed since the last query" bit set for the
    // left button: the demo must still see the button up.
    RunUnixCommand("xdotool mousemove 1000 900 click 1");
    ASSERT_TRUE(demo_.Start());
    ASSERT_NE(demo_.WaitForWindow(), nullptr) << "no window \"hurz\" appeared";
    ASSERT_TRUE(demo_.BringToFront(400, 300));
    first_ = CaptureOnceDrawn(demo_);
    ASSERT_EQ(first_.width, 800);
  }
  // A failing test leaves the first picture it read and the window as it is now in /tmp.
  void TearDown() override {
    if (!HasFailure()) return;
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string path = RunTempPath(name);
    SavePicture(first_, "Z:" + path + "-first.ppm");
    SavePicture(demo_.Capture(), "Z:" + path + "-last.ppm");
    ADD_FAILURE() << "the pictures are in " << path << "-first.ppm and -last.ppm";
  }
  DemoProcess demo_;
  ClientPicture first_;
};

TEST_F(Demo, OpensItsWindowWithTheGridThePlayerAndTranslucentBirds) {
  RECT client;
  GetClientRect(demo_.window(), &client);
  EXPECT_EQ(client.right, 800);
  EXPECT_EQ(client.bottom, 600);
  char title[32] = {};
  GetWindowTextA(demo_.window(), title, sizeof title);
  EXPECT_STREQ(title, "hurz");

  GridReading grid = ReadGrid(first_);
  EXPECT_GE(grid.classified, 440) << "cells outlined red or green at multiples of 32";
  EXPECT_EQ(grid.cells[0][0], kRed);
  EXPECT_EQ(grid.cells[0][1], kRed);
  EXPECT_EQ(grid.cells[1][0], kRed);
  EXPECT_EQ(grid.cells[1][1], kRed);
  int red = 0;
  for (auto& row : grid.cells)
    for (uint32_t c : row) red += c == kRed;
  EXPECT_GT(red, 20) << "45 birds occupy cells";
  EXPECT_LT(red, 400);

  // The outlines are one pixel wide: the middle of every cell is free of them.
  int stray = 0;
  for (int row = 2; row < kRows; ++row)
    for (int column = 2; column < kColumns; ++column)
      for (int i = 4; i < 28; ++i) {
        uint32_t c = first_.at(column * kCell + i, row * kCell + 16);
        stray += c == kRed || c == kGreen;
      }
  EXPECT_LT(stray, 50);

  std::vector<uint32_t> birds = BirdPixels(first_);
  EXPECT_GT(birds.size(), 1000u) << "the birds are drawn";
  // At half opacity over black a bird pixel keeps at most half its brightness; only where birds
  // overlap does it get brighter, so the typical bird pixel stays below half intensity.
  std::vector<uint32_t> brightest;
  for (uint32_t c : birds) brightest.push_back(std::max({c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF}));
  std::sort(brightest.begin(), brightest.end());
  EXPECT_LE(brightest[brightest.size() / 2], 130u) << "birds are drawn translucent";
  EXPECT_LE(brightest[brightest.size() * 9 / 10], 140u);
  EXPECT_EQ(demo_.WaitForExit(0), -1);
}

TEST_F(Demo, SpaceBarMovesThePlayerToThePointerWhereItStays) {
  GridReading grid = ReadGrid(first_);
  int column = -1, row = -1;
  for (int r = 4; r < 14 && column < 0; ++r)
    for (int c = 4; c < 21 && column < 0; ++c)
      if (grid.cells[r][c] == kGreen && grid.cells[r][c + 1] == kGreen && grid.cells[r + 1][c] == kGreen &&
          grid.cells[r + 1][c + 1] == kGreen)
        column = c, row = r;
  ASSERT_GE(column, 0) << "no empty 2 by 2 block of cells";
  bool touchedAtStart = TextShown(first_);

  int x = column * kCell + 1, y = row * kCell + 1;
  ClientPicture moved = DragPlayerTo(demo_, x, y);
  ASSERT_EQ(moved.width, 800);
  GridReading after = ReadGrid(moved);
  EXPECT_EQ(after.cells[row][column], kRed);
  EXPECT_EQ(after.cells[row][column + 1], kRed);
  EXPECT_EQ(after.cells[row + 1][column], kRed);
  EXPECT_EQ(after.cells[row + 1][column + 1], kRed);
  if (!touchedAtStart) {
    // No bird shared the starting corner, so it is empty now.
    EXPECT_EQ(after.cells[0][0], kGreen);
    EXPECT_EQ(after.cells[1][1], kGreen);
  }
  // The 50 by 50 box, red since it touches no bird, has its top left at the pointer.
  EXPECT_EQ(moved.at(x + 10, y), kRed);
  EXPECT_EQ(moved.at(x, y + 10), kRed);
  EXPECT_EQ(moved.at(x + 49, y + 20), kRed);
  EXPECT_EQ(moved.at(x + 20, y + 49), kRed);
  EXPECT_NE(moved.at(x + 20, y + 20), kRed);
  EXPECT_FALSE(TextShown(moved));

  // Without the space bar the player stays where it was left: frames drawn with the pointer
  // elsewhere (seen there, then given time) show it in the same place.
  ASSERT_TRUE(demo_.BringToFront(700, 100));
  Sleep(400);
  ClientPicture later = CaptureOnceDrawn(demo_);
  ASSERT_EQ(later.width, 800);
  EXPECT_EQ(later.at(x + 10, y), kRed);
  EXPECT_EQ(later.at(x + 49, y + 20), kRed);
}

TEST_F(Demo, OverABirdTheBoxTurnsBlueAndTheCountShows) {
  GridReading grid = ReadGrid(first_);
  int column = -1, row = -1;
  for (int r = 3; r < 16 && column < 0; ++r)
    for (int c = 3; c < 22 && column < 0; ++c)
      if (grid.cells[r][c] == kRed) column = c, row = r;
  ASSERT_GE(column, 0) << "no bird found";
  EXPECT_EQ(CountColour(first_, kBlue, 64, 64, 800, 576), 0);

  int x = column * kCell + 4, y = row * kCell + 4;
  ClientPicture over = DragPlayerTo(demo_, x, y);
  ASSERT_EQ(over.width, 800);
  int boxBlue = CountColour(over, kBlue, x, y, x + 50, y + 1) + CountColour(over, kBlue, x, y, x + 1, y + 50);
  EXPECT_GT(boxBlue, 30) << "the box's top and left edges are blue";
  EXPECT_TRUE(TextShown(over)) << "\"Cols=\" and the count at (0, 580)";
  EXPECT_EQ(CountColour(over, kWhite, 0, 0, 800, 576), 0) << "no white anywhere but the text";
}

TEST_F(Demo, EscapeEndsTheProgramWithExitCodeZero) {
  ASSERT_TRUE(demo_.PressEscape());
  EXPECT_EQ(demo_.WaitForExit(10000), 0);
}

TEST_F(Demo, CloseRequestEndsTheProgramWithExitCodeZero) {
  PostMessageA(demo_.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(demo_.WaitForExit(10000), 0);
}

TEST_F(Demo, OutOfFrontItShowsNoFocusAndIgnoresEscape) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "HurzE2EOther";
  RegisterClassA(&windowClass);
  HWND other = CreateWindowExA(0, "HurzE2EOther", "other", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  // The other window in front, with the pointer over it: keys typed now are its.
  ASSERT_TRUE(BringToFront(other, POINT{100, 100}));
  ClientPicture away;
  EXPECT_TRUE(WaitUntil(
      [&] {
        away = demo_.Capture();
        return away.width == 800 && away.at(700, 500) == 0x404040u;
      },
      15000))
      << "the focus-lost screen";
  ASSERT_EQ(away.width, 800);
  EXPECT_GT(CountColour(away, 0xC0C0C0, 100, 100, 200, 125), 10) << "\"NoFocus\" at (100, 100)";

  // Escape held long enough for many of the demo's frames, which go on while it is out of front.
  ASSERT_EQ(RunUnixCommand("xdotool keydown Escape"), 0);
  bool ended = WaitUntil([&] { return demo_.Exited(); }, 1500);
  RunUnixCommand("xdotool keyup Escape");
  EXPECT_FALSE(ended) << "Escape out of front is ignored";
  ASSERT_EQ(GetForegroundWindow(), other) << "the test's window stayed in front while Escape was held";

  DestroyWindow(other);
  ASSERT_TRUE(demo_.PressEscape());
  EXPECT_EQ(demo_.WaitForExit(10000), 0);
}

TEST(DemoWithoutItsPicture, RunsWithGridAndBoxesButNoBirds) {
  RunTempFolder folder("e2e-nobird");
  ASSERT_TRUE(folder.made());
  DemoProcess demo;
  ASSERT_TRUE(demo.Start(folder.windowsPath()));
  ASSERT_NE(demo.WaitForWindow(), nullptr);
  ASSERT_TRUE(demo.BringToFront(400, 300));
  ClientPicture picture = CaptureOnceDrawn(demo);
  ASSERT_EQ(picture.width, 800);
  GridReading grid = ReadGrid(picture);
  EXPECT_EQ(grid.classified, kRows * kColumns);
  EXPECT_EQ(grid.cells[0][0], kRed);
  EXPECT_EQ(grid.cells[1][1], kRed);
  EXPECT_LT(BirdPixels(picture).size(), 20u) << "no sprite is shown";
  ASSERT_TRUE(demo.PressEscape());
  EXPECT_EQ(demo.WaitForExit(10000), 0);
}

// What a start that fails shows: the message box's text, whether window 0 was open by then, and
// the exit code after the box is dismissed (-2 when no box came).
struct FailedStart {
  std::string text;
  bool windowOpen = false;
  long exitCode = -2;
};

// The demo started from a Unix shell in its folder with the given variables.
FailedStart StartWithEnvironment(const std::string& variables) {
  std::string bin = HURZ_TEST_BIN_DIR;
  // The Windows exit code is read from the process itself: the loader's status seen by the shell
  // can be a kill signal when Wine tears down the process's leftover threads.
  std::thread demo([&] {
    RunUnixCommand("cd '" + UnixPath(bin) + "' && " + WineCommand(variables, bin + "\\hurz.exe") + " >/dev/null 2>&1",
                   60000);
  });
  HWND box = nullptr;
  for (int i = 0; i < 400 && !box; ++i) {
    box = FindWindowA("#32770", "Message");
    if (!box) Sleep(50);
  }
  FailedStart result;
  if (box) {
    DWORD processId = 0;
    GetWindowThreadProcessId(box, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    char text[64] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    result.text = text;
    result.windowOpen = FindWindowA("WindowClass_0", nullptr) != nullptr;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    if (process) {
      DWORD code = 0;
      if (WaitForSingleObject(process, 10000) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code))
        result.exitCode = static_cast<long>(code);
      CloseHandle(process);
    }
  } else if (HWND window = FindWindowA("WindowClass_0", "hurz")) {
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
  demo.join();
  return result;
}

TEST(DemoWithoutSound, ReportsInitSoundAndEndsWithZero) {
  NoAudioConfig noAudio;
  ASSERT_TRUE(noAudio.written());
  FailedStart start = StartWithEnvironment(noAudio.Variable());
  EXPECT_EQ(start.text, "InitSound() failed !");
  EXPECT_FALSE(start.windowOpen) << "no window before sound";
  EXPECT_EQ(start.exitCode, 0);
}

// Without DirectDraw, or without DirectInput (sprites start the keyboard), sprites cannot start.
TEST(DemoWithoutALibrary, ReportsInitSpriteAndEndsWithZero) {
  for (const char* dll : {"ddraw", "dinput"}) {
    SCOPED_TRACE(dll);
    FailedStart start = StartWithEnvironment("WINEDLLOVERRIDES=\"$WINEDLLOVERRIDES;" + std::string(dll) + "=\"");
    EXPECT_EQ(start.text, "InitSprite() failed !");
    EXPECT_FALSE(start.windowOpen);
    EXPECT_EQ(start.exitCode, 0);
  }
}
}  // namespace
