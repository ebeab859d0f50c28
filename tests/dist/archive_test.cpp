// The archives for Windows users as a user gets them: each holds the demo, its bird picture,
// decode-image and README.txt and nothing else; their programs are Windows executables of the
// archive's width that need only DLLs every Windows has; and the 64-bit programs, unpacked into an
// empty folder outside the build, run from there.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/demo_process.h"
#include "support/program_run.h"
#include "support/unix_command.h"

namespace {
const std::set<std::string> kContents = {"README.txt", "decode-image.exe", "hurz.exe", "squeaker_bird.png"};

// DLLs that come with Windows itself.
const std::set<std::string> kSystemDlls = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "ddraw.dll",    "dinput.dll",  "dsound.dll",
    "gdi32.dll",    "imm32.dll",    "kernel32.dll", "msvcrt.dll",   "ole32.dll",   "oleaut32.dll",
    "shell32.dll",  "user32.dll",   "version.dll",  "winmm.dll",    "ws2_32.dll",  "wsock32.dll"};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// An archive unpacked into a fresh folder under /tmp, removed again at the end.
class UnpackedArchive {
 public:
  explicit UnpackedArchive(const std::string& archive) {
    static int count = 0;
    folder_ = "/tmp/hurz-dist-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    unpacked_ = RunUnixCommand("rm -rf " + folder_ + " && mkdir " + folder_ + " && cd " + folder_ +
                                   " && cmake -E tar xf '" + archive + "'",
                               60000) == 0;
  }
  ~UnpackedArchive() { RunUnixCommand("rm -rf " + folder_); }

  bool unpacked() const { return unpacked_; }
  std::string UnixPath(const std::string& name) const { return folder_ + "/" + name; }
  std::string Folder() const {
    std::string path = "Z:" + folder_;
    for (char& c : path)
      if (c == '/') c = '\\';
    return path;
  }
  std::string Path(const std::string& name) const { return Folder() + "\\" + name; }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((Folder() + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = entry.cFileName;
      if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
  }

 private:
  std::string folder_;
  bool unpacked_ = false;
};

// What objdump reports of a program's headers: its file format, subsystem and imported DLLs.
struct Executable {
  std::string format;
  std::string subsystem;
  std::set<std::string> dlls;
};

Executable Inspect(const std::string& unixPath) {
  std::string report = "/tmp/hurz-dist-objdump-" + std::to_string(GetCurrentProcessId()) + ".txt";
  Executable executable;
  if (RunUnixCommand(std::string(HURZ_TEST_OBJDUMP) + " -p '" + unixPath + "' > " + report + " 2>&1", 30000) != 0)
    return executable;
  std::istringstream lines(ReadFile("Z:" + report));
  DeleteFileA(("Z:" + report).c_str());
  auto after = [](const std::string& line, const std::string& label) {
    size_t at = line.find(label);
    return at == std::string::npos ? std::string() : line.substr(at + label.size());
  };
  for (std::string line; std::getline(lines, line);) {
    if (std::string format = after(line, "file format "); !format.empty()) executable.format = format;
    if (line.rfind("Subsystem", 0) == 0) executable.subsystem = after(line, "(");
    if (std::string dll = after(line, "DLL Name: "); !dll.empty()) executable.dlls.insert(Lower(dll));
  }
  return executable;
}

TEST(DistArchives, HoldTheDemoItsBirdTheToolAndTheReadmeAndNothingElse) {
  UnpackedArchive win64(HURZ_TEST_DIST_WIN64), win32(HURZ_TEST_DIST_WIN32);
  ASSERT_TRUE(win64.unpacked()) << HURZ_TEST_DIST_WIN64;
  ASSERT_TRUE(win32.unpacked()) << HURZ_TEST_DIST_WIN32;
  for (const UnpackedArchive* archive : {&win64, &win32}) {
    EXPECT_EQ(archive->Names(), kContents);
    std::string readme = ReadFile(archive->Path("README.txt"));
    EXPECT_NE(readme.find("Escape"), std::string::npos) << "the controls are described";
    size_t lineEnds = 0, crlf = 0;
    for (size_t i = 0; i < readme.size(); ++i)
      if (readme[i] == '\n') ++lineEnds, crlf += i > 0 && readme[i - 1] == '\r';
    EXPECT_GT(lineEnds, 10u);
    EXPECT_EQ(crlf, lineEnds) << "Windows line ends";
  }
  std::string bird = ReadFile(win64.Path("squeaker_bird.png"));
  EXPECT_EQ(bird.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(ReadFile(win32.Path("squeaker_bird.png")), bird) << "both archives ship the same picture";
}

TEST(DistArchives, ProgramsAreWindowsExecutablesOfTheirWidthNeedingOnlySystemDlls) {
  struct Expected {
    const char* archive;
    const char* format;
  };
  for (Expected expected : {Expected{HURZ_TEST_DIST_WIN64, "pei-x86-64"}, Expected{HURZ_TEST_DIST_WIN32, "pei-i386"}}) {
    SCOPED_TRACE(expected.archive);
    UnpackedArchive archive(expected.archive);
    ASSERT_TRUE(archive.unpacked());
    for (const char* program : {"hurz.exe", "decode-image.exe"}) {
      SCOPED_TRACE(program);
      Executable executable = Inspect(archive.UnixPath(program));
      EXPECT_EQ(executable.format, expected.format);
      EXPECT_EQ(executable.subsystem, std::string(program) == "hurz.exe" ? "Windows GUI)" : "Windows CUI)")
          << "the demo opens no console window";
      EXPECT_TRUE(executable.dlls.count("kernel32.dll"));
      for (const std::string& dll : executable.dlls) EXPECT_TRUE(kSystemDlls.count(dll)) << dll << " is not part of Windows";
    }
  }
}

TEST(DistArchive64, ProgramsRunFromTheUnpackedFolderAndTheDemoEndsWithZeroOnEscape) {
  UnpackedArchive archive(HURZ_TEST_DIST_WIN64);
  ASSERT_TRUE(archive.unpacked());

  ProgramRun decode = RunProgram("\"" + archive.Path("decode-image.exe") + "\" \"" + archive.Path("squeaker_bird.png") +
                                 "\" \"" + archive.Path("bird.pam") + "\"");
  EXPECT_EQ(decode.exitCode, 0) << decode.output;

  DemoProcess demo;
  ASSERT_TRUE(demo.Start("", archive.Folder()));
  ASSERT_NE(demo.WaitForWindow(), nullptr) << "no window \"hurz\" appeared";
  ASSERT_TRUE(demo.PressEscape());
  EXPECT_EQ(demo.WaitForExit(10000), 0);
}
}  // namespace
