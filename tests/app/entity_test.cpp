// Entities: defaults, the moved check, rounding of the bounds, and null entities.
#include "app/entity.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <vector>

#include "app_setup.h"
#include "runtime/core/heaps_internal.h"
#include "runtime/core/platform.h"

namespace {

EntityBounds Bounds(const Entity* e) {
  EntityBounds b{-1, -1, -1, -1};
  EXPECT_EQ(GetEntityBounds(e, &b), 1);
  return b;
}

TEST(Entity, CreateGivesTheDefaultsAndItsOwnName) {
  EnsureAppStarted();
  char name[] = "miau 7";
  Entity* e = CreateEntity(name, AnyID);
  ASSERT_NE(e, nullptr);
  name[0] = 'X';
  EXPECT_STREQ(e->name, "miau 7");
  EXPECT_EQ(e->number, AnyID);
  EXPECT_EQ(e->width, 50);
  EXPECT_EQ(e->height, 50);
  EXPECT_EQ(e->scaleX, 1.0f);
  EXPECT_EQ(e->scaleY, 1.0f);
  EXPECT_EQ(e->x, 0.0f);
  EXPECT_EQ(e->y, 0.0f);
  EXPECT_EQ(e->moved, 0);
  EXPECT_EQ(e->colour, 0x0000FFu);
  EXPECT_EQ(e->sprite, 0);
  EXPECT_EQ(e->sprite3D, 0);
  EXPECT_EQ(e->angle, 270.0f);
  EXPECT_EQ(e->alpha, 127);
  Entity* unnamed = CreateEntity(nullptr, 3);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(unnamed->name, nullptr);
}

TEST(Entity, MovedFlagFollowsChangesOfPosition) {
  EnsureAppStarted();
  Entity* e = CreateEntity("a", AnyID);
  UpdateMovedFlag(e);
  EXPECT_EQ(e->moved, 0) << "a new entity at the origin has not moved";
  e->x = 5.0f;
  UpdateMovedFlag(e);
  EXPECT_EQ(e->moved, 1);
  EXPECT_EQ(e->lastX, 5.0f);
  UpdateMovedFlag(e);
  EXPECT_EQ(e->moved, 0);
  e->y = -3.25f;
  UpdateMovedFlag(e);
  EXPECT_EQ(e->moved, 1);
  EXPECT_EQ(e->lastY, -3.25f);
  UpdateMovedFlag(e);
  EXPECT_EQ(e->moved, 0);

  Entity* elsewhere = CreateEntity("b", AnyID);
  elsewhere->y = 1.0f;
  UpdateMovedFlag(elsewhere);
  EXPECT_EQ(elsewhere->moved, 1);
}

TEST(Entity, BoundsRoundHalfToEven) {
  EnsureAppStarted();
  Entity* e = CreateEntity("r", AnyID);
  e->x = 10.5f;
  e->y = 11.5f;
  EntityBounds b = Bounds(e);
  EXPECT_EQ(b.left, 10);
  EXPECT_EQ(b.top, 12);
  EXPECT_EQ(b.width, 50);
  EXPECT_EQ(b.height, 50);
  e->x = -0.5f;
  e->y = -1.5f;
  e->width = 25;
  e->scaleX = 0.5f;  // 12.5
  e->height = 27;
  e->scaleY = 0.5f;  // 13.5
  b = Bounds(e);
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.top, -2);
  EXPECT_EQ(b.width, 12);
  EXPECT_EQ(b.height, 14);
  e->x = 10.4999f;
  e->y = 10.5001f;
  b = Bounds(e);
  EXPECT_EQ(b.left, 10);
  EXPECT_EQ(b.top, 11);
}

TEST(Entity, BoundsOutsideTheIntegerRangeSaturate) {
  EnsureAppStarted();
  Entity* e = CreateEntity("far", AnyID);
  e->x = 1e20f;
  e->y = -1e20f;
  e->width = INT32_MAX;
  e->scaleX = 4.0f;
  e->scaleY = std::numeric_limits<float>::quiet_NaN();
  EntityBounds b = Bounds(e);
  EXPECT_EQ(b.left, INT32_MAX);
  EXPECT_EQ(b.top, INT32_MIN);
  EXPECT_EQ(b.width, INT32_MAX);
  EXPECT_EQ(b.height, 0);
}

// Nearest with ties to even, saturating, NaN to 0, as the rounding hardware does it in its default
// mode.
int32_t PlainRound(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  std::fesetround(FE_TONEAREST);
  return (int32_t)std::nearbyint(v);
}

TEST(Entity, RoundingIsThePlainRuleInEveryRoundingMode) {
  std::vector<double> values = {0.0,
                                -0.0,
                                0.25,
                                0.5,
                                1e-310,
                                -1e-310,
                                2147483646.5,
                                2147483647.0,
                                -2147483647.0,
                                -2147483647.5,
                                -2147483648.0,
                                -2147483648.5,
                                1e300,
                                -1e300,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  for (double whole : {0.0, 1.0, 2.0, 3.0, 1023.0, 4194304.0, 2147483645.0, 2147483646.0, 2147483647.0, 2147483648.0}) {
    for (double sign : {1.0, -1.0}) {
      for (double v : {whole, whole + 0.5, whole + 0.25, whole + 0.75}) {
        for (double near : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e10), std::nextafter(v, -1e10)})
          values.push_back(sign * near);
      }
    }
  }
  uint64_t state = 12345;
  for (int k = 0; k < 20000; ++k) {  // positions and sizes of every scale
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    double v = (double)(int64_t)(state >> 11) / (double)(1ull << (state % 62));
    values.push_back(k % 2 ? v : -v);
    values.push_back(std::round(v) + 0.5);
  }
  std::vector<int32_t> expected;
  for (double v : values) expected.push_back(PlainRound(v));
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::fesetround(mode);
    for (size_t k = 0; k < values.size(); ++k) {
      volatile double v = values[k];
      int32_t got = RoundToInt(v);
      if (got != expected[k]) {
        std::fesetround(FE_TONEAREST);
        FAIL() << "mode " << mode << ": " << std::setprecision(17) << values[k] << " gave " << got << ", not "
               << expected[k];
      }
    }
  }
  std::fesetround(FE_TONEAREST);
}

TEST(Entity, NullEntityTouchesNothing) {
  EnsureAppStarted();
  EntityBounds b{1, 2, 3, 4};
  EXPECT_EQ(GetEntityBounds(nullptr, &b), 0);
  EXPECT_EQ(b.left, 1);
  EXPECT_EQ(GetEntityBounds(CreateEntity("n", AnyID), nullptr), 0);
  UpdateMovedFlag(nullptr);
  EXPECT_EQ(AttachSprite(nullptr, "squeaker_bird.png"), 0);
  EXPECT_EQ(DrawEntityBox(nullptr), 0);
  EXPECT_EQ(DisplayEntity3D(nullptr), 0);
}

TEST(Entity, UnloadableSpriteLeavesTheEntityWithoutSprites) {
  EnsureAppStarted();
  Entity* e = CreateEntity("s", AnyID);
  EXPECT_EQ(AttachSprite(e, "no such file.png"), 0);
  EXPECT_EQ(e->sprite, 0);
  EXPECT_EQ(e->sprite3D, 0);
  EXPECT_EQ(AttachSprite(e, nullptr), 0);
  // Such an entity is still displayed (as nothing) and boxed.
  EXPECT_EQ(DisplayEntity3D(e), 1);
  EXPECT_EQ(DrawEntityBox(e), 1);
}

TEST(Entity, NoEntityIsMadeWithoutItsName) {
  EnsureAppStarted();
  size_t blocks = PlatformHeapBlockCount(gCore.blockHeap);
  size_t strings = PlatformHeapBlockCount(gCore.stringHeap);
  for (uint64_t failing : {1, 2}) {  // the name's copy, then the record
    PlatformFailAllocations(failing, false);
    EXPECT_EQ(CreateEntity("miau", AnyID), nullptr) << failing;
  }
  PlatformFailAllocations(0, false);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.blockHeap), blocks);
  EXPECT_EQ(PlatformHeapBlockCount(gCore.stringHeap), strings);
}

}  // namespace
