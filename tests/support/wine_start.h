// Windows programs started through Wine from a Unix shell, for the settings Wine takes only from the
// Unix environment a process starts with (the audio set-up, DLL overrides), which CreateProcess
// alone would not change; and the audio set-up of a machine without an audio device.
#pragma once
#include <windows.h>

#include <string>

#include "support/unix_command.h"

// The shell command that starts a Windows program (its Windows path) through Wine with the given
// environment variables ("NAME=value ...") and arguments.
inline std::string WineCommand(const std::string& variables, const std::string& program,
                               const std::string& arguments = "") {
  return variables + " /usr/lib/wine/wine64 '" + UnixPath(program) + "'" + (arguments.empty() ? "" : " " + arguments);
}

// An ALSA set-up whose default device does not exist, in a file removed again at the end.
class NoAudioConfig {
 public:
  NoAudioConfig()
      : path_(WriteRunTempFile("no-audio.conf",
                               "pcm.!default { type hw card 99 }\nctl.!default { type hw card 99 }\n")) {}
  ~NoAudioConfig() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
  }
  NoAudioConfig(const NoAudioConfig&) = delete;
  NoAudioConfig& operator=(const NoAudioConfig&) = delete;

  bool written() const { return !path_.empty(); }
  // The environment variable that hands it to a program WineCommand starts.
  std::string Variable() const { return "ALSA_CONFIG_PATH=" + UnixPath(path_); }

 private:
  std::string path_;
};
