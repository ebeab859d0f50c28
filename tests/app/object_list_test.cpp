// Object lists: header and node links, counts, removal at every position, and the allocation
// registry that records every list block.
#include "app/object_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "app_setup.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"

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

TEST_F(ObjectListTest, TheRegistryHoldsEveryLiveBlockOnce) {
  ListNode* block = AllocObject(kFullNodeSize);
  EXPECT_EQ(RegisterAllocation(block), 1) << "recorded already: nothing changes";
  EXPECT_EQ(RegistryEntries(block), 1);
  intptr_t before = gProgram.registry.info->count;
  FreeObject(block);
  EXPECT_EQ(RegistryEntries(block), 0);
  EXPECT_EQ(gProgram.registry.info->count, before - 1);
  UnregisterAllocation(list);
  EXPECT_EQ(RegistryEntries(list), 0);
  // Unrecorded blocks change nothing.
  before = gProgram.registry.info->count;
  UnregisterAllocation(list);
  FreeObject(nullptr);
  EXPECT_EQ(gProgram.registry.info->count, before);
  EXPECT_EQ(ObjListValidate(list), 0) << "a list whose header is not recorded";
  EXPECT_EQ(RegisterAllocation(list), 1);
  EXPECT_EQ(RegistryEntries(list), 1);
}

TEST_F(ObjectListTest, FreedNodeBlocksAreReusedOutsideTheRegistry) {
  ListNode* short1 = AllocObject(kShortNodeSize);
  ListNode* full = AllocObject(kFullNodeSize);
  short1->item = list;
  intptr_t before = gProgram.registry.info->count;
  FreeObject(short1);
  EXPECT_EQ(gProgram.registry.info->count, before - 1);
  EXPECT_EQ(RegistryEntries(short1), 0);
  ListNode* again = AllocObject(kShortNodeSize);
  EXPECT_EQ(again, short1) << "the latest freed block of the size comes back";
  EXPECT_EQ(again->item, nullptr);
  EXPECT_EQ(again->size, kShortNodeSize);
  EXPECT_EQ(RegistryEntries(again), 1);
  ListNode* other = AllocObject(kFullNodeSize + 8);
  EXPECT_NE(other, again) << "another size is not served from the kept blocks";
  FreeObject(other);
  FreeObject(again);
  FreeObject(full);
  EXPECT_GE(gProgram.slabs[0].free, 1);
  ReleaseSpareBlocks();
  EXPECT_EQ(gProgram.registry.info->count, before - 2) << "released blocks were out of the registry already";
}

TEST_F(ObjectListTest, ReleasingSpareBlocksFreesOnlyChunksWithoutALiveBlock) {
  size_t start = PlatformHeapBlockCount(gCore.blockHeap);
  std::vector<ListNode*> blocks;
  for (int k = 0; k < 300; ++k) blocks.push_back(AllocObject(kShortNodeSize));
  size_t grown = PlatformHeapBlockCount(gCore.blockHeap);
  ListNode* kept = blocks[150];
  kept->item = list;
  for (ListNode* block : blocks) {
    if (block != kept) FreeObject(block);
  }
  EXPECT_EQ(PlatformHeapBlockCount(gCore.blockHeap), grown) << "freed blocks are kept for re-use";
  ReleaseSpareBlocks();
  EXPECT_LT(PlatformHeapBlockCount(gCore.blockHeap), grown);
  // The kept block is untouched, and what is handed out next lies in memory still held (the
  // sanitizer checks): the kept chunk's free slots first, then new chunks.
  EXPECT_EQ(kept->item, list);
  EXPECT_EQ(RegistryEntries(kept), 1);
  blocks.clear();
  for (int k = 0; k < 300; ++k) {
    ListNode* block = AllocObject(kShortNodeSize);
    block->item = block;
    blocks.push_back(block);
  }
  for (ListNode* block : blocks) FreeObject(block);
  FreeObject(kept);
  ReleaseSpareBlocks();
  EXPECT_LE(PlatformHeapBlockCount(gCore.blockHeap), start);
}

TEST_F(ObjectListTest, TheTailIsKeptThroughRemovalMovingAndClearing) {
  ListNode* a = Append(1);
  ListNode* b = Append(2);
  ObjListRemove(list, b);
  EXPECT_EQ(ObjListLast(list), a);
  ListNode* c = Append(3);
  EXPECT_EQ(a->next, c);
  // A node moved to another list's tail stays the same live block.
  ObjectList* other = AllocObject(kFullNodeSize);
  EXPECT_EQ(ObjListDetach(list, a), 1);
  EXPECT_EQ(ObjListDetach(list, a), 0) << "not linked any more";
  ObjListAttach(other, a);
  EXPECT_EQ(Items(), (std::vector<intptr_t>{3}));
  EXPECT_EQ(ObjListLast(other), a);
  EXPECT_EQ(RegistryEntries(a), 1);
  EXPECT_EQ(ObjListValidate(list), 1);
  EXPECT_EQ(ObjListValidate(other), 1);
  ObjListDetach(list, c);
  EXPECT_EQ(ObjListLast(list), list);
  ObjListAttach(list, c);
  ObjListClear(list);
  EXPECT_EQ(ObjListLast(list), list);
  Append(4);
  EXPECT_EQ(Items(), (std::vector<intptr_t>{4}));
  ObjListFree(other);
}

TEST_F(ObjectListTest, ValidateNoticesBrokenBookkeeping) {
  ListNode* a = Append(1);
  ListNode* b = Append(2);
  list->prev = a;
  EXPECT_EQ(ObjListValidate(list), 0) << "the tail word names a node that is not the last";
  list->prev = b;
  ListElement* record = b->registered;
  b->registered = a->registered;
  EXPECT_EQ(ObjListValidate(list), 0) << "a record of another block";
  b->registered = record;
  EXPECT_EQ(ObjListValidate(list), 1);
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
  const int32_t size = kFullNodeSize + 8;  // not a node size: every block comes from the heap
  intptr_t entries = gProgram.registry.info->count;
  size_t blocks = PlatformHeapBlockCount(gCore.blockHeap);
  for (uint64_t failing : {1, 2}) {  // the block, then its registry element
    PlatformFailAllocations(failing, false);
    EXPECT_EQ(AllocObject(size), nullptr) << failing;
  }
  PlatformFailAllocations(0, false);
  EXPECT_EQ(gProgram.registry.info->count, entries);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.blockHeap), blocks);
}

}  // namespace
