// The archives for Windows users as a user gets them: each holds the demo, its bird picture,
// decode-image and README.txt and nothing else; their programs are Windows executables of the
// archive's width that need only DLLs every Windows has; and the 64-bit programs, unpacked into an
// empty folder outside the build, run from there.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "e2e/demo_process.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/unix_command.h"

namespace {
const std::set<std::string> kContents = {"README.txt", "decode-image.exe", "hurz.exe", "squeaker_bird.png"};

// DLLs that come with Windows itself.
const std::set<std::string> kSystemDlls = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "ddraw.dll",  "dinput.dll", "dsound.dll",
    "gdi32.dll",    "imm32.dll",    "kernel32.dll", "msvcrt.dll", "ole32.dll",  "oleaut32.dll",
    "shell32.dll",  "user32.dll",   "version.dll",  "winmm.dll",  "ws2_32.dll", "wsock32.dll"};

// An archive unpacked into a fresh folder under /tmp, removed again at the end.
class UnpackedArchive {
 public:
  explicit UnpackedArchive(const std::string& archive) : folder_("dist-" + std::to_string(++count_)) {
    unpacked_ = folder_.made() &&
                RunUnixCommand("cd " + folder_.unixPath() + " && cmake -E tar xf '" + archive + "'", 60000) == 0;
  }

  bool unpacked() const { return unpacked_; }
  std::string folder() const { return folder_.windowsPath(); }
  std::string Path(const std::string& name) const { return folder_.Path(name); }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(Path("*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = entry.cFileName;
      if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
  }

  // What objdump reports of a program's headers: its file format, subsystem and imported DLLs
  // (lower case).
  struct Executable {
    std::string format, subsystem;
    std::set<std::string> dlls;
  };
  Executable Inspect(const std::string& program) const {
    std::string report = RunTempPath("dist-objdump.txt");
    Executable executable;
    RunUnixCommand(std::string(HURZ_TEST_OBJDUMP) + " -p " + folder_.unixPath() + "/" + program + " > " + report,
                   30000);
    std::istringstream lines(ReadFileBytes("Z:" + report));
    DeleteFileA(("Z:" + report).c_str());
    auto after = [](const std::string& line, const std::string& label) {
      size_t at = line.find(label);
      return at == std::string::npos ? std::string() : line.substr(at + label.size());
    };
    for (std::string line; std::getline(lines, line);) {
      if (std::string format = after(line, "file format "); !format.empty()) executable.format = format;
      if (line.rfind("Subsystem", 0) == 0) executable.subsystem = after(line, "(");
      std::string dll = after(line, "DLL Name: ");
      for (char& c : dll) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      if (!dll.empty()) executable.dlls.insert(dll);
    }
    return executable;
  }

 private:
  static inline int count_ = 0;
  RunTempFolder folder_;
  bool unpacked_ = false;
};

TEST(DistArchives, HoldTheFilesWhoseProgramsAreOfTheirWidthAndNeedOnlySystemDlls) {
  struct Expected {
    const char* archive;
    const char* format;
  };
  std::string birds[2];
  int n = 0;
  for (Expected expected : {Expected{HURZ_TEST_DIST_WIN64, "pei-x86-64"}, Expected{HURZ_TEST_DIST_WIN32, "pei-i386"}}) {
    SCOPED_TRACE(expected.archive);
    UnpackedArchive archive(expected.archive);
    ASSERT_TRUE(archive.unpacked());
    EXPECT_EQ(archive.Names(), kContents);
    birds[n++] = ReadFileBytes(archive.Path("squeaker_bird.png"));

    std::string readme = ReadFileBytes(archive.Path("README.txt"));
    size_t lineEnds = 0, crlf = 0;
    for (size_t i = 1; i < readme.size(); ++i)
      if (readme[i] == '\n') ++lineEnds, crlf += readme[i - 1] == '\r';
    EXPECT_GT(lineEnds, 10u);
    EXPECT_EQ(crlf, lineEnds) << "README.txt has Windows line ends";

    for (const char* program : {"hurz.exe", "decode-image.exe"}) {
      SCOPED_TRACE(program);
      auto executable = archive.Inspect(program);
      EXPECT_EQ(executable.format, expected.format);
      EXPECT_EQ(executable.subsystem, std::string(program) == "hurz.exe" ? "Windows GUI)" : "Windows CUI)")
          << "the demo opens no console window";
      EXPECT_TRUE(executable.dlls.count("kernel32.dll"));
      for (const std::string& dll : executable.dlls)
        EXPECT_TRUE(kSystemDlls.count(dll)) << dll << " is not part of Windows";
    }
  }
  EXPECT_EQ(birds[0].substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(birds[1], birds[0]) << "both archives ship the same picture";
}

TEST(DistArchive64, ProgramsRunFromTheUnpackedFolderAndTheDemoEndsWithZeroOnEscape) {
  UnpackedArchive archive(HURZ_TEST_DIST_WIN64);
  ASSERT_TRUE(archive.unpacked());

  ProgramRun decode = RunProgram("\"" + archive.Path("decode-image.exe") + "\" \"" + archive.Path("squeaker_bird.png") +
                                 "\" \"" + archive.Path("bird.pam") + "\"");
  EXPECT_EQ(decode.exitCode, 0) << decode.output;

  DemoProcess demo;
  ASSERT_TRUE(demo.Start("", archive.folder()));
  ASSERT_NE(demo.WaitForWindow(), nullptr) << "no window \"hurz\" appeared";
  ASSERT_TRUE(demo.PressEscape());
  EXPECT_EQ(demo.WaitForExit(10000), 0);
}
}  // namespace
