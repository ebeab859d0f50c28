// The demo's bird picture as the build leaves it beside the programs, and the decode-image tool run
// as a separate Windows process on good and bad files.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/screen/image_decoders.h"

namespace {

std::string BinPath(const std::string& name) { return std::string(HURZ_TEST_BIN_DIR) + "/" + name; }

// The tool's exit code, or -1 when it could not be started or did not end.
int RunDecodeImage(const std::string& arguments) {
  std::string line = "\"" + BinPath("decode-image.exe") + "\" " + arguments;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  DWORD code = (DWORD)-1;
  if (WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return (int)code;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

TEST(SqueakerBird, IsA64By64PictureWithAlphaOnATransparentBackground) {
  std::string png = ReadFileBytes(BinPath("squeaker_bird.png"));
  ASSERT_FALSE(png.empty());
  ResetImageDecoders();
  RegisterPngDecoder();
  ASSERT_EQ(FindImageDecoder((intptr_t)png.size(), (const uint8_t*)png.data()), 2);
  ASSERT_EQ(DecodedWidth(), 64);
  ASSERT_EQ(DecodedHeight(), 64);
  std::vector<uint8_t> rows(256 * 65);
  ASSERT_EQ(DecodeImage(rows.data(), 256, 0), 1);
  auto alpha = [&](int x, int y) { return rows[y * 256 + x * 4 + 3]; };
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(alpha(i, 0), 0) << "top edge " << i;
    EXPECT_EQ(alpha(i, 63), 0) << "bottom edge " << i;
  }
  int opaque = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) opaque += alpha(x, y) == 255;
  EXPECT_GT(opaque, 64 * 64 / 4);
  EXPECT_LT(opaque, 64 * 64 * 3 / 4);
  EXPECT_EQ(alpha(30, 40), 255) << "the body";
}

TEST(DecodeImageTool, ExitCodeTellsGoodFilesFromBadOnes) {
  std::string suite = HURZ_TEST_PNGSUITE_DIR;
  std::string pam = std::string("Z:/tmp/hurz-decode-image-") + std::to_string(GetCurrentProcessId()) + ".pam";
  EXPECT_EQ(RunDecodeImage("\"" + BinPath("squeaker_bird.png") + "\" \"" + pam + "\""), 0);
  std::string written = ReadFileBytes(pam);
  EXPECT_EQ(written.rfind("P7\nWIDTH 64\nHEIGHT 64\nDEPTH 4\n", 0), 0u);
  EXPECT_EQ(written.size(), written.find("ENDHDR\n") + 7 + 64 * 64 * 4);
  DeleteFileA(pam.c_str());
  EXPECT_EQ(RunDecodeImage("\"" + suite + "/basn3p02.png\""), 0);
  EXPECT_EQ(RunDecodeImage("\"" + suite + "/README\""), 1);
  EXPECT_EQ(RunDecodeImage("\"" + suite + "/missing.png\""), 1);
  EXPECT_EQ(RunDecodeImage(""), 2);
}
