// Places bytes flush against an inaccessible page, so that a read or write one byte past their
// end faults instead of passing unnoticed.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

class GuardedMemory {
 public:
  explicit GuardedMemory(const std::string& bytes) : GuardedMemory(bytes.size()) {
    memcpy(data_, bytes.data(), bytes.size());
  }
  explicit GuardedMemory(size_t size) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize, span = (size + page - 1) / page * page + (size ? 0 : page);
    base_ = (uint8_t*)VirtualAlloc(nullptr, span + page, MEM_RESERVE, PAGE_NOACCESS);
    VirtualAlloc(base_, span, MEM_COMMIT, PAGE_READWRITE);
    data_ = base_ + span - size;
  }
  ~GuardedMemory() { VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedMemory(const GuardedMemory&) = delete;
  GuardedMemory& operator=(const GuardedMemory&) = delete;
  uint8_t* data() const { return data_; }

 private:
  uint8_t* base_;
  uint8_t* data_;
};
