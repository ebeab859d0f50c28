// The mouse poll's arithmetic on event lists made by hand: movement sums held at the int32 limits,
// the position clamped to the screen, and what an overflowing event buffer releases. (Wine hands
// over the first events of an overflowing buffer as a successful read, so the overflow result is
// only reached here.)
#include "runtime/input/mouse_reading.h"

#include <gtest/gtest.h>

#include <limits>

namespace {
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr uint32_t kX = 0, kY = 4, kZ = 8;

MouseEvent Move(uint32_t offset, int32_t value) { return MouseEvent{offset, static_cast<uint32_t>(value)}; }
}  // namespace

TEST(MouseReading, MovementSumsStopAtTheInt32Limits) {
  MouseReading mouse{};
  mouse.x = 10;
  mouse.y = 20;
  const MouseEvent far[] = {Move(kX, kMax), Move(kX, kMax), Move(kY, kMin), Move(kY, -1), Move(kZ, kMax), Move(kZ, 1)};
  EXPECT_EQ(ApplyMouseRead(&mouse, MouseRead::kEvents, far, 6, 320, 240), 1);
  EXPECT_EQ(mouse.deltaX, kMax);
  EXPECT_EQ(mouse.deltaY, kMin);
  EXPECT_EQ(mouse.deltaZ, kMax);
  EXPECT_EQ(mouse.x, 319);
  EXPECT_EQ(mouse.y, 0);

  // A held sum moves on from the limit in the next event.
  const MouseEvent back[] = {Move(kX, kMin), Move(kX, kMin), Move(kX, 5)};
  EXPECT_EQ(ApplyMouseRead(&mouse, MouseRead::kEvents, back, 3, 320, 240), 1);
  EXPECT_EQ(mouse.deltaX, kMin + 5);
  EXPECT_EQ(mouse.x, 0);
  EXPECT_EQ(mouse.deltaY, 0);
}

TEST(MouseReading, OverflowDropsTheEventsAndReleasesLeftAndRight) {
  MouseReading mouse{50, 60, 3, 4, 5, 1, 1, 1};
  const MouseEvent events[] = {Move(kX, 7), {12, 0x80}};
  EXPECT_EQ(ApplyMouseRead(&mouse, MouseRead::kOverflow, events, 2, 320, 240), 0);
  EXPECT_EQ(mouse.x, 50);
  EXPECT_EQ(mouse.y, 60);
  EXPECT_EQ(mouse.deltaX, 0);
  EXPECT_EQ(mouse.deltaY, 0);
  EXPECT_EQ(mouse.deltaZ, 0);
  EXPECT_EQ(mouse.button1, 0);
  EXPECT_EQ(mouse.button2, 0);
  EXPECT_EQ(mouse.button3, 1);  // the middle button keeps its state

  // Any other failed read changes no button.
  mouse.button1 = mouse.button2 = 1;
  EXPECT_EQ(ApplyMouseRead(&mouse, MouseRead::kFailed, events, 2, 320, 240), 0);
  EXPECT_EQ(mouse.button1, 1);
  EXPECT_EQ(mouse.button2, 1);
  EXPECT_EQ(mouse.x, 50);
}
