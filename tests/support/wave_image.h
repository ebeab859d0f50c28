// Builds RIFF WAVE images for the tests: the RIFF header, chunks, a PCM format chunk's body and
// sample bytes.
#pragma once
#include <cstdint>
#include <string>

inline std::string Le32(uint32_t v) { return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)}; }

inline std::string Chunk(const char* tag, const std::string& body) { return tag + Le32((uint32_t)body.size()) + body; }

// 16-bit stereo PCM at 22050 Hz, the 16-byte form of the format chunk.
inline std::string PcmFormat() {
  return std::string{1, 0, 2, 0} + Le32(22050) + Le32(22050 * 4) + std::string{4, 0, 16, 0};
}

inline std::string Samples(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = (char)(i * 7 + 3);
  return s;
}

// RIFF header, form type WAVE, then the chunks given (the first must be "fmt ").
inline std::string WaveFile(const std::string& chunks) {
  return "RIFF" + Le32((uint32_t)chunks.size() + 4) + "WAVE" + chunks;
}
