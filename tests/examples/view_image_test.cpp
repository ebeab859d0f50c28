// examples/view-image as built against the installed runtime: started on a PNG the test writes, its
// client area captured from the display and compared pixel for pixel, then sized larger through
// the runtime's own sizing, and ended by Escape; a file that is no picture gives a message box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/client_capture.h"
#include "support/foreground.h"
#include "support/png_writer.h"
#include "support/program_process.h"

namespace {
constexpr int kWidth = 161, kHeight = 93;  // odd sizes, so no power of two hides a misplaced texel

// Every pixel differs from its neighbours in red (by x) and green (by y); none is black.
uint32_t PixelAt(int x, int y) {
  uint32_t red = (x * 37) & 0xFF, green = (y * 53) & 0xFF, blue = (((x + y) * 11) & 0xFF) | 1;
  return red | (green << 8) | (blue << 16);  // COLORREF, as the capture gives it
}

std::string PicturePng() {
  PngDescription d;
  d.width = kWidth;
  d.height = kHeight;
  std::vector<std::string> rows(kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      rows[y] += {char(PixelAt(x, y)), char(PixelAt(x, y) >> 8), char(PixelAt(x, y) >> 16)};
  return WritePng(d, rows);
}

constexpr const char* kViewImage = HURZ_TEST_EXAMPLES_DIR "/view-image/view-image.exe";

// Captures until the picture, scaled by a whole factor, shows (starting Direct3D takes a while);
// gives the number of pixels that still differ, and the first of them.
int CaptureUntilShown(HWND window, int scale, std::string* first) {
  int wrong = -1;
  WaitUntil(
      [&] {
        ClientPicture shot = CaptureClientArea(window);
        if (shot.width < kWidth * scale || shot.height < kHeight * scale) return false;
        wrong = 0;
        for (int y = 0; y < kHeight * scale; ++y)
          for (int x = 0; x < kWidth * scale; ++x)
            if (shot.at(x, y) != PixelAt(x / scale, y / scale) && wrong++ == 0)
              *first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") differs";
        return wrong == 0;
      },
      30000);
  return wrong;
}
}  // namespace

TEST(ViewImage, ShowsAPngPixelForPixelFollowsTheSizingAndEndsOnEscape) {
  std::string file = WriteRunTempFile("view-image-test.png", PicturePng());
  ASSERT_FALSE(file.empty());
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);  // the runtime sizes windows itself
  ProgramProcess viewer;
  ASSERT_TRUE(viewer.Start(kViewImage, file));
  HWND window = viewer.WaitForWindow("WindowClass_0", file);  // titled with the file's name
  ASSERT_NE(window, nullptr);
  RECT r;
  GetClientRect(window, &r);
  EXPECT_EQ(r.right, kWidth);
  EXPECT_EQ(r.bottom, kHeight);
  std::string first;
  EXPECT_EQ(CaptureUntilShown(window, 1, &first), 0) << first;

  // A user's drag of the bottom-right corner by the picture's size, as the window receives it: the
  // sizing command, a pointer move (the pointer sits two pixels inside the corner), the release.
  GetWindowRect(window, &r);
  POINT to{r.right + kWidth - 2, r.bottom + kHeight - 2};
  ScreenToClient(window, &to);
  PostMessageA(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, 0);
  PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
  PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  EXPECT_EQ(CaptureUntilShown(window, 2, &first), 0) << first;  // every pixel a square of four
  GetClientRect(window, &r);
  EXPECT_EQ(r.right, 2 * kWidth);
  EXPECT_EQ(r.bottom, 2 * kHeight);

  // Escape typed on the test display with the window in front, until the viewer has ended.
  EXPECT_TRUE(PressKeyUntil(window, "Escape", [&] { return !IsWindow(window); }));
  EXPECT_EQ(viewer.WaitForExit(30000), 0);
  DeleteFileA(file.c_str());
}

TEST(ViewImage, AFileThatIsNoPictureGivesAMessageBoxAndExitCodeOne) {
  std::string file = WriteRunTempFile("view-image-test.txt", "this is no picture\n");
  ASSERT_FALSE(file.empty());
  ProgramProcess viewer;
  ASSERT_TRUE(viewer.Start(kViewImage, file));
  HWND box = viewer.WaitForWindow("#32770", "view-image");
  ASSERT_NE(box, nullptr) << "no message box";
  char text[256] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_NE(std::string(text).find("is no picture"), std::string::npos) << text;
  PostMessageA(box, WM_COMMAND, IDOK, 0);  // as a click on OK
  EXPECT_EQ(viewer.WaitForExit(30000), 1);
  DeleteFileA(file.c_str());
}
