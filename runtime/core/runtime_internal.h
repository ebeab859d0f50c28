// The runtime's internal steps behind runtime.h: the libraries' start and end orders, shared with
// the demonstration's own entry, and how a command leaves its reason for a failure.
#pragma once
#include <cstddef>
#include <cstdint>

// The core libraries' start routines in the program's start-up order (the RuntimeHeap must be in
// place), and every library's end routine in the shutdown order, which is not the reverse.
using LibraryRoutine = void (*)();
constexpr int kLibraryStartCount = 9;
constexpr int kLibraryEndCount = 10;
extern const LibraryRoutine kLibraryStartOrder[kLibraryStartCount];
extern const LibraryRoutine kLibraryEndOrder[kLibraryEndCount];
void StartLibraries();
void ShutdownLibraries();

// The error text's room; a longer reason is cut short.
constexpr size_t kRuntimeErrorCapacity = 512;

// A command that reports its failures clears the text on entry and, when it fails, sets it with a
// printf-style format: one line beginning with the library's name. Line breaks in the arguments
// become blanks. ReportFailure returns 0, for `return ReportFailure(...)`.
void ClearRuntimeError();
void SetRuntimeError(const char* format, ...) __attribute__((format(printf, 1, 2)));
int32_t ReportFailure(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The reason when a registry gave no record for a number: "LIBRARY: the number N cannot hold
// THING (not 0 up nor AnyID, or no memory)". Returns 0.
int32_t ReportNumberRefused(const char* library, const char* thing, long long number);

// A DirectX or COM result (an HRESULT, which is a long) as the reasons print it: 0x%08lX.
constexpr unsigned long ResultCode(long result) { return static_cast<unsigned long>(result); }
