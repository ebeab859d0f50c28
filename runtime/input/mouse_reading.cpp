// The mouse poll's arithmetic: summing buffered movements without overflow, clamping the
// position to the screen, and the buttons an overflow releases.
#include "runtime/input/mouse_reading.h"

#include <limits>

namespace {
constexpr uint32_t kOffsetX = 0, kOffsetY = 4, kOffsetZ = 8;
constexpr uint32_t kOffsetButton1 = 12, kOffsetButton2 = 13, kOffsetButton3 = 14;

// The event's value is a signed movement; the sum is held at the int32 limits.
int32_t AddMovement(int32_t sum, uint32_t data) {
  int64_t moved = static_cast<int64_t>(sum) + static_cast<int32_t>(data);
  if (moved > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (moved < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(moved);
}

// A moved coordinate within 0..size-1; with no screen (size 0 or less) it stays at 0.
int32_t Clamp(int64_t value, int32_t size) {
  if (value < 0 || size <= 0) return 0;
  if (value >= size) return size - 1;
  return static_cast<int32_t>(value);
}

void TakeEvent(MouseReading* mouse, const MouseEvent& event) {
  int32_t down = (event.data & 0x80) ? 1 : 0;
  switch (event.offset) {
    case kOffsetX:
      mouse->deltaX = AddMovement(mouse->deltaX, event.data);
      break;
    case kOffsetY:
      mouse->deltaY = AddMovement(mouse->deltaY, event.data);
      break;
    case kOffsetZ:
      mouse->deltaZ = AddMovement(mouse->deltaZ, event.data);
      break;
    case kOffsetButton1:
      mouse->button1 = down;
      break;
    case kOffsetButton2:
      mouse->button2 = down;
      break;
    case kOffsetButton3:
      mouse->button3 = down;
      break;
    default:
      break;
  }
}
}  // namespace

int32_t ApplyMouseRead(MouseReading* mouse, MouseRead read, const MouseEvent* events, uint32_t count, int32_t width,
                       int32_t height) {
  mouse->deltaX = mouse->deltaY = mouse->deltaZ = 0;
  if (read == MouseRead::kOverflow) mouse->button1 = mouse->button2 = 0;
  if (read != MouseRead::kEvents) return 0;
  for (uint32_t i = 0; i < count; ++i) TakeEvent(mouse, events[i]);
  mouse->x = Clamp(static_cast<int64_t>(mouse->x) + mouse->deltaX, width);
  mouse->y = Clamp(static_cast<int64_t>(mouse->y) + mouse->deltaY, height);
  return 1;
}
