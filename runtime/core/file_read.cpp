// Whole files into RuntimeHeap blocks, with the reason for a file that cannot be read.
#include <windows.h>

#include "runtime/core/file_read_internal.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/runtime_internal.h"

namespace {
const char* OpenFailureText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no such file";
    case ERROR_ACCESS_DENIED:
      return "access denied (or it is a folder)";
    case ERROR_SHARING_VIOLATION:
      return "another program holds it open";
    case ERROR_INVALID_NAME:
      return "not a valid file name";
    default:
      return nullptr;
  }
}

bool Refuse(HANDLE handle, const char* library, const char* name, const char* why) {
  CloseHandle(handle);
  SetRuntimeError("%s: \"%s\" %s", library, name, why);
  return false;
}
}  // namespace

bool ReadWholeFile(const char* name, const char* library, FileBytes* file) {
  *file = FileBytes{};
  if (!name || !*name) return ReportFailure("%s: no file name given", library);
  HANDLE handle =
      CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (const char* text = OpenFailureText(error))
      return ReportFailure("%s: \"%s\" cannot be opened: %s", library, name, text);
    return ReportFailure("%s: \"%s\" cannot be opened (Windows error %lu)", library, name, (unsigned long)error);
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size)) return Refuse(handle, library, name, "cannot be read: its size is unknown");
  if (size.QuadPart == 0) return Refuse(handle, library, name, "is empty");
  if (size.QuadPart > kMostFileBytes) return Refuse(handle, library, name, "is too large (2 GiB at most)");
  auto bytes = static_cast<DWORD>(size.QuadPart);
  auto* block = static_cast<uint8_t*>(RuntimeAllocRaw(bytes));
  if (!block) return Refuse(handle, library, name, "cannot be read: no memory for it");
  DWORD read = 0;
  if (!ReadFile(handle, block, bytes, &read, nullptr) || read == 0) {
    RuntimeFree(block);
    return Refuse(handle, library, name, "cannot be read");
  }
  CloseHandle(handle);
  // Only the bytes that arrived count: a file cut short while it was read is taken as it is.
  *file = FileBytes{block, read};
  return true;
}
