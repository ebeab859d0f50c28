// Object registry: static and dynamic numbers, growth, release on re-use, enumeration, node lists.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"
#include "runtime/core/registry_internal.h"
#include "support/core_setup.h"

namespace {

struct Record {
  intptr_t handle;  // liveness marker
  int value;
};

std::vector<ObjectNumber> gReleased;
ObjectRegistry* gRegistry;

void ReleaseRecord(ObjectNumber number) {
  if (RegistryLookup(gRegistry, number)) {
    gReleased.push_back(number);
    RegistryFree(gRegistry, number);
  }
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreStarted();
    gReleased.clear();
    gRegistry = RegistryCreate(sizeof(Record), 16, ReleaseRecord);
  }
  Record* Open(ObjectNumber number, int value) {
    auto* r = (Record*)RegistryAllocate(gRegistry, number);
    r->handle = 1;
    r->value = value;
    return r;
  }
};

TEST_F(RegistryTest, GrowsToNumberPlusStepKeepingOldSlots) {
  Open(3, 33);
  EXPECT_EQ(gRegistry->capacity, 16);
  Open(20, 20);
  EXPECT_EQ(gRegistry->capacity, 36);
  EXPECT_EQ(((Record*)RegistryLookup(gRegistry, 3))->value, 33);
  for (int i = 16; i < 36; ++i) {
    if (i != 20) {
      EXPECT_EQ(RegistryLookup(gRegistry, i), nullptr) << i;
    }
  }
}

TEST_F(RegistryTest, ReopeningALiveNumberReleasesItFirstButAnyIDNever) {
  Open(5, 1);
  Open(5, 2);
  EXPECT_EQ(gReleased, std::vector<ObjectNumber>{5});
  gReleased.clear();
  Open(AnyID, 3);
  Open(AnyID, 4);
  EXPECT_TRUE(gReleased.empty());
}

TEST_F(RegistryTest, DynamicNumbersAreRecordAddresses) {
  auto* a = Open(AnyID, 1);
  auto* b = Open(AnyID, 2);
  auto na = (ObjectNumber)a, nb = (ObjectNumber)b;
  EXPECT_NE(na, nb);
  EXPECT_EQ(RegistryCheck(gRegistry, na), na);
  EXPECT_EQ(RegistryLookup(gRegistry, nb), b);
  RegistryFree(gRegistry, na);
  EXPECT_EQ(RegistryCheck(gRegistry, na), 0);
  EXPECT_EQ(RegistryLookup(gRegistry, na), nullptr);  // freed: never read again
  EXPECT_EQ(RegistryCheck(gRegistry, nb), nb);
}

TEST_F(RegistryTest, UnknownNumbersAnswerNull) {
  Open(2, 1);
  EXPECT_EQ(RegistryLookup(gRegistry, 4), nullptr);
  EXPECT_EQ(RegistryCheck(gRegistry, gRegistry->capacity + 5), 0);
  EXPECT_EQ(RegistryLookup(gRegistry, gRegistry->capacity + 5), nullptr);
  EXPECT_EQ(RegistryLookup(gRegistry, (ObjectNumber)0x12345678), nullptr);
  EXPECT_EQ(RegistryLookup(gRegistry, -7), nullptr);
  EXPECT_EQ(RegistryAllocate(gRegistry, kRegistryStaticLimit), nullptr);
  EXPECT_EQ(RegistryAllocate(gRegistry, -7), nullptr);
  RegistryFree(gRegistry, (ObjectNumber)0x12345678);  // ignored
}

TEST_F(RegistryTest, EnumerationVisitsStaticThenDynamicWhileFreeing) {
  Open(2, 2);
  Open(0, 0);
  auto a = (ObjectNumber)Open(AnyID, 10);
  auto b = (ObjectNumber)Open(AnyID, 11);
  std::vector<ObjectNumber> seen;
  ObjectNumber n;
  RegistryEnumStart(gRegistry);
  while (RegistryEnumNext(gRegistry, &n)) {
    seen.push_back(n);
    ReleaseRecord(n);
  }
  EXPECT_EQ(seen, (std::vector<ObjectNumber>{0, 2, a, b}));
  RegistryEnumStart(gRegistry);
  EXPECT_EQ(RegistryEnumNext(gRegistry, &n), nullptr);
}

TEST_F(RegistryTest, ForEachStopsWhenTheVisitorSaysSo) {
  Open(1, 1);
  Open(4, 4);
  auto a = (ObjectNumber)Open(AnyID, 7);
  static std::vector<ObjectNumber> visited;
  visited.clear();
  auto visitAll = [](ObjectNumber n, void*, intptr_t) -> int { visited.push_back(n); return 1; };
  EXPECT_EQ(RegistryForEach(gRegistry, visitAll, 0), 1);
  EXPECT_EQ(visited, (std::vector<ObjectNumber>{1, 4, a}));
  visited.clear();
  auto stopAtFour = [](ObjectNumber n, void*, intptr_t) -> int { visited.push_back(n); return n != 4; };
  EXPECT_EQ(RegistryForEach(gRegistry, stopAtFour, 0), 0);
  EXPECT_EQ(visited, (std::vector<ObjectNumber>{1, 4}));
}

std::vector<int> Walk(ObjectNode* head) {
  std::vector<int> values;
  for (ObjectNode* n = head; n; n = n->older) values.push_back(*(int*)NodeRecord(n));
  return values;
}

TEST(NodeList, RemovingHeadOldestAndMiddleKeepsTheRestInOrder) {
  EnsureCoreStarted();
  for (int which = 0; which < 3; ++which) {
    ObjectNode* head = nullptr;
    int* records[4];
    for (int i = 0; i < 4; ++i) {
      records[i] = (int*)NodeListAdd(&head, sizeof(ObjectNode) + sizeof(int));
      *records[i] = i;
    }
    int victim = which == 0 ? 3 : which == 1 ? 0 : 2;  // head, oldest, middle
    NodeListRemove(&head, records[victim]);
    std::vector<int> expected;
    for (int i = 3; i >= 0; --i)
      if (i != victim) expected.push_back(i);
    EXPECT_EQ(Walk(head), expected) << which;
    EXPECT_EQ(NodeListFind(head, records[victim]), nullptr);
    if (head) {
      EXPECT_EQ(head->newer, nullptr);
    }
  }
}

TEST(LibraryState, IsZeroedAndInitialised) {
  EnsureCoreStarted();
  auto init = [](void* s) { ((int*)s)[1] = 10; };
  auto* state = (int*)CreateLibraryState(64, init, nullptr);
  EXPECT_EQ(state[0], 0);
  EXPECT_EQ(state[1], 10);
  EXPECT_EQ(state[15], 0);
}

TEST(RegistryOutOfMemory, ASlotArrayThatCannotBeMadeGivesNoRegistryAndKeepsNothing) {
  EnsureCoreStarted();
  size_t blocks = PlatformHeapBlockCount(gCore.runtimeHeap);
  PlatformFailAllocations(2, false);  // the record is made, its slot array is not
  ObjectRegistry* registry = RegistryCreate(sizeof(Record), 16, nullptr);
  PlatformFailAllocations(0, false);
  EXPECT_EQ(registry, nullptr);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.runtimeHeap), blocks);
  EXPECT_EQ(RegistryLookup(registry, 3), nullptr);
  EXPECT_EQ(RegistryAllocate(registry, 3), nullptr);
}

// A registry may start with no slots, or one; every number it hands out lies inside its array.
TEST(RegistrySizes, AnyInitialSlotCountGrowsPastTheNumbersAskedFor) {
  EnsureCoreStarted();
  for (int32_t initial : {0, 1}) {
    SCOPED_TRACE(initial);
    ObjectRegistry* registry = RegistryCreate(sizeof(Record), initial, nullptr);
    ASSERT_NE(registry, nullptr);
    for (ObjectNumber number : {0, 1, 2, 7, 3}) {
      auto* record = (Record*)RegistryAllocate(registry, number);
      ASSERT_NE(record, nullptr) << number;
      EXPECT_LT(number, registry->capacity);
      record->handle = 1;
      record->value = (int)number;
    }
    for (ObjectNumber number : {0, 1, 2, 3, 7}) EXPECT_EQ(((Record*)RegistryLookup(registry, number))->value, number);
    EXPECT_EQ(RegistryValidate(registry), 1);
    RuntimeFree(registry->slots);
    RuntimeFree(registry);
  }
}

TEST(RegistrySizes, RecordsWithoutRoomForTheMarkerAndImpossibleArraysAreRefused) {
  EnsureCoreStarted();
  size_t blocks = PlatformHeapBlockCount(gCore.runtimeHeap);
  EXPECT_EQ(RegistryCreate(0, 16, nullptr), nullptr);
  EXPECT_EQ(RegistryCreate((int32_t)sizeof(intptr_t) - 1, 16, nullptr), nullptr);
  EXPECT_EQ(RegistryCreate(-8, 16, nullptr), nullptr);
  EXPECT_EQ(RegistryCreate(sizeof(Record), -1, nullptr), nullptr);
  EXPECT_EQ(RegistryCreate(INT32_MAX, INT32_MAX, nullptr), nullptr);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.runtimeHeap), blocks);
}

TEST_F(RegistryTest, ValidationFindsABrokenLinkAndAMissingSlotArray) {
  Open(2, 2);
  auto a = (ObjectNumber)Open(AnyID, 7);
  Open(AnyID, 8);
  EXPECT_EQ(RegistryValidate(gRegistry), 1);
  ObjectNode* older = RecordNode((void*)a);
  older->newer = nullptr;
  EXPECT_EQ(RegistryValidate(gRegistry), 0);
  older->newer = gRegistry->dynamicHead;
  uint8_t* slots = gRegistry->slots;
  gRegistry->slots = nullptr;
  EXPECT_EQ(RegistryValidate(gRegistry), 0);
  gRegistry->slots = slots;
  EXPECT_EQ(RegistryValidate(gRegistry), 1);
}

}  // namespace
