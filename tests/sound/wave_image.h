// Builds RIFF WAVE images for the sound tests, and places them flush against an inaccessible
// page so that any read past their end faults.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstring>
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

class GuardedImage {
 public:
  explicit GuardedImage(const std::string& bytes) {
    size_t page = PageSize();
    span_ = (bytes.size() + page - 1) / page * page + (bytes.empty() ? page : 0);
    base_ = Reserve(span_ + page);
    data_ = base_ + span_ - bytes.size();
    memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedImage() { Release(); }
  GuardedImage(const GuardedImage&) = delete;
  GuardedImage& operator=(const GuardedImage&) = delete;
  const uint8_t* data() const { return data_; }

 private:
#ifdef _WIN32
  static size_t PageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
  }
  uint8_t* Reserve(size_t total) {
    auto* base = (uint8_t*)VirtualAlloc(nullptr, total, MEM_RESERVE, PAGE_NOACCESS);
    VirtualAlloc(base, span_, MEM_COMMIT, PAGE_READWRITE);
    return base;
  }
  void Release() { VirtualFree(base_, 0, MEM_RELEASE); }
#else
  static size_t PageSize() { return (size_t)sysconf(_SC_PAGESIZE); }
  uint8_t* Reserve(size_t total) {
    auto* base = (uint8_t*)mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    mprotect(base + span_, total - span_, PROT_NONE);
    return base;
  }
  void Release() { munmap(base_, span_ + PageSize()); }
#endif
  size_t span_;
  uint8_t* base_;
  uint8_t* data_;
};
