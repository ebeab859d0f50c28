// examples/view-image as built against the installed runtime: started on a PNG the test writes, its
// client area captured from the display and compared pixel for pixel, then sized larger through
// the runtime's own sizing, and ended by Escape; a file that is no picture gives a message box.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/client_capture.h"
#include "support/png_writer.h"
#include "support/unix_command.h"

namespace {
constexpr int kWidth = 161, kHeight = 93;  // odd sizes, so no power of two hides a misplaced texel

// Every pixel differs from its neighbours in red (by x) and green (by y); none is black.
uint32_t PixelAt(int x, int y) {
  uint32_t red = (x * 37) & 0xFF, green = (y * 53) & 0xFF, blue = (((x + y) * 11) & 0xFF) | 1;
  return red | (green << 8) | (blue << 16);  // COLORREF, as the capture gives it
}

std::string WriteTestPicture(const char* path, const std::string& bytes) {
  std::string file = std::string("Z:") + path;
  FILE* out = fopen(file.c_str(), "wb");
  if (!out) return {};
  fwrite(bytes.data(), 1, bytes.size(), out);
  fclose(out);
  return file;
}

std::string PicturePng() {
  PngDescription d;
  d.width = kWidth;
  d.height = kHeight;
  std::vector<std::string> rows;
  for (int y = 0; y < kHeight; ++y) {
    std::string row;
    for (int x = 0; x < kWidth; ++x) {
      uint32_t c = PixelAt(x, y);
      row += {char(c & 0xFF), char(c >> 8 & 0xFF), char(c >> 16 & 0xFF)};
    }
    rows.push_back(row);
  }
  return WritePng(d, rows);
}

// view-image started as its own process; ended when the test is done with it.
class ViewImage {
 public:
  bool Start(const std::string& file) {
    std::string line = std::string("\"") + HURZ_TEST_EXAMPLES_DIR + "/view-image/view-image.exe\" \"" + file + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_);
  }
  ~ViewImage() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  // The process's visible top-level window of the class ("#32770" for a message box, or the
  // runtime's "WindowClass_0"), waited for.
  HWND WaitForWindow(const char* className, DWORD timeoutMs = 20000) {
    struct Search {
      DWORD process;
      const char* className;
      HWND found;
    } search{process_.dwProcessId, className, nullptr};
    for (DWORD waited = 0; waited < timeoutMs && !search.found; waited += 50) {
      EnumWindows(
          [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            char name[64] = {};
            GetWindowThreadProcessId(window, &owner);
            GetClassNameA(window, name, sizeof name);
            if (owner == s->process && IsWindowVisible(window) && std::string(name) == s->className) s->found = window;
            return !s->found;
          },
          reinterpret_cast<LPARAM>(&search));
      if (!search.found) Sleep(50);
    }
    return search.found;
  }

  long WaitForExit(DWORD timeoutMs = 10000) {
    DWORD code = 0;
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  PROCESS_INFORMATION process_{};
};

// Client pixels that differ from the picture scaled by a whole factor; the first one is described.
int Mismatches(const ClientPicture& shot, int scale, std::string* first) {
  int wrong = 0;
  for (int y = 0; y < kHeight * scale; ++y)
    for (int x = 0; x < kWidth * scale; ++x)
      if (shot.at(x, y) != PixelAt(x / scale, y / scale) && wrong++ == 0) {
        char text[96];
        snprintf(text, sizeof text, "(%d, %d) is %06X, not %06X", x, y, shot.at(x, y), PixelAt(x / scale, y / scale));
        *first = text;
      }
  return wrong;
}

// Captures until the whole picture shows (starting Direct3D in a new process takes a while).
int CaptureUntilShown(HWND window, int scale, ClientPicture* shot, std::string* first) {
  int wrong = -1;
  for (int attempt = 0; attempt < 40 && wrong != 0; ++attempt, Sleep(250)) {
    *shot = CaptureClientArea(window);
    if (shot->width >= kWidth * scale && shot->height >= kHeight * scale) wrong = Mismatches(*shot, scale, first);
  }
  return wrong;
}

// What a user's drag of the bottom-right corner makes of the window: the sizing command, then a
// move of the pointer (which sits two pixels inside the corner) and the button's release.
void DragCornerBy(HWND window, int dx, int dy) {
  RECT outer;
  GetWindowRect(window, &outer);
  PostMessageA(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, 0);
  POINT to{outer.right + dx - 2, outer.bottom + dy - 2};
  ScreenToClient(window, &to);
  PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
  PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
}

void PressEscapeOver(HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  // Keys typed on the test display reach the window under the pointer.
  RunUnixCommand("xdotool mousemove " + std::to_string((outer.left + outer.right) / 2) + " " +
                 std::to_string((outer.top + outer.bottom) / 2));
  Sleep(150);
  RunUnixCommand("xdotool key Escape");
}
}  // namespace

TEST(ViewImage, ShowsAPngPixelForPixelFollowsTheSizingAndEndsOnEscape) {
  std::string file = WriteTestPicture("/tmp/hurz-view-image-test.png", PicturePng());
  ASSERT_FALSE(file.empty());
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);  // the runtime sizes windows itself
  ViewImage viewer;
  ASSERT_TRUE(viewer.Start(file));
  HWND window = viewer.WaitForWindow("WindowClass_0");
  ASSERT_NE(window, nullptr);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, kWidth);
  EXPECT_EQ(client.bottom, kHeight);
  ClientPicture shot;
  std::string first;
  EXPECT_EQ(CaptureUntilShown(window, 1, &shot, &first), 0) << first;

  // Twice as large: every pixel of the picture becomes a square of four.
  DragCornerBy(window, kWidth, kHeight);
  EXPECT_EQ(CaptureUntilShown(window, 2, &shot, &first), 0) << first;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 2 * kWidth);
  EXPECT_EQ(client.bottom, 2 * kHeight);

  PressEscapeOver(window);
  EXPECT_EQ(viewer.WaitForExit(), 0);
  DeleteFileA(file.c_str());
}

TEST(ViewImage, AFileThatIsNoPictureGivesAMessageBoxAndExitCodeOne) {
  std::string file = WriteTestPicture("/tmp/hurz-view-image-test.txt", "this is no picture\n");
  ASSERT_FALSE(file.empty());
  ViewImage viewer;
  ASSERT_TRUE(viewer.Start(file));
  HWND box = viewer.WaitForWindow("#32770");
  ASSERT_NE(box, nullptr) << "no message box";
  char title[64] = {}, text[256] = {};
  GetWindowTextA(box, title, sizeof title);
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_STREQ(title, "view-image");
  EXPECT_NE(std::string(text).find("no picture"), std::string::npos) << text;
  PostMessageA(box, WM_COMMAND, IDOK, 0);  // as a user's click on OK
  EXPECT_EQ(viewer.WaitForExit(), 1);
  DeleteFileA(file.c_str());
}
