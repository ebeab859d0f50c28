// Built-in lists: cursor movement, insertion points, removal while walking, string-field clean-up.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/linked_list.h"
#include "runtime/core/text.h"
#include "support/core_setup.h"

namespace {

intptr_t& Value(ListElement* e) { return *(intptr_t*)ElementData(e); }

std::vector<intptr_t> Values(LinkedList* list) {
  std::vector<intptr_t> out;
  for (ListElement* e = list->info->first; e; e = e->next) out.push_back(Value(e));
  return out;
}

class LinkedListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreStarted();
    CreateLinkedList(&list, sizeof(intptr_t), nullptr, 5);
  }
  void TearDown() override { FreeLinkedList(&list); }
  void Fill(int n) {
    for (int i = 1; i <= n; ++i) Value(InsertElement(&list)) = i;
  }
  LinkedList list{};
};

TEST_F(LinkedListTest, StepOnEmptyListStaysBeforeTheFirst) {
  EXPECT_EQ(StepList(&list), nullptr);
  EXPECT_EQ(list.current, nullptr);
  EXPECT_EQ(list.info->index, 0);
  EXPECT_EQ(list.info->elementSize, (intptr_t)(sizeof(intptr_t) + 2 * sizeof(void*)));
}

TEST_F(LinkedListTest, StepPastTheLastKeepsTheCursorSoInsertAppends) {
  Fill(2);
  RewindList(&list);
  StepList(&list);
  StepList(&list);
  EXPECT_EQ(StepList(&list), nullptr);
  EXPECT_EQ(list.info->index, 2);
  Value(InsertElement(&list)) = 3;
  EXPECT_EQ(Values(&list), (std::vector<intptr_t>{1, 2, 3}));
  EXPECT_EQ(Value(list.info->last), 3);
}

TEST_F(LinkedListTest, InsertAfterRewindGoesToTheHead) {
  Fill(2);
  RewindList(&list);
  Value(InsertElement(&list)) = 0;
  EXPECT_EQ(Values(&list), (std::vector<intptr_t>{0, 1, 2}));
  EXPECT_EQ(list.info->first->prev, nullptr);
}

TEST_F(LinkedListTest, RemovingTheFirstPutsTheCursorBeforeTheFirst) {
  Fill(3);
  RewindList(&list);
  StepList(&list);
  RemoveCurrent(&list);
  EXPECT_EQ(list.current, nullptr);
  EXPECT_EQ(Value(StepList(&list)), 2);
}

TEST_F(LinkedListTest, RemovingWhileWalkingVisitsEveryElementOnce) {
  Fill(5);
  RewindList(&list);
  std::vector<intptr_t> visited;
  while (ListElement* e = StepList(&list)) {
    visited.push_back(Value(e));
    if (Value(e) == 2 || Value(e) == 4) RemoveCurrent(&list);
  }
  EXPECT_EQ(visited, (std::vector<intptr_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Values(&list), (std::vector<intptr_t>{1, 3, 5}));
  EXPECT_EQ(list.info->count, 3);
  // Removing the last element puts the cursor on its predecessor.
  RewindList(&list);
  while (StepList(&list) && Value(list.current) != 5) {
  }
  RemoveCurrent(&list);
  EXPECT_EQ(Value(list.current), 3);
  EXPECT_EQ(Value(list.info->last), 3);
}

TEST_F(LinkedListTest, RemoveElementUnlinksAnyPositionAndRewinds) {
  Fill(4);
  std::vector<ListElement*> e;
  for (ListElement* x = list.info->first; x; x = x->next) e.push_back(x);
  RemoveElement(&list, e[1]);  // the cursor stands on the last element, after it
  EXPECT_EQ(list.current, nullptr);
  EXPECT_EQ(list.info->index, 0);
  RemoveElement(&list, e[0]);
  RemoveElement(&list, e[3]);
  EXPECT_EQ(Values(&list), (std::vector<intptr_t>{3}));
  EXPECT_EQ(list.info->count, 1);
  EXPECT_EQ(list.info->first, e[2]);
  EXPECT_EQ(list.info->last, e[2]);
  EXPECT_EQ(e[2]->prev, nullptr);
  EXPECT_EQ(e[2]->next, nullptr);
  RemoveElement(&list, e[2]);
  EXPECT_EQ(list.info->first, nullptr);
  EXPECT_EQ(list.info->last, nullptr);
  RemoveElement(&list, nullptr);
  EXPECT_EQ(list.info->count, 0);
}

TEST_F(LinkedListTest, EmptyAndFreeAreSafeOnAnyVariable) {
  Fill(4);
  EmptyLinkedList(&list);
  EXPECT_EQ(list.info->count, 0);
  EXPECT_EQ(list.info->first, nullptr);
  LinkedList none{};
  FreeLinkedList(&none);
  EXPECT_EQ(InsertElement(&none), nullptr);
  EXPECT_EQ(StepList(&none), nullptr);
  RemoveCurrent(&none);
}

struct Named {
  char* name;
  char* other;
  char* items[2];
};

TEST(LinkedListStrings, TableFreesOnlyTheListedFields) {
  EnsureCoreStarted();
  static const intptr_t itemTable[] = {0, kStringFieldsEnd};
  static const intptr_t table[] = {offsetof(Named, name), kStringFieldsArray, 2, offsetof(Named, items),
                                   sizeof(char*), (intptr_t)itemTable, kStringFieldsEnd};
  LinkedList list{};
  CreateLinkedList(&list, sizeof(Named), table, 7);
  auto* n = (Named*)ElementData(InsertElement(&list));
  AssignString(&n->name, "listed");
  AssignString(&n->items[0], "a");
  AssignString(&n->items[1], "b");
  char* kept = nullptr;
  AssignString(&kept, "not listed");
  n->other = kept;
  RemoveCurrent(&list);
  EXPECT_STREQ(kept, "not listed");  // still ours, untouched
  FreeString(kept);
  FreeLinkedList(&list);
}

TEST_F(LinkedListTest, ValidationFindsACursorOffItsIndexAndACountOff) {
  Fill(3);
  EXPECT_EQ(LinkedListValidate(&list), 1);
  list.info->index = 2;  // the cursor stands on the third element
  EXPECT_EQ(LinkedListValidate(&list), 0);
  list.info->index = 3;
  list.info->count = 4;
  EXPECT_EQ(LinkedListValidate(&list), 0);
  list.info->count = 3;
  EXPECT_EQ(LinkedListValidate(&list), 1);
}

}  // namespace
