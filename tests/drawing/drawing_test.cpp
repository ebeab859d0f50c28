// GDI drawing on the screen's back buffer, checked pixel by pixel through a lock of the surface.
#include <gtest/gtest.h>

#include <climits>

#include "runtime/drawing/drawing_internal.h"
#include "runtime/screen/screen_internal.h"
#include "support/screen_fixture.h"

namespace {
constexpr uint32_t kBackground = 0x404040;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0xFF0000;

// The back buffer's value for a COLORREF on the test display's blue-first 32-bit layout.
uint32_t Pixel(uint32_t colour) { return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF); }

class Drawing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureScreenStarted());
    HWND window = TestWindow(320, 240);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(OpenWindowedScreen(window, 0, 0, 320, 240, 0, 0, 0), 1);
    ASSERT_EQ(gScreen.format, kFormatBGR32);
    FillScreen(kBackground);
    ASSERT_NE(BeginDrawing(ScreenTarget()), 0);
  }
  void TearDown() override {
    EndDrawing();
    OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  }
  HDC dc() const { return static_cast<HDC>(gDrawing.dc); }
  // Closes the drawing and reads the back buffer.
  SurfacePixels Finish() {
    EndDrawing();
    return SurfacePixels(gScreen.backBuffer);
  }
};
}  // namespace

TEST_F(Drawing, LineLeavesOutItsEndPointAndKeepsThePosition) {
  MoveToEx(dc(), 3, 4, nullptr);
  SetDrawColor(kRed);
  DrawLine(10, 10, 5, 0);
  DrawLine(50, 50, 0, 0);
  POINT position;
  GetCurrentPositionEx(dc(), &position);
  EXPECT_EQ(position.x, 3);
  EXPECT_EQ(position.y, 4);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(9, 10), kBackground);
  for (int x = 10; x <= 14; ++x) EXPECT_EQ(pixels.at(x, 10), Pixel(kRed)) << x;
  EXPECT_EQ(pixels.at(15, 10), kBackground);
  EXPECT_EQ(pixels.at(50, 50), kBackground);
}

TEST_F(Drawing, RectangleCoversWidthByHeightPixels) {
  DrawRect(0, 0, 32, 32, kGreen);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(0, 0), Pixel(kGreen));
  EXPECT_EQ(pixels.at(31, 31), Pixel(kGreen));
  EXPECT_EQ(pixels.at(16, 16), Pixel(kGreen));
  EXPECT_EQ(pixels.at(32, 5), kBackground);
  EXPECT_EQ(pixels.at(5, 32), kBackground);
}

TEST_F(Drawing, OnePixelRectangleIgnoresInvertAndOutline) {
  SetDrawMode(kDrawInvert | kDrawOutline);
  DrawRect(20, 20, 1, 1, kBlue);
  SetDrawMode(kDrawOutline);
  DrawRect(22, 20, 1, 1, kRed);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(20, 20), Pixel(kBlue));
  EXPECT_EQ(pixels.at(21, 20), kBackground);
  EXPECT_EQ(pixels.at(22, 20), Pixel(kRed));
}

TEST_F(Drawing, OutlineModeLeavesTheInsideUntouched) {
  SetDrawMode(kDrawOutline);
  DrawRect(50, 50, 20, 10, kRed);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(50, 50), Pixel(kRed));
  EXPECT_EQ(pixels.at(69, 59), Pixel(kRed));
  EXPECT_EQ(pixels.at(60, 55), kBackground);
  EXPECT_EQ(pixels.at(70, 55), kBackground);
}

TEST_F(Drawing, InvertModeInvertsWhatLiesBeneath) {
  SetDrawMode(kDrawInvert);
  DrawLine(0, 100, 10, 0);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(5, 100), 0xBFBFBFu);
}

TEST_F(Drawing, CircleOfRadiusOneIsOnePixel) {
  SetDrawColor(kBlue);
  DrawCircle(100, 100, 1);
  DrawCircle(200, 120, 32);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(100, 100), Pixel(kBlue));
  for (auto [x, y] : {std::pair{99, 100}, {101, 100}, {100, 99}, {100, 101}}) EXPECT_EQ(pixels.at(x, y), kBackground);
  EXPECT_EQ(pixels.at(200, 120), Pixel(kBlue));  // filled
  EXPECT_EQ(pixels.at(200, 89), Pixel(kBlue));   // inside the 64-pixel box
  EXPECT_EQ(pixels.at(200, 86), kBackground);
}

TEST_F(Drawing, TextReturnsTheXPastItAndResetsThePosition) {
  SetDrawMode(kDrawTransparentText);
  int32_t end = DrawTextAt(10, 150, "Cols=12", 0xFFFFFF);
  EXPECT_GT(end, 10 + 7 * 3);
  POINT position;
  GetCurrentPositionEx(dc(), &position);
  EXPECT_EQ(position.x, 0);
  EXPECT_EQ(position.y, 0);
  EXPECT_EQ(DrawTextAt(40, 200, "", 0xFFFFFF), 40);
  EXPECT_EQ(DrawTextAt(40, 200, nullptr, 0xFFFFFF), 40);
  EXPECT_EQ(GetTextColor(dc()), 0u);  // back to the front colour
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  int lit = 0;
  for (int y = 150; y < 170; ++y)
    for (int x = 10; x < end; ++x) lit += pixels.at(x, y) == 0xFFFFFF;
  EXPECT_GT(lit, 10);
  for (int y = 150; y < 170; ++y) EXPECT_EQ(pixels.at(end + 1, y), kBackground);
}

TEST_F(Drawing, TextWithABackColourRestoresTheBackground) {
  SetBkColor(dc(), kGreen);
  DrawTextAt(10, 10, "X", kRed, kBlue);
  EXPECT_EQ(GetBkColor(dc()), kGreen);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(10, 10), Pixel(kBlue));  // opaque background box in the back colour
}

TEST_F(Drawing, RectangleInAnotherColourKeepsTheFrontColourPenAndBrush) {
  SetDrawColor(kRed);
  void* pen = gDrawing.currentPen;
  void* brush = gDrawing.currentBrush;
  DrawRect(10, 10, 8, 8, kGreen);
  EXPECT_EQ(gDrawing.frontColour, kRed);
  EXPECT_EQ(gDrawing.currentPen, pen);
  EXPECT_EQ(gDrawing.currentBrush, brush);
  EXPECT_EQ(GetCurrentObject(dc(), OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(dc(), OBJ_BRUSH), brush);
  DrawRect(30, 10, 8, 8, kRed);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(14, 14), Pixel(kGreen));
  EXPECT_EQ(pixels.at(34, 14), Pixel(kRed));
}

TEST_F(Drawing, ColourChosenInOutlineModeDoesNotChangeTheBrush) {
  SetDrawColor(kRed);
  SetDrawMode(kDrawOutline);
  SetDrawColor(kGreen);
  SetDrawMode(0);
  DrawCircle(100, 100, 10);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(100, 100), Pixel(kRed));   // filled with the brush of the last colour outside outline mode
  EXPECT_EQ(pixels.at(100, 90), Pixel(kGreen));  // outlined with the newest pen
}

TEST_F(Drawing, SecondBeginOnTheScreenOpensNothing) {
  EXPECT_EQ(BeginDrawing(ScreenTarget()), 0);
  EXPECT_EQ(gDrawing.dc, nullptr);
  EXPECT_EQ(gScreen.outputState, 0);  // the first drawing was closed and gave the DC back
  DrawRect(0, 0, 10, 10, kRed);
  EXPECT_EQ(DrawTextAt(5, 5, "x", kRed), 0);
  EXPECT_NE(BeginDrawing(ScreenTarget()), 0);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(5, 5), kBackground);
}

TEST_F(Drawing, EndRestoresTheDCsOwnObjects) {
  EndDrawing();
  DrawingTarget* target = ScreenTarget();
  ASSERT_NE(target, nullptr);
  HDC raw = static_cast<HDC>(target->dc);
  HGDIOBJ pen = GetCurrentObject(raw, OBJ_PEN);
  HGDIOBJ brush = GetCurrentObject(raw, OBJ_BRUSH);
  ASSERT_NE(BeginDrawing(target), 0);
  EXPECT_EQ(GetCurrentObject(raw, OBJ_PEN), gDrawing.defaultPen);
  SetDrawColor(kBlue);
  gDrawing.releaseTarget = nullptr;  // keep the DC to look at it after closing
  EndDrawing();
  EXPECT_EQ(GetCurrentObject(raw, OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(raw, OBJ_BRUSH), brush);
  EXPECT_EQ(gDrawing.currentPen, nullptr);
  EXPECT_EQ(gDrawing.currentBrush, nullptr);
  ReleaseOutputDC();
}

// Shapes whose far corner lies past the 32-bit limits end at the edge of GDI's coordinate space
// instead of wrapping around to the other side of the range, across the screen.
TEST_F(Drawing, ShapesReachingPastTheLimitsStayOffTheScreen) {
  SetDrawColor(kRed);
  DrawRect(INT_MAX - 10, 0, 100, 100, kGreen);
  DrawRect(INT_MIN + 10, 0, -100, 100, kGreen);
  DrawLine(INT_MAX - 5, 10, 100, 0);
  DrawLine(INT_MIN + 5, 20, -100, 0);
  DrawCircle(INT_MAX - 5, 120, 100);
  DrawCircle(INT_MIN + 5, 120, 100);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  for (int x = 0; x < 320; x += 7)
    for (int y : {5, 10, 20, 50, 120, 200}) EXPECT_EQ(pixels.at(x, y), kBackground) << x << "," << y;
}

// Presenting ends a drawing still open on the back buffer: its DC goes back, the primitives do
// nothing until the next BeginDrawing, and that one draws on a DC the screen still holds for it.
TEST_F(Drawing, FlipEndsADrawingStillOpen) {
  SetDrawColor(kRed);
  FlipBuffers();
  EXPECT_EQ(gDrawing.dc, nullptr);
  EXPECT_EQ(gScreen.outputState, 0);
  DrawRect(0, 0, 10, 10, kRed);
  intptr_t dc = BeginDrawing(ScreenTarget());
  ASSERT_NE(dc, 0);
  EXPECT_EQ(gScreen.outputState, dc) << "the new drawing's DC was given back";
  DrawRect(20, 20, 4, 4, kGreen);
  SurfacePixels pixels = Finish();
  ASSERT_TRUE(pixels.ok());
  EXPECT_EQ(pixels.at(5, 5), kBackground);
  EXPECT_EQ(pixels.at(21, 21), Pixel(kGreen));
}

// Closing the screen ends a drawing still open, so that the next screen hands out its target.
TEST_F(Drawing, ClosingTheScreenEndsADrawingStillOpen) {
  OpenWindowedScreen(nullptr, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(gDrawing.dc, nullptr);
  EXPECT_EQ(gScreen.outputState, 0);
  ASSERT_EQ(OpenWindowedScreen(TestWindow(320, 240), 0, 0, 320, 240, 0, 0, 0), 1);
  EXPECT_NE(BeginDrawing(ScreenTarget()), 0);
}
