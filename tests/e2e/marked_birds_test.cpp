// The demonstration with a bird picture the test knows: every bird is a translucent rectangle of
// one blue level, so the picture tells where each bird lies. Checked on the pixels: the marker
// discs of the mouse buttons, the held player turning over them, and the count of birds sharing
// a cell with the player read back from the digits on the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "e2e/demo_process.h"
#include "support/png_writer.h"

namespace {
constexpr int kGridBottom = kRows * kCell;
constexpr int kPlayerSize = 50, kDiscRadius = 32;
constexpr uint32_t kLeftDisc = 0x2010C0, kRightDisc = 0x10C020, kKeyDisc = 0x808080;  // COLORREF

int Red(uint32_t c) { return c & 0xFF; }
int Green(uint32_t c) { return (c >> 8) & 0xFF; }
int Blue(uint32_t c) { return (c >> 16) & 0xFF; }

// A 16 by 16 opaque picture: the left half blue, the right half magenta. Blue is full everywhere,
// so a bird's blue level says only how many birds cover a pixel; red tells the halves apart, so a
// turning sprite shows which way it points.
std::string MarkedBirdPng() {
  PngDescription d;
  d.width = d.height = 16;
  d.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  std::string row;
  for (int x = 0; x < 16; ++x) row += std::string{x < 8 ? '\0' : '\xFF', '\0', '\xFF', '\xFF'};
  return WritePng(d, std::vector<std::string>(16, row));
}

struct Box {
  int left, top, right, bottom;  // right and bottom exclusive
  bool Overlaps(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
  Box Grown(int by) const { return {left - by, top - by, right + by, bottom + by}; }
};

// The birds of a picture taken with the player in its starting corner and nothing held: clean
// bird rectangles, and the boxes of places where birds overlap or the picture cannot tell.
struct Flock {
  std::vector<Box> birds, unclear;
};

Flock ReadFlock(const ClientPicture& picture) {
  // Layers of birds per pixel from the blue level: none, one, more, or unclear in between.
  std::vector<int> level(static_cast<size_t>(picture.width) * kGridBottom);
  std::vector<int> blues;
  for (int y = 0; y < kGridBottom; ++y)
    for (int x = 0; x < picture.width; ++x)
      if (Blue(picture.at(x, y)) > 40) blues.push_back(Blue(picture.at(x, y)));
  if (blues.empty()) return {};
  std::sort(blues.begin(), blues.end());
  int one = blues[blues.size() / 4];  // most bird pixels lie under one bird only
  for (int y = 0; y < kGridBottom; ++y)
    for (int x = 0; x < picture.width; ++x) {
      int b = Blue(picture.at(x, y));
      level[y * picture.width + x] = b < 40 ? 0 : std::abs(b - one) <= 12 ? 1 : b > one + 12 ? 2 : -1;
    }
  Flock flock;
  // The player's box in its corner and the text line under the grid hide what lies beneath.
  flock.unclear.push_back({0, 0, kPlayerSize + 6, kPlayerSize + 6});
  std::vector<int> seen(level.size(), 0), stack;
  for (int start = 0; start < static_cast<int>(level.size()); ++start) {
    if (level[start] == 0 || seen[start]) continue;
    Box box{picture.width, kGridBottom, 0, 0};
    int pixels = 0;
    bool clean = true;
    stack.push_back(start);
    seen[start] = 1;
    while (!stack.empty()) {
      int p = stack.back();
      stack.pop_back();
      int x = p % picture.width, y = p / picture.width;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
      ++pixels;
      clean = clean && level[p] == 1;
      const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (auto [nx, ny] : next) {
        if (nx < 0 || ny < 0 || nx >= picture.width || ny >= kGridBottom) continue;
        int q = ny * picture.width + nx;
        if (level[q] != 0 && !seen[q]) {
          seen[q] = 1;
          stack.push_back(q);
        }
      }
    }
    clean = clean && pixels == (box.right - box.left) * (box.bottom - box.top) && box.bottom < kGridBottom;
    (clean ? flock.birds : flock.unclear).push_back(box);
  }
  return flock;
}

// A place for the player's box, 8 pixels into a cell so that it covers a block of 2 by 2 cells,
// and the number of birds in that block, when the picture leaves no doubt about it.
struct Spot {
  int x = -1, y = -1, birds = -1;
};

Spot ClearSpotWithMostBirds(const Flock& flock) {
  Spot best;
  for (int row = 3; row <= 12; ++row)
    for (int column = 3; column <= 21; ++column) {
      Box block{column * kCell, row * kCell, (column + 2) * kCell, (row + 2) * kCell};
      bool clear = true;
      int birds = 0;
      for (const Box& u : flock.unclear) clear = clear && !u.Grown(2).Overlaps(block);
      for (const Box& b : flock.birds) {
        // A bird edge within two pixels of the block's edge could lie either side of it.
        clear = clear && b.Grown(2).Overlaps(block) == b.Grown(-2).Overlaps(block);
        birds += b.Overlaps(block);
      }
      if (clear && birds > best.birds) best = {column * kCell + 8, row * kCell + 8, birds};
    }
  return best;
}

// A place whose surroundings hold no bird: the marker disc and the held player show there alone.
Spot EmptySpot(const Flock& flock) {
  for (int y = 150; y <= 450; y += 8)
    for (int x = 150; x <= 650; x += 8) {
      Box around{x - kDiscRadius - 4, y - kDiscRadius - 4, x + kPlayerSize + 14, y + kPlayerSize + 14};
      bool empty = true;
      for (const Box& b : flock.birds) empty = empty && !b.Overlaps(around);
      for (const Box& u : flock.unclear) empty = empty && !u.Overlaps(around);
      if (empty) return {x, y, 0};
    }
  return {};
}

// "Cols=" and the count as the drawing library writes it, white on black in the device context's
// own font, as a mask of lit pixels.
std::vector<uint8_t> TextMask(const std::string& text, int width, int height) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ kept = SelectObject(dc, bitmap);
  PatBlt(dc, 0, 0, width, height, BLACKNESS);
  SetTextColor(dc, 0xFFFFFF);
  SetBkColor(dc, 0);
  TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
  GdiFlush();
  std::vector<uint8_t> mask(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = ((static_cast<uint32_t*>(bits)[i] >> 8) & 0xFF) > 64;
  SelectObject(dc, kept);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return mask;
}

// The count shown at (0, 580), read by matching the lit pixels (green is lit under a translucent
// bird too, and nothing else there is green) against the texts of every possible count; -1 when
// nothing is written, -2 when no text matches well.
int ReadCount(const ClientPicture& picture) {
  constexpr int kTextX = 0, kTextY = 580, kWidth = 160, kHeight = 20;
  std::vector<uint8_t> shown(kWidth * kHeight);
  int lit = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) lit += shown[y * kWidth + x] = Green(picture.at(kTextX + x, kTextY + y)) > 64;
  if (lit < 10) return -1;
  int best = -2, bestMisses = lit / 10 + 1;
  for (int count = 0; count <= 45; ++count) {
    std::vector<uint8_t> expected = TextMask("Cols=" + std::to_string(count), kWidth, kHeight);
    int misses = 0;
    for (size_t i = 0; i < shown.size(); ++i) misses += shown[i] != expected[i];
    if (misses < bestMisses) best = count, bestMisses = misses;
  }
  return best;
}

int CountColour(const ClientPicture& picture, uint32_t colour, const Box& box) {
  int n = 0;
  for (int y = std::max(box.top, 0); y < std::min(box.bottom, picture.height); ++y)
    for (int x = std::max(box.left, 0); x < std::min(box.right, picture.width); ++x) n += picture.at(x, y) == colour;
  return n;
}

// The held player's sprite near the pointer: its pixels (blue well above the disc's own) and the
// direction from its blue half to its magenta half, in degrees.
struct HeldSprite {
  int pixels = 0;
  double pointing = 0;
};

HeldSprite ReadHeldSprite(const ClientPicture& picture, int px, int py, uint32_t disc) {
  HeldSprite sprite;
  double blueX = 0, blueY = 0, magentaX = 0, magentaY = 0;
  int blues = 0, magentas = 0;
  for (int y = py - 15; y < py + kPlayerSize + 15; ++y)
    for (int x = px - 15; x < px + kPlayerSize + 15; ++x) {
      uint32_t c = picture.at(x, y);
      bool overDisc = std::hypot(x - px, y - py) < kDiscRadius - 1;
      int blueBelow = overDisc ? Blue(disc) : 0, redBelow = overDisc ? Red(disc) : 0;
      if (Blue(c) < blueBelow / 2 + 100) continue;
      ++sprite.pixels;
      if (Red(c) > redBelow / 2 + 90) {
        magentaX += x, magentaY += y, ++magentas;
      } else {
        blueX += x, blueY += y, ++blues;
      }
    }
  if (blues && magentas)
    sprite.pointing =
        std::atan2(magentaY / magentas - blueY / blues, magentaX / magentas - blueX / blues) * 180 / std::numbers::pi;
  return sprite;
}

class DemoWithMarkedBirds : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.made());
    std::string png = MarkedBirdPng();
    ASSERT_FALSE(png.empty());
    ASSERT_FALSE(WriteRunTempFile("e2e-marked/squeaker_bird.png", png).empty());
    RunUnixCommand("xdotool mousemove 1000 900");
    ASSERT_TRUE(demo_.Start(folder_.windowsPath()));
    ASSERT_NE(demo_.WaitForWindow(), nullptr);
    ASSERT_TRUE(demo_.BringToFront(400, 300));
    // Starting Direct3D in a new process can take a few seconds.
    WaitUntil(
        [&] {
          first_ = demo_.Capture();
          if (first_.width == 800) flock_ = ReadFlock(first_);
          return flock_.birds.size() >= 15;
        },
        30000);
    ASSERT_GE(flock_.birds.size(), 15u) << "the birds are seen as rectangles";
  }
  void TearDown() override {
    RunUnixCommand("xdotool mouseup 1 mouseup 3 keyup space");
    PostMessageA(demo_.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(demo_.WaitForExit(20000), 0);
  }

  // Holds a mouse button (1 left, 3 right) with the pointer at a client point and returns two
  // pictures taken while it is held: the first once its disc shows in the quarter, the second once
  // the player has turned since the first. Empty pictures when either never comes.
  std::pair<ClientPicture, ClientPicture> HoldButton(int button, int x, int y, uint32_t disc, const Box& quarter) {
    ClientPicture one, two;
    bool shown = HoldButtonUntil(
        demo_.window(), button,
        [&] {
          one = demo_.Capture();
          return one.width == 800 && CountColour(one, disc, quarter) > 250;
        },
        POINT{x, y});
    if (shown) {
      double before = ReadHeldSprite(one, x, y, disc).pointing;
      WaitUntil(
          [&] {
            two = demo_.Capture();
            if (!FrameDrawn(two)) return false;
            double turned = std::fmod(ReadHeldSprite(two, x, y, disc).pointing - before + 720, 360);
            return turned > 1 && turned < 359;
          },
          15000);
    }
    RunUnixCommand("xdotool mouseup " + std::to_string(button));
    return {one, two};
  }

  // The picture once the disc is gone from the quarter after the button was let go.
  ClientPicture Released(uint32_t disc, const Box& quarter) {
    ClientPicture released;
    WaitUntil(
        [&] {
          released = demo_.Capture();
          return FrameDrawn(released) && CountColour(released, disc, quarter) == 0;
        },
        10000);
    return released;
  }

  RunTempFolder folder_{"e2e-marked"};  // removed after the demo that runs in it has ended
  DemoProcess demo_;
  ClientPicture first_;
  Flock flock_;
};

TEST_F(DemoWithMarkedBirds, MouseButtonsShowTheirMarkerDiscUnderTheTurningPlayer) {
  Spot spot = EmptySpot(flock_);
  ASSERT_GE(spot.x, 0) << "no empty place";
  // The disc's upper left quarter, away from the sprite turning about the box's centre.
  Box quarter{spot.x - kDiscRadius + 6, spot.y - kDiscRadius + 6, spot.x - 4, spot.y - 4};
  for (auto [button, disc] : {std::pair{1, kLeftDisc}, std::pair{3, kRightDisc}}) {
    SCOPED_TRACE(button == 1 ? "left button" : "right button");
    auto [one, two] = HoldButton(button, spot.x, spot.y, disc, quarter);
    ASSERT_EQ(one.width, 800);
    ASSERT_EQ(two.width, 800);
    EXPECT_GT(CountColour(one, disc, quarter), 250) << "the marker disc";
    EXPECT_EQ(CountColour(one, button == 1 ? kRightDisc : kLeftDisc, quarter), 0);
    HeldSprite before = ReadHeldSprite(one, spot.x, spot.y, disc);
    HeldSprite after = ReadHeldSprite(two, spot.x, spot.y, disc);
    EXPECT_GT(before.pixels, 1500) << "the player's sprite over the disc";
    EXPECT_GT(after.pixels, 1500);
    // 50 / elapsed degrees a frame: slow frames on a loaded machine turn it only a little.
    double turned = std::fmod(after.pointing - before.pointing + 720, 360);
    EXPECT_GT(turned, 1) << "the held player turns";
    EXPECT_LT(turned, 359);
    ClientPicture released = Released(disc, quarter);
    EXPECT_EQ(CountColour(released, disc, quarter), 0) << "no disc once released";
  }
}

TEST_F(DemoWithMarkedBirds, TheCountShownIsTheNumberOfBirdsSharingACellWithThePlayer) {
  Spot spot = ClearSpotWithMostBirds(flock_);
  ASSERT_GE(spot.birds, 1) << "no place next to birds that the picture shows clearly";
  // Held until the grey disc of the space bar shows around the pointer (birds cover parts of it),
  // then let go.
  Box around{spot.x - kDiscRadius, spot.y - kDiscRadius, spot.x + kDiscRadius, spot.y + kDiscRadius};
  ASSERT_TRUE(PressKeyUntil(
      demo_.window(), "space",
      [&] {
        ClientPicture held = demo_.Capture();
        return held.width == 800 && CountColour(held, kKeyDisc, around) > 100;
      },
      POINT{spot.x, spot.y}));
  ASSERT_TRUE(demo_.BringToFront(700, 560));
  ClientPicture moved = Released(kKeyDisc, around);
  ASSERT_EQ(moved.width, 800);
  EXPECT_EQ(ReadCount(moved), spot.birds) << "player at " << spot.x << ", " << spot.y;
}

}  // namespace
