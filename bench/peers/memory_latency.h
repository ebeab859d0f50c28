// How long one load takes that waits for the one before, at random places in a block of a given
// size: the machine's cache levels as this process sees them at the moment. Printed beside the
// benchmark's figures because the grid's ratio to the peers at 10,000 boxes and more follows how
// much of the last-level cache the process gets, which on a shared machine changes with the hour.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench {

// Nanoseconds per dependent load over a block of the given size, or -1 without memory for it.
inline double DependentLoadNs(size_t bytes, size_t loads) {
  constexpr size_t kLine = 64;
  size_t lines = bytes / kLine;
  if (lines < 2 || lines > UINT32_MAX) return -1;
  auto* block = (char*)aligned_alloc(4096, (lines * kLine + 4095) / 4096 * 4096);
  if (!block) return -1;
  // One cycle through every line in a random order: each line holds the offset of the next.
  std::vector<uint32_t> order(lines);
  for (size_t k = 0; k < lines; ++k) order[k] = (uint32_t)k;
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (size_t k = lines - 1; k > 0; --k) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::swap(order[k], order[state % (k + 1)]);
  }
  for (size_t k = 0; k < lines; ++k) *(size_t*)(block + order[k] * kLine) = order[(k + 1) % lines] * kLine;
  size_t at = 0;
  for (size_t k = 0; k < lines; ++k) at = *(volatile size_t*)(block + at);  // every line touched once
  auto t0 = std::chrono::steady_clock::now();
  for (size_t k = 0; k < loads; ++k) at = *(volatile size_t*)(block + at);
  double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
  free(block);
  return ns / (double)loads;
}

inline void PrintMemoryLatency() {
  printf("dependent loads at random places, ns each, by block size:");
  for (size_t mb : {1, 2, 4, 8, 16, 32, 64}) {
    double ns = DependentLoadNs(mb << 20, 1000000);
    printf(" %zu MB %.0f%s", mb, ns, mb == 64 ? "\n" : ",");
  }
  fflush(stdout);
}

}  // namespace bench
