// The allocation-failure sweep: a scenario runs once on a working heap, which counts its
// allocations; then, for every point n (or an even sample of them), once with the n-th allocation
// failing and once with every allocation from the n-th on failing. Each failing run must report
// its failures through the commands' own failure results (giving lack of memory as the reason,
// where they give one) and never a success it did not achieve, must leave valid structures
// (checked by the scenario as it goes), must leak nothing once the scenario has freed what it
// made, and must leave the runtime usable: the scenario run again on a working heap gives the
// clean run's results.
// HURZ_SWEEP_ALL=1 in the environment covers every point; otherwise at most kSampledPoints are
// taken per scenario, spread evenly.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/program.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"
#include "runtime/core/registry_internal.h"
#include "runtime/core/text.h"

// What a run produced, entry by entry. A result entry is an answer of a command: a failing run
// must give the clean run's value or report a failure. A state entry (where things ended up, for
// instance an entity's cells after a placement that could only partly be made) is compared only
// when the heap works.
class Results {
 public:
  void Got(const std::string& what, const std::string& value) { items_.push_back({what, value, false, false}); }
  void Failed(const std::string& what) { items_.push_back({what, "", true, false}); }
  void State(const std::string& what, const std::string& value) { items_.push_back({what, value, false, true}); }
  // A command's answer: its value, or a failure when it reported one.
  void Answer(const std::string& what, bool ok, const std::string& value) {
    ok ? Got(what, value) : Failed(what);
  }
  // A command's refusal with its reason: a failing run may refuse as the clean run did, or for lack
  // of memory, but never for another reason.
  void Refused(const std::string& what, const std::string& reason, bool forLackOfMemory) {
    items_.push_back({what, reason, true, false, true, forLackOfMemory});
  }

  // Empty when this failing run's results agree with the clean run's, else the first disagreement.
  std::string DisagreementWith(const Results& clean) const {
    if (items_.size() != clean.items_.size())
      return std::to_string(items_.size()) + " entries instead of " + std::to_string(clean.items_.size());
    for (size_t i = 0; i < items_.size(); ++i) {
      const Item &got = items_[i], &want = clean.items_[i];
      if (got.what != want.what) return "entry " + got.what + " instead of " + want.what;
      if (got.reasoned && !got.lackOfMemory && !(want.failed && want.value == got.value))
        return got.what + ": refused as \"" + got.value + "\" where only memory ran out";
      if (got.state || got.failed) continue;
      if (want.failed) return got.what + ": claims " + got.value + " where a working heap fails";
      if (got.value != want.value) return got.what + ": claims " + got.value + " instead of " + want.value;
    }
    return "";
  }

  // Empty when both runs gave exactly the same, else the first difference.
  std::string DifferenceFrom(const Results& clean) const {
    if (items_.size() != clean.items_.size())
      return std::to_string(items_.size()) + " entries instead of " + std::to_string(clean.items_.size());
    for (size_t i = 0; i < items_.size(); ++i) {
      const Item &got = items_[i], &want = clean.items_[i];
      if (got.what != want.what || got.failed != want.failed || got.value != want.value)
        return got.what + ": " + (got.failed ? "failed" : got.value) + " instead of " +
               (want.failed ? "failed" : want.value);
    }
    return "";
  }

 private:
  struct Item {
    std::string what;
    std::string value;
    bool failed;
    bool state;
    bool reasoned = false;      // a refusal whose value is its reason
    bool lackOfMemory = false;  // that reason is lack of memory
  };
  std::vector<Item> items_;
};

class Scenario {
 public:
  virtual ~Scenario() = default;
  // The state every run starts from, made on a working heap: by default a runtime whose core was
  // just started.
  virtual void Fresh();
  // The scenario's work. Structures are checked as it goes (with gtest's EXPECT).
  virtual Results Run() = 0;
  // Frees what Run made, checking on the way that it was all still reachable.
  virtual void Release() = 0;
};

// The blocks each of the runtime's heaps holds.
inline std::string HeapBlocks() {
  return "runtime " + std::to_string(PlatformHeapBlockCount(gCore.runtimeHeap)) + ", string " +
         std::to_string(PlatformHeapBlockCount(gCore.stringHeap)) + ", object nodes " +
         std::to_string(PlatformHeapBlockCount(gCore.objectNodeHeap)) + ", blocks " +
         std::to_string(PlatformHeapBlockCount(gCore.blockHeap));
}

// Destroys every heap of the runtime and clears the records of the core and the program, as before
// the program's start; the RuntimeHeap is made again (by the entry itself in the program, so its
// creation is not one of the allocations counted).
inline void FreshRuntime() {
  PlatformFailAllocations(0, false);
  for (HeapHandle heap : {gCore.runtimeHeap, gCore.stringHeap, gCore.objectNodeHeap, gCore.blockHeap})
    if (heap) PlatformHeapDestroy(heap);
  gCore = CoreState{};
  gTemp = StringTempState{};
  gLoadedModules = LoadedModulesState{};
  gProgram = ProgramState{};
  UseRuntimeHeap(PlatformHeapCreate(0, 4096, 0), nullptr);
}

// The runtime core started as the program starts it (the StringTemp fresh, at 16 bytes).
inline void StartCore() {
  InitStringTemp();
  InitObjectNodes();
  InitLoadedModules();
  InitMemoryBlocks();
}

// The StringTemp as its rules hold it: no block and nothing held, or TempPosition inside a block
// of the capacity's size.
inline bool TempValid() {
  if (!gTemp.buffer) return gTemp.position == 0 && gTemp.capacity == 0;
  return gTemp.position >= 0 && gTemp.position < gTemp.capacity &&
         PlatformHeapSize(gCore.stringHeap, kHeapNoSerialize, gTemp.buffer) >= (size_t)gTemp.capacity;
}

inline void Scenario::Fresh() {
  FreshRuntime();
  StartCore();
}

// A registry no library keeps any longer: its slot array and its record.
inline void FreeRegistry(ObjectRegistry*& registry) {
  if (registry) {
    RuntimeFree(registry->slots);
    RuntimeFree(registry);
  }
  registry = nullptr;
}

constexpr uint64_t kSampledPoints = 250;

// Runs the sweep over a scenario and prints how many allocation points it has and covered.
inline void SweepScenario(const char* name, Scenario& scenario, uint64_t sampled = kSampledPoints) {
  scenario.Fresh();
  PlatformFailAllocations(0, false);
  Results clean = scenario.Run();
  uint64_t points = PlatformAllocationCount();
  scenario.Release();
  std::string cleanBlocks = HeapBlocks();
  ASSERT_FALSE(::testing::Test::HasFailure()) << name << ": the clean run already fails";
  ASSERT_GT(points, 0u) << name << " allocates nothing";

  bool all = getenv("HURZ_SWEEP_ALL") != nullptr;
  uint64_t taken = all || points <= sampled ? points : sampled;
  uint64_t runs = 0;
  for (uint64_t i = 0; i < taken; ++i) {
    uint64_t n = taken == points ? i + 1 : 1 + i * (points - 1) / (taken - 1);
    for (bool onward : {false, true}) {
      std::string where = std::string(name) + ", allocation " + std::to_string(n) + (onward ? " and on" : "") +
                          " failing";
      SCOPED_TRACE(where);
      scenario.Fresh();
      PlatformFailAllocations(n, onward);
      Results failing = scenario.Run();
      PlatformFailAllocations(0, false);
      std::string disagreement = failing.DisagreementWith(clean);
      EXPECT_EQ(disagreement, "");
      scenario.Release();
      // Usable afterwards: the same work on the state the failing run left gives the clean results,
      // and what stays allocated is what a clean run leaves.
      Results again = scenario.Run();
      EXPECT_EQ(again.DifferenceFrom(clean), "") << "run again on a working heap";
      scenario.Release();
      EXPECT_EQ(HeapBlocks(), cleanBlocks) << "blocks left once everything made was freed";
      ++runs;
      if (::testing::Test::HasFailure()) return;
    }
  }
  printf("[ sweep    ] %s: %llu allocation points, %llu covered%s, %llu failing runs, 0 crashes, leaks or false "
         "successes\n",
         name, (unsigned long long)points, (unsigned long long)taken, taken == points ? " (all)" : " (sampled evenly)",
         (unsigned long long)runs);
  fflush(stdout);
}
