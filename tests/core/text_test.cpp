// StringTemp growth, number conversion, string variables and the text functions.
#include "runtime/core/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"
#include "support/core_setup.h"

namespace {

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreStarted();
    start = gTemp.position;
  }
  void TearDown() override { gTemp.position = start; }
  std::string At(int32_t offset) const { return std::string(TempAt(offset)); }
  int32_t start = 0;
};

TEST_F(TextTest, NumberToStringWritesDigitsAndEndsAtTerminator) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "0"}, {-5, "-5"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"}, {1000, "1000"}};
  for (auto [value, text] : cases) {
    int32_t s = gTemp.position;
    NumberToString(value, s);
    EXPECT_EQ(At(s), text) << value;
    EXPECT_EQ(gTemp.position, s + (int32_t)strlen(text)) << value;
    EXPECT_EQ(*TempAt(gTemp.position), 0) << value;
    gTemp.position = s;
  }
}

TEST_F(TextTest, ReservationGrowsOnlyWhenTheSumReachesCapacityLessFour) {
  // Work on a fresh area so the initial 16-byte rule can be seen.
  StringTempState saved = gTemp;
  gTemp.buffer = (char*)PlatformHeapAlloc(gCore.stringHeap, kHeapNoSerialize, 16);
  gTemp.position = 0;
  gTemp.capacity = 16;
  ReserveTemp(11, 0);
  EXPECT_EQ(gTemp.capacity, 16);
  EXPECT_EQ(gTemp.position, 11);
  gTemp.position = 0;
  ReserveTemp(12, 0);
  EXPECT_EQ(gTemp.capacity, 12 + 16384);
  gTemp.position = 3;
  ReserveTemp(20000, 3);
  EXPECT_EQ(gTemp.capacity, 3 + 20000 + 16384);
  FreeString(gTemp.buffer);
  gTemp = saved;
  start = gTemp.position;
}

TEST_F(TextTest, GrowthKeepsTextAddressedByOffset) {
  int32_t s = gTemp.position;
  AppendTempText("Cols=");
  std::string big(40000, 'x');
  AppendTempText(big.c_str());
  NumberToString(12, gTemp.position);
  std::string all = At(s);
  EXPECT_EQ(all.size(), 5u + 40000u + 2u);
  EXPECT_EQ(all.substr(0, 5), "Cols=");
  EXPECT_EQ(all.substr(all.size() - 2), "12");
}

TEST_F(TextTest, AppendNullWritesOnlyATerminator) {
  AppendTempText("abc");
  int32_t p = gTemp.position;
  AppendTempText(nullptr);
  EXPECT_EQ(gTemp.position, p);
  EXPECT_EQ(*TempAt(p), 0);
}

TEST_F(TextTest, AssignStringReturnsLengthPlusOneAndFreesOnNull) {
  char* var = nullptr;
  EXPECT_EQ(AssignString(&var, "abc"), 4);
  EXPECT_STREQ(var, "abc");
  EXPECT_EQ(AssignString(&var, "longer text"), 12);
  EXPECT_STREQ(var, "longer text");
  EXPECT_EQ(AssignString(&var, var + 7), 5);  // a text from the variable's own block
  EXPECT_STREQ(var, "text");
  EXPECT_EQ(AssignString(&var, nullptr), 1);
  EXPECT_EQ(var, nullptr);
}

TEST_F(TextTest, AssignFromTempStoresTheExpressionAndPopsTheArea) {
  int32_t s = gTemp.position;
  AppendTempText("Cols=");
  NumberToString(12, gTemp.position);
  char* var = nullptr;
  AssignStringFromTemp(&var, s);
  EXPECT_STREQ(var, "Cols=12");
  EXPECT_EQ(gTemp.position, s);
  FreeString(var);
}

TEST_F(TextTest, NewStringCopyLeavesVariableOnNull) {
  char* var = nullptr;
  NewStringCopy(&var, nullptr);
  EXPECT_EQ(var, nullptr);
  NewStringCopy(&var, "miau 7");
  EXPECT_STREQ(var, "miau 7");
  FreeString(var);
}

TEST_F(TextTest, SearchText) {
  EXPECT_EQ(SearchText("abxabx", "x", 4), 6);
  EXPECT_EQ(SearchText("abxabx", "x", 0), 3);
  EXPECT_EQ(SearchText("abxabx", "x", 10), 0);
  EXPECT_EQ(SearchText("abxabx", "", 1), 0);
  EXPECT_EQ(SearchText(nullptr, "x", 1), 0);
  EXPECT_EQ(SearchText("abxabx", "abx", 2), 4);
  EXPECT_EQ(SearchText("ab", "abc", 1), 0);  // pattern longer than what is left
}

TEST_F(TextTest, TakeField) {
  const char* expected[] = {"a", "a", "b", "", "d", ""};
  for (int32_t index = 0; index <= 5; ++index) {
    int32_t s = gTemp.position;
    int32_t length = TakeField("a,b,,d", index, ",", s);
    EXPECT_EQ(At(s), expected[index]) << index;
    EXPECT_EQ(length, (int32_t)strlen(expected[index])) << index;
    EXPECT_EQ(gTemp.position, s + length) << index;
    gTemp.position = s;
  }
  int32_t s = gTemp.position;
  EXPECT_EQ(TakeField("a,b", 1, "", s), 3);  // no separator: the whole text is field 1
  EXPECT_EQ(At(s), "a,b");
  gTemp.position = s;
  EXPECT_EQ(TakeField(nullptr, 1, ",", s), 0);
  EXPECT_EQ(At(s), "");
}

TEST_F(TextTest, TakeSliceAndLeading) {
  int32_t s = gTemp.position;
  EXPECT_EQ(std::string(TakeSlice("hello", 2, 3, s)), "ell");
  EXPECT_EQ(gTemp.position, s + 3);
  gTemp.position = s;
  EXPECT_EQ(std::string(TakeSlice("hello", 9, 3, s)), "");
  EXPECT_EQ(std::string(TakeSlice("hello", 2, -1, s)), "");
  EXPECT_EQ(std::string(TakeSlice("hello", 4, 100, s)), "lo");
  EXPECT_EQ(std::string(TakeSlice(nullptr, 1, 3, s)), "");
  EXPECT_EQ(std::string(TakeLeading("hello", 2, s)), "he");
  EXPECT_EQ(std::string(TakeLeading("hello", -3, s)), "");
  EXPECT_EQ(std::string(TakeLeading("hi", INT32_MAX, s)), "hi");  // never reserves beyond the source
  EXPECT_EQ(gTemp.position, s + 2);
}

TEST_F(TextTest, SourcesInsideTheTempSurviveItsGrowth) {
  int32_t s = gTemp.position;
  std::string big(30000, 'y');
  AppendTempText("head-");
  AppendTempText(big.c_str());
  // Slice the expression itself into a new text after it; the reservation may move the area.
  int32_t sliceStart = gTemp.position + 1;
  gTemp.position = sliceStart;
  TakeSlice(TempAt(s), 1, 30005, sliceStart);
  EXPECT_EQ(At(sliceStart).substr(0, 5), "head-");
  EXPECT_EQ(At(sliceStart).size(), 30005u);
}

TEST_F(TextTest, SeparatorInsideTheTempSurvivesItsGrowth) {
  int32_t s = gTemp.position;
  AppendTempText(",");
  std::string text = std::string(gTemp.capacity + 20000, 'a') + ",b";
  int32_t fieldStart = gTemp.position + 1;
  gTemp.position = fieldStart;
  EXPECT_EQ(TakeField(text.c_str(), 2, TempAt(s), fieldStart), 1);
  EXPECT_EQ(At(fieldStart), "b");
}

TEST_F(TextTest, ReservationsBeyondTheLimitFailAndLeaveTheAreaAlone) {
  int32_t p = gTemp.position, capacity = gTemp.capacity;
  EXPECT_EQ(ReserveTemp(INT32_MAX, 0), nullptr);
  EXPECT_EQ(ReserveTemp(1, kTempLimit), nullptr);
  EXPECT_EQ(ReserveTemp(kTempLimit - p + 1, p), nullptr);
  EXPECT_EQ(std::string(NumberToString(5, INT32_MAX - 1)), "");
  EXPECT_EQ(std::string(TakeLeading("abc", 3, INT32_MAX)), "");
  EXPECT_EQ(std::string(TakeSlice("abc", 1, 3, INT32_MAX - 16384)), "");
  EXPECT_EQ(TakeField("a,b", 1, ",", INT32_MAX), 0);
  EXPECT_EQ(gTemp.position, p);
  EXPECT_EQ(gTemp.capacity, capacity);
}

TEST_F(TextTest, NegativeStartsPlaceTheTextAtTheAreasStart) {
  gTemp.position = 0;
  char* out = NumberToString(-12, -3);
  EXPECT_EQ(out, gTemp.buffer);
  EXPECT_EQ(std::string(out), "-12");
  EXPECT_EQ(gTemp.position, 3);
  EXPECT_EQ(TakeSlice("hello", 2, 2, INT32_MIN), gTemp.buffer);
  EXPECT_EQ(At(0), "el");
}

TEST_F(TextTest, AssignFromTempClampsTheStartToTheHeldText) {
  int32_t s = gTemp.position;
  AppendTempText("xyz");
  char* var = nullptr;
  AssignStringFromTemp(&var, s + 100);  // beyond the text: the empty text, nothing popped
  EXPECT_STREQ(var, "");
  EXPECT_EQ(gTemp.position, s + 3);
  gTemp.position = 3;
  memcpy(TempAt(0), "abc", 3);
  AssignStringFromTemp(&var, -50);  // before the area: from its start
  EXPECT_STREQ(var, "abc");
  EXPECT_EQ(gTemp.position, 0);
  FreeString(var);
}

TEST_F(TextTest, ParseInteger) {
  EXPECT_EQ(ParseInteger("  -42x"), -42);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_EQ(ParseInteger("x1"), 0);
  EXPECT_EQ(ParseInteger(nullptr), 0);
  EXPECT_EQ(ParseInteger("\t 2147483648"), INT32_MIN);  // wraps at 32 bits
}

TEST(MemoryBlocks, AllocBlockRefusesNonPositiveSizesAndZeroesTheRest) {
  EnsureCoreStarted();
  EXPECT_EQ(AllocBlock(0), nullptr);
  EXPECT_EQ(AllocBlock(-1), nullptr);
  auto* block = (unsigned char*)AllocBlock(72);
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 72; ++i) EXPECT_EQ(block[i], 0) << i;
  FreeBlock(block);
  FreeBlock(nullptr);
}

TEST(StringTempOutOfMemory, WithoutItsFirstBlockTheAreaStaysEmptyUntilTextIsAppended) {
  EnsureCoreStarted();
  StringTempState saved = gTemp;
  gTemp = StringTempState{};
  PlatformFailAllocations(1, false);  // the heap is there; the area's 16 bytes are refused
  InitStringTemp();
  PlatformFailAllocations(0, false);
  EXPECT_EQ(gTemp.buffer, nullptr);
  EXPECT_EQ(gTemp.capacity, 0);
  EXPECT_EQ(gTemp.position, 0);
  AppendTempText("Cols=");
  ASSERT_NE(gTemp.buffer, nullptr);
  EXPECT_EQ(std::string(TempAt(0)), "Cols=");
  EXPECT_EQ(gTemp.capacity, 5 + 16384);
  FreeString(gTemp.buffer);
  // Started again, it makes the usual 16-byte area.
  gTemp = StringTempState{};
  PlatformFailAllocations(1, false);
  InitStringTemp();
  PlatformFailAllocations(0, false);
  InitStringTemp();
  ASSERT_NE(gTemp.buffer, nullptr);
  EXPECT_EQ(gTemp.capacity, 16);
  FreeString(gTemp.buffer);
  gTemp = saved;
}

TEST_F(TextTest, AnAssignmentWithoutMemoryReturnsZeroAndKeepsTheOldText) {
  char* variable = nullptr;
  ASSERT_EQ(AssignString(&variable, "old"), 4);
  PlatformFailAllocations(1, false);
  EXPECT_EQ(AssignString(&variable, "a longer text"), 0);
  PlatformFailAllocations(0, false);
  EXPECT_STREQ(variable, "old");
  FreeString(variable);
}

}  // namespace
