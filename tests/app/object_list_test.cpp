// Object lists: header and node links, counts, removal at every position, and the allocation
// registry that records every list block.
#include "app/object_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "app_setup.h"

namespace {

class ObjectListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureAppStarted();
    list = AllocObject(kFullNodeSize);
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override { ObjListFree(list); }

  std::vector<intptr_t> Items() const {
    std::vector<intptr_t> out;
    for (ListNode* n = ObjListFirst(list); n; n = ObjListNext(n)) out.push_back((intptr_t)n->item);
    return out;
  }
  ListNode* Append(intptr_t item) {
    ListNode* n = ObjListAppend(list);
    n->item = (void*)item;
    return n;
  }
  ObjectList* list = nullptr;
};

TEST_F(ObjectListTest, NewBlocksAreZeroedRecordedAndSized) {
  EXPECT_EQ(list->size, kFullNodeSize);
  EXPECT_EQ(list->next, nullptr);
  EXPECT_EQ(list->count, 0);
  EXPECT_EQ(RegistryEntries(list), 1);
  EXPECT_EQ(kFullNodeSize, (int32_t)(7 * sizeof(void*)));
  EXPECT_EQ(kShortNodeSize, (int32_t)(6 * sizeof(void*)));
  // Sizes that cannot hold the node layout are refused rather than written past.
  EXPECT_EQ(AllocObject(0), nullptr);
  EXPECT_EQ(AllocObject(kShortNodeSize - 1), nullptr);
}

TEST_F(ObjectListTest, EmptyListAndFirstAppend) {
  EXPECT_EQ(ObjListLast(list), list);
  EXPECT_EQ(ObjListLast(nullptr), nullptr);
  EXPECT_EQ(ObjListCount(nullptr), 0);
  ListNode* n = Append(1);
  EXPECT_EQ(n->prev, list);
  EXPECT_EQ(list->next, n);
  EXPECT_EQ(ObjListLast(list), n);
  EXPECT_EQ(n->size, kFullNodeSize);
  EXPECT_EQ(ObjListCount(list), 1);
  EXPECT_EQ(RegistryEntries(n), 1);
}

TEST_F(ObjectListTest, AppendKeepsOrderAndLinks) {
  for (intptr_t i = 1; i <= 5; ++i) Append(i);
  EXPECT_EQ(Items(), (std::vector<intptr_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(ObjListValidate(list), 1);
}

TEST_F(ObjectListTest, RemoveAtEveryPosition) {
  ListNode* only = Append(1);
  ObjListRemove(list, only);
  EXPECT_EQ(list->next, nullptr);
  EXPECT_EQ(ObjListCount(list), 0);

  ListNode* a = Append(1);
  ListNode* b = Append(2);
  ListNode* c = Append(3);
  ListNode* d = Append(4);
  ObjListRemove(list, a);
  EXPECT_EQ(list->next, b);
  EXPECT_EQ(b->prev, list);
  ObjListRemove(list, c);
  EXPECT_EQ(b->next, d);
  EXPECT_EQ(d->prev, b);
  ObjListRemove(list, d);
  EXPECT_EQ(b->next, nullptr);
  EXPECT_EQ(Items(), (std::vector<intptr_t>{2}));
  EXPECT_EQ(ObjListValidate(list), 1);
  // A freed node's address is gone from the registry.
  EXPECT_EQ(RegistryEntries(a), 0);
  EXPECT_EQ(RegistryEntries(c), 0);
}

TEST_F(ObjectListTest, ClearFreesEveryNodeAndAllowsReuse) {
  std::vector<ListNode*> nodes;
  for (intptr_t i = 1; i <= 4; ++i) nodes.push_back(Append(i));
  ObjListClear(list);
  EXPECT_EQ(ObjListFirst(list), nullptr);
  EXPECT_EQ(ObjListCount(list), 0);
  for (ListNode* n : nodes) EXPECT_EQ(RegistryEntries(n), 0);
  EXPECT_EQ(RegistryEntries(list), 1);
  Append(9);
  EXPECT_EQ(Items(), (std::vector<intptr_t>{9}));
}

TEST_F(ObjectListTest, ShortListsMakeShortNodes) {
  ObjectList* refs = AllocObject(kShortNodeSize);
  ListNode* n = ObjListAppend(refs);
  EXPECT_EQ(n->size, kShortNodeSize);
  EXPECT_EQ(ObjListValidate(refs), 1);
  ObjListFree(refs);
  EXPECT_EQ(RegistryEntries(refs), 0);
}

TEST_F(ObjectListTest, FreeObjectDropsEveryRegistryEntryOfTheBlock) {
  ListNode* block = AllocObject(kFullNodeSize);
  // The same address recorded again, between other entries and at the ends of the registry.
  RegisterAllocation(block);
  RegisterAllocation(list);
  RegisterAllocation(block);
  EXPECT_EQ(RegistryEntries(block), 3);
  intptr_t before = gProgram.registry.info->count;
  FreeObject(block);
  EXPECT_EQ(RegistryEntries(block), 0);
  EXPECT_EQ(gProgram.registry.info->count, before - 3);
  EXPECT_EQ(RegistryEntries(list), 2);
  UnregisterAllocation(list);
  RegisterAllocation(list);
  // Unrecorded addresses change nothing.
  before = gProgram.registry.info->count;
  UnregisterAllocation(&before);
  FreeObject(nullptr);
  EXPECT_EQ(gProgram.registry.info->count, before);
}

TEST_F(ObjectListTest, NullAndForeignArgumentsAreIgnored) {
  EXPECT_EQ(ObjListAppend(nullptr), nullptr);
  EXPECT_EQ(ObjListFirst(nullptr), nullptr);
  ObjListRemove(nullptr, nullptr);
  ObjListRemove(list, nullptr);
  ObjListRemove(list, list);
  ObjListClear(nullptr);
  Append(1);
  EXPECT_EQ(ObjListCount(list), 1);
  EXPECT_EQ(ObjListValidate(list), 1);
}

TEST_F(ObjectListTest, ABlockTheRegistryCannotRecordIsNotHandedOut) {
  intptr_t entries = gProgram.registry.info->count;
  size_t blocks = PlatformHeapBlockCount(gCore.blockHeap);
  PlatformFailAllocations(2, false);  // the block is made, its registry element is not
  EXPECT_EQ(AllocObject(kFullNodeSize), nullptr);
  PlatformFailAllocations(2, false);
  EXPECT_EQ(ObjListAppend(list), nullptr);
  PlatformFailAllocations(0, false);
  EXPECT_EQ(gProgram.registry.info->count, entries);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.blockHeap), blocks);
  EXPECT_EQ(ObjListCount(list), 0);
  EXPECT_EQ(ObjListValidate(list), 1);
}

}  // namespace
