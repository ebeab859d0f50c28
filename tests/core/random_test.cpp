// The RANROT generator's sequence for a fixed seed, its edge cases, ticks and delays.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "runtime/core/random_internal.h"

namespace {

TEST(Random, FixedSeedGivesTheKnownSequence) {
  SeedRandom(12345);
  const int32_t maxima[] = {760, 560, 30, 30, 760, 560, 30, 30, 0, -1, INT32_MAX, 100};
  const int32_t expected[] = {212, 398, 20, 10, 445, 154, 9, 21, 0, INT32_MIN, 380123528, 48};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(RandomUpTo(maxima[i]), expected[i]) << i;
}

TEST(Random, ReseedingRepeatsAndEveryCallAdvances) {
  SeedRandom(7);
  int32_t first = RandomUpTo(1000000);
  SeedRandom(7);
  EXPECT_EQ(RandomUpTo(1000000), first);
  SeedRandom(7);
  RandomUpTo(-1);  // a negative maximum still consumes a step
  int32_t afterNegative = RandomUpTo(1000000);
  SeedRandom(7);
  RandomUpTo(1000000);
  EXPECT_EQ(RandomUpTo(1000000), afterNegative);
}

TEST(Random, ResultsStayInRange) {
  SeedRandom(99);
  for (int i = 0; i < 10000; ++i) {
    int32_t v = RandomUpTo(30);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 30);
    ASSERT_GE(RandomUpTo(INT32_MAX), 0);
  }
}

TEST(Random, SeedsItselfOnFirstUse) {
  gRandom = RandomState{};
  RandomUpTo(10);
  EXPECT_EQ(gRandom.seeded, 1);
}

TEST(Ticks, DelayAdvancesTheTickCountByItsLength) {
  StartTickClock();
  auto start = std::chrono::steady_clock::now();
  uint32_t before = ElapsedTicks();
  DelayMs(50);
  uint32_t ticks = ElapsedTicks() - before;
  auto slept = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(slept.count(), 45);
  EXPECT_GE(ticks, 49u);
  EXPECT_LE(ticks, static_cast<uint32_t>(slept.count()) + 2);
  DelayMs(0);
  EndTickClock();
}

// Frames of about 17 ms are measured on this clock: it must count single milliseconds, not the
// system tick's steps of about 16.
TEST(Ticks, TheTickCountAdvancesMillisecondByMillisecond) {
  StartTickClock();
  std::vector<uint32_t> steps;
  uint32_t last = ElapsedTicks();
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (std::chrono::steady_clock::now() < until) {
    uint32_t now = ElapsedTicks();
    if (now != last) steps.push_back(now - last);
    last = now;
  }
  EndTickClock();
  ASSERT_GE(steps.size(), 20u) << "changes seen in 200 ms";
  std::sort(steps.begin(), steps.end());
  EXPECT_EQ(steps[steps.size() / 2], 1u) << "median step";
#ifdef _WIN32
  // The same milliseconds since the system started as the system's own tick count.
  EXPECT_LE(static_cast<int32_t>(ElapsedTicks() - GetTickCount()), 40);
  EXPECT_GE(static_cast<int32_t>(ElapsedTicks() - GetTickCount()), -40);
#endif
}

}  // namespace
