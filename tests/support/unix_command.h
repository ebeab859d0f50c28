// Runs a Linux command (xdotool, import, python3, ...) from a test running under Wine.
// Wine starts Unix programs through CreateProcess but cannot wait for them or read their exit
// code, so the command runs in /bin/sh, which writes its exit code to a marker file we poll.
// Also the test program's files and folders under /tmp, and the Unix form of a Windows path.
#pragma once
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <string>

// A path under /tmp (Unix form) for a file or folder of this test program: test runs of other work
// trees share /tmp, each with a display and a Wine server of its own whose process numbers repeat
// from one server to the next, so the name holds the display's number and the process's.
inline std::string RunTempPath(const std::string& name) {
  static const std::string prefix = [] {
    char display[64] = "";
    GetEnvironmentVariableA("DISPLAY", display, sizeof display);
    std::string path = "/tmp/hurz-";
    for (const char* c = display; *c; ++c)
      if (isalnum(static_cast<unsigned char>(*c))) path += *c;
    return path + "-" + std::to_string(GetCurrentProcessId()) + "-";
  }();
  return prefix + name;
}

// The Unix form of a Windows path on Wine's Z: drive (the Unix root): Z:\a\b is /a/b.
inline std::string UnixPath(const std::string& windowsPath) {
  std::string path = windowsPath;
  if (path.rfind("Z:", 0) == 0 || path.rfind("z:", 0) == 0) path.erase(0, 2);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// Writes bytes to the file RunTempPath(name); its Windows path, or "" when it could not be written.
inline std::string WriteRunTempFile(const std::string& name, const std::string& bytes) {
  std::string path = "Z:" + RunTempPath(name);
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) return "";
  bool written = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (fclose(out) != 0 || !written) {
    DeleteFileA(path.c_str());
    return "";
  }
  return path;
}

// Returns the command's exit code, or -1 when it did not finish within the timeout.
inline int RunUnixCommand(const std::string& command, DWORD timeoutMs = 10000) {
  static int counter = 0;
  std::string marker = RunTempPath("unix-" + std::to_string(++counter) + ".rc");
  std::string winMarker = "Z:" + marker;
  DeleteFileA(winMarker.c_str());
  // Wine splits the command line into arguments by the Windows rules, so the script given to
  // sh -c is quoted that way: backslashes before a quote are doubled, and quotes escaped.
  std::string script = "(" + command + "); echo $? > " + marker + ".tmp; mv " + marker + ".tmp " + marker;
  std::string line = "/bin/sh -c \"";
  size_t backslashes = 0;
  for (char c : script) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // For a Unix program Wine hands back no handles: pi's handle fields are left holding whatever
  // its own stack had there, which can be the value of a live handle of this process (seen: the
  // thread's desktop, whose loss leaves every later window of the test unable to take the
  // front). So they are never closed.
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  for (DWORD waited = 0; waited < timeoutMs; waited += 10) {
    if (FILE* f = fopen(winMarker.c_str(), "r")) {
      int code = -1;
      if (fscanf(f, "%d", &code) != 1) code = -1;
      fclose(f);
      DeleteFileA(winMarker.c_str());
      return code;
    }
    Sleep(10);
  }
  return -1;
}

// An empty folder RunTempPath(name), made afresh and removed with all it holds at the end.
class RunTempFolder {
 public:
  explicit RunTempFolder(const std::string& name) : unix_(RunTempPath(name)) {
    made_ = RunUnixCommand("rm -rf '" + unix_ + "' && mkdir '" + unix_ + "'") == 0;
  }
  ~RunTempFolder() { RunUnixCommand("rm -rf '" + unix_ + "'"); }
  RunTempFolder(const RunTempFolder&) = delete;
  RunTempFolder& operator=(const RunTempFolder&) = delete;

  bool made() const { return made_; }
  const std::string& unixPath() const { return unix_; }
  // Z:\tmp\..., as a Windows program is given it.
  std::string windowsPath() const {
    std::string path = "Z:" + unix_;
    for (char& c : path)
      if (c == '/') c = '\\';
    return path;
  }
  // The Windows path of a file in it.
  std::string Path(const std::string& name) const { return windowsPath() + "\\" + name; }

 private:
  std::string unix_;
  bool made_ = false;
};
