// Places bytes flush against an inaccessible page, so that a read or write one byte past their
// end faults instead of passing unnoticed.
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

class GuardedMemory {
 public:
  explicit GuardedMemory(const std::string& bytes) : GuardedMemory(bytes.size()) {
    memcpy(data_, bytes.data(), bytes.size());
  }
#ifdef _WIN32
  explicit GuardedMemory(size_t size) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize, span = (size + page - 1) / page * page + (size ? 0 : page);
    base_ = (uint8_t*)VirtualAlloc(nullptr, span + page, MEM_RESERVE, PAGE_NOACCESS);
    VirtualAlloc(base_, span, MEM_COMMIT, PAGE_READWRITE);
    data_ = base_ + span - size;
  }
  ~GuardedMemory() { VirtualFree(base_, 0, MEM_RELEASE); }
#else
  explicit GuardedMemory(size_t size) {
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    span_ = (size + page - 1) / page * page + (size ? 0 : page) + page;
    base_ = (uint8_t*)mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    mprotect(base_ + span_ - page, page, PROT_NONE);
    data_ = base_ + span_ - page - size;
  }
  ~GuardedMemory() { munmap(base_, span_); }
#endif
  GuardedMemory(const GuardedMemory&) = delete;
  GuardedMemory& operator=(const GuardedMemory&) = delete;
  uint8_t* data() const { return data_; }

 private:
  uint8_t* base_;
  uint8_t* data_;
#ifndef _WIN32
  size_t span_;
#endif
};
