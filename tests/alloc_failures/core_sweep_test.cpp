// Allocation failures in the runtime core: its start, the text functions building strings in the
// StringTemp, the object registry's static and dynamic numbers, and built-in lists whose elements
// hold strings.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/linked_list.h"
#include "runtime/core/registry_internal.h"
#include "sweep.h"

namespace {

std::string Text(const char* text) { return text ? text : "(null)"; }

// A text a producer handed back: what the model says (worked out from its source as it stood), or,
// when memory ran out, the empty text.
void Produced(Results& r, const std::string& what, const char* got, const std::string& model) {
  EXPECT_TRUE(got && (got == model || !*got))
      << what << ": " << Text(got).substr(0, 80) << " where " << model.substr(0, 80) << " was due";
  EXPECT_TRUE(TempValid()) << what;
  r.Answer(what, got && *got, Text(got));
}

// A string variable after a store: the text it was given, or, when memory ran out, its old text.
// A text built from pieces may itself lack the pieces that could not be made: what such a store
// keeps is compared only when the heap works.
void Stored(Results& r, const std::string& what, const char* variable, const std::string& text, const char* old,
            bool built = false) {
  bool stored = variable && text == variable;
  EXPECT_TRUE(stored || variable == old) << what << ": holds " << Text(variable).substr(0, 80);
  if (built)
    r.State(what, Text(variable));
  else
    r.Answer(what, stored, Text(variable));
}

std::string HeldFrom(int32_t start) { return std::string(TempAt(start), (size_t)(gTemp.position - start)); }

class CoreStart : public Scenario {
 public:
  void Fresh() override { FreshRuntime(); }

  Results Run() override {
    Results r;
    StartCore();
    EXPECT_TRUE(TempValid());

    int32_t start = gTemp.position;
    Produced(r, "number in the StringTemp", NumberToString(-1234, start), "-1234");
    ReleaseTemp(gTemp.position - start);

    auto* block = static_cast<uint8_t*>(AllocBlock(72));
    bool zeroed = block && std::all_of(block, block + 72, [](uint8_t b) { return b == 0; });
    r.Answer("memory block", block != nullptr, zeroed ? "72 zero bytes" : "not cleared");
    FreeBlock(block);

    ObjectNode* head = nullptr;
    void* node = NodeListAdd(&head, sizeof(ObjectNode) + 16);
    r.Answer("object node", node != nullptr, node && NodeListFind(head, node) == node ? "listed" : "not listed");
    NodeListRemove(&head, node);
    EXPECT_EQ(head, nullptr);

    ObjectRegistry* modules = gLoadedModules.modules;
    r.Answer("loaded-modules registry", modules != nullptr, modules ? std::to_string(modules->capacity) : "");
    if (modules) EXPECT_EQ(RegistryValidate(modules), 1);
    // A slot never filled answers nothing, whatever the start managed to make.
    EXPECT_EQ(RegistryLookup(modules, 5), nullptr);
    EXPECT_EQ(RegistryCheck(modules, 5), 0);
    static int fakeModule;  // natively a module is never unloaded
    auto* fixed = static_cast<LoadedModule*>(RegistryAllocate(modules, 3));
    if (fixed) fixed->module = &fakeModule;
    r.Answer("module 3", fixed != nullptr, fixed && RegistryLookup(modules, 3) == fixed ? "found" : "lost");
    auto* dynamic = static_cast<LoadedModule*>(RegistryAllocate(modules, AnyID));
    if (dynamic) dynamic->module = &fakeModule;
    auto number = reinterpret_cast<ObjectNumber>(dynamic);
    r.Answer("dynamic module", dynamic != nullptr, dynamic && RegistryCheck(modules, number) == number ? "found" : "lost");
    EndLoadedModules();
    EXPECT_EQ(RegistryLookup(modules, 3), nullptr);
    if (dynamic) EXPECT_EQ(RegistryCheck(modules, number), 0);
    if (modules) EXPECT_EQ(RegistryValidate(modules), 1);
    return r;
  }

  void Release() override {}  // what the start makes lives as long as the program
};

class TextFunctions : public Scenario {
 public:
  Results Run() override {
    Results r;
    const int32_t origin = gTemp.position;

    // The counter text of the demo's frame, stored in a variable.
    int32_t start = gTemp.position;
    AppendTempText("Cols=");
    Produced(r, "count", NumberToString(12, gTemp.position), "12");
    std::string held = HeldFrom(start);
    char* old = counter_;
    AssignStringFromTemp(&counter_, start);
    Stored(r, "stored counter", counter_, held, old, true);
    EXPECT_EQ(gTemp.position, start);

    // A text longer than the area's first growth step; pieces of it taken while it lies in the
    // StringTemp, the last one so long that the area grows under it.
    std::string line;
    for (int i = 0; line.size() < 20000; ++i) line += "field" + std::to_string(i) + ",";
    start = gTemp.position;
    AppendTempText(line.c_str());
    EXPECT_TRUE(TempValid());
    held = HeldFrom(start);
    r.State("long text", std::to_string(held.size()));
    const int32_t at = gTemp.position;
    // Each piece is given back, and the long text ends at its terminator again.
    auto giveBack = [at] {
      ReleaseTemp(gTemp.position - at);
      *TempAt(at) = 0;
    };
    Produced(r, "slice", TakeSlice(TempAt(start), 19990, 8, at), held.size() >= 19990 ? held.substr(19989, 8) : "");
    giveBack();
    Produced(r, "leading", TakeLeading(TempAt(start), 7, at), held.substr(0, 7));
    giveBack();
    int32_t length = TakeField(TempAt(start), 3, ",", at);
    Produced(r, "third field", length ? TempAt(at) : "", held.empty() ? "" : "field2");
    giveBack();
    length = TakeField(TempAt(start), 1, "|", at);  // the whole text, as long again
    Produced(r, "whole text as one field", length ? TempAt(at) : "", held);
    giveBack();
    old = line_;
    AssignStringFromTemp(&line_, start);
    Stored(r, "stored long text", line_, held, old, true);

    // Variables given texts directly, one of them from its own block.
    old = name_;
    int32_t result = AssignString(&name_, "a variable's own text");
    Stored(r, "assigned", name_, "a variable's own text", old);
    EXPECT_EQ(result, name_ != old ? 22 : 0);
    old = name_;
    result = AssignString(&name_, name_ ? name_ + 2 : "variable's own text");
    Stored(r, "assigned from itself", name_, "variable's own text", old);
    EXPECT_EQ(result, name_ != old ? 20 : 0);
    NewStringCopy(&copy_, "a copy");
    Stored(r, "copied", copy_, "a copy", nullptr);
    EXPECT_TRUE(TempValid());
    ReleaseTemp(gTemp.position - origin);
    return r;
  }

  void Release() override {
    for (char** variable : {&counter_, &line_, &name_, &copy_}) {
      EXPECT_EQ(AssignString(variable, nullptr), 1);
      EXPECT_EQ(*variable, nullptr);
    }
  }

 private:
  char* counter_ = nullptr;
  char* line_ = nullptr;
  char* name_ = nullptr;
  char* copy_ = nullptr;
};

struct Record {
  intptr_t live;
  intptr_t value;
};
ObjectRegistry* gRecords;
int gReleased;

void ReleaseRecord(ObjectNumber number) {
  if (!RegistryLookup(gRecords, number)) return;
  ++gReleased;
  RegistryFree(gRecords, number);
}

class RegistryNumbers : public Scenario {
 public:
  Results Run() override {
    Results r;
    gReleased = 0;
    gRecords = RegistryCreate(sizeof(Record), 4, ReleaseRecord);
    r.Answer("registry", gRecords != nullptr, "4 slots");
    model_.clear();
    // Static numbers inside the first slots, past them (growing the array twice), one re-opened,
    // and dynamic ones.
    const ObjectNumber numbers[] = {0, 2, 3, 9, 2, 30, AnyID, AnyID, AnyID};
    intptr_t value = 100;
    for (ObjectNumber number : numbers) Open(r, number, ++value);
    r.State("released on re-opening", std::to_string(gReleased));
    for (const Entry& e : model_) {
      auto* record = static_cast<Record*>(RegistryLookup(gRecords, e.number));
      EXPECT_TRUE(record && record->value == e.value) << e.number;
      EXPECT_NE(RegistryCheck(gRecords, e.number), 0) << e.number;
    }
    r.State("enumeration", Enumerated(false));
    // Every object freed as it is handed out, as the library end routines do.
    Enumerated(true);
    for (const Entry& e : model_) EXPECT_EQ(RegistryLookup(gRecords, e.number), nullptr) << e.number;
    if (gRecords) EXPECT_EQ(RegistryValidate(gRecords), 1);
    return r;
  }

  void Release() override { FreeRegistry(gRecords); }

 private:
  struct Entry {
    ObjectNumber number;
    intptr_t value;
  };

  void Open(Results& r, ObjectNumber number, intptr_t value) {
    auto* record = static_cast<Record*>(RegistryAllocate(gRecords, number));
    std::string what = "open " + (number == AnyID ? std::string("AnyID") : std::to_string(number));
    r.Answer(what, record != nullptr, "opened");
    if (gRecords) EXPECT_EQ(RegistryValidate(gRecords), 1) << what;
    if (!record) return;
    record->live = 1;
    record->value = value;
    if (number == AnyID) number = reinterpret_cast<ObjectNumber>(record);
    std::erase_if(model_, [&](const Entry& e) { return e.number == number; });
    model_.push_back({number, value});
  }

  // The values in enumeration order, which must be the static numbers ascending, then the dynamic
  // ones oldest first.
  std::string Enumerated(bool freeEach) {
    std::vector<Entry> expected;
    for (const Entry& e : model_)
      if (e.number >= 0 && e.number < kRegistryStaticLimit) expected.push_back(e);
    std::sort(expected.begin(), expected.end(), [](const Entry& a, const Entry& b) { return a.number < b.number; });
    for (const Entry& e : model_)
      if (e.number < 0 || e.number >= kRegistryStaticLimit) expected.push_back(e);
    std::string seen;
    size_t i = 0;
    ObjectNumber number;
    RegistryEnumStart(gRecords);
    while (auto* record = static_cast<Record*>(RegistryEnumNext(gRecords, &number))) {
      EXPECT_TRUE(i < expected.size() && expected[i].number == number && expected[i].value == record->value);
      ++i;
      seen += std::to_string(record->value) + " ";
      if (freeEach) RegistryFree(gRecords, number);
    }
    EXPECT_EQ(i, expected.size());
    return seen;
  }

  std::vector<Entry> model_;
};

struct Item {
  char* name;
  intptr_t value;
  char* tags[3];
};
const intptr_t kTagFields[] = {0, kStringFieldsEnd};
const intptr_t kItemFields[] = {offsetof(Item, name), kStringFieldsArray, 3, offsetof(Item, tags), sizeof(char*),
                                reinterpret_cast<intptr_t>(kTagFields), kStringFieldsEnd};

class ListsWithStrings : public Scenario {
 public:
  Results Run() override {
    Results r;
    CreateLinkedList(&list_, sizeof(Item), kItemFields, 7);
    r.Answer("list", list_.info != nullptr, "made");
    for (int i = 0; i < 8; ++i) Insert(r, i);
    RewindList(&list_);
    Insert(r, 99);  // at the head
    EXPECT_EQ(LinkedListValidate(&list_), 1);
    r.State("in order", Names());
    // Every odd one removed while walking; its strings go with it.
    RewindList(&list_);
    while (ListElement* e = StepList(&list_)) {
      if (static_cast<Item*>(ElementData(e))->value % 2) RemoveCurrent(&list_);
      EXPECT_EQ(LinkedListValidate(&list_), 1);
    }
    r.State("after removal", Names());
    EmptyLinkedList(&list_);
    EXPECT_EQ(LinkedListValidate(&list_), 1);
    if (list_.info) EXPECT_EQ(list_.info->count, 0);
    FreeLinkedList(&list_);
    EXPECT_EQ(LinkedListValidate(&list_), 1);
    return r;
  }

  void Release() override { FreeLinkedList(&list_); }

 private:
  void Insert(Results& r, int value) {
    std::string what = "element " + std::to_string(value);
    ListElement* e = InsertElement(&list_);
    r.Answer(what, e != nullptr, "inserted");
    EXPECT_EQ(LinkedListValidate(&list_), 1) << what;
    Item unused{};
    auto* item = e ? static_cast<Item*>(ElementData(e)) : &unused;
    item->value = value;
    if (e) {
      int32_t result = AssignString(&item->name, what.c_str());
      EXPECT_EQ(result, item->name ? (int32_t)what.size() + 1 : 0);
    }
    Stored(r, what + " name", item->name, what, nullptr);
    for (int k = 0; k < 3; ++k) {
      std::string tag = "tag " + std::to_string(k);
      if (e) NewStringCopy(&item->tags[k], tag.c_str());
      Stored(r, what + " " + tag, item->tags[k], tag, nullptr);
    }
  }

  std::string Names() {
    std::string names;
    for (ListElement* e = list_.info ? list_.info->first : nullptr; e; e = e->next)
      names += Text(static_cast<Item*>(ElementData(e))->name) + ";";
    return names;
  }

  LinkedList list_{};
};

TEST(AllocationFailures, CoreStart) {
  CoreStart scenario;
  SweepScenario("core start", scenario);
}

TEST(AllocationFailures, TextFunctions) {
  TextFunctions scenario;
  SweepScenario("text functions", scenario);
}

TEST(AllocationFailures, RegistryNumbers) {
  RegistryNumbers scenario;
  SweepScenario("registry numbers", scenario);
}

TEST(AllocationFailures, ListsWithStrings) {
  ListsWithStrings scenario;
  SweepScenario("lists with string fields", scenario);
}

}  // namespace
