// What one read of the mouse's event buffer does to the mouse's position, movement and buttons,
// apart from the device: the poll hands over the read's outcome and events, and this applies them.
// Free of DirectInput so that it builds natively under the sanitizers as well.
#pragma once
#include <cstdint>

// One buffered event as the device gives it: the data offset of the object that changed, its value.
struct MouseEvent {
  uint32_t offset;
  uint32_t data;
};

enum class MouseRead {
  kEvents,    // the events were read
  kOverflow,  // more events arrived than the buffer holds; they were dropped
  kFailed,    // nothing was read
};

struct MouseReading {
  int32_t x;  // 0..width-1 and 0..height-1 after every read of events
  int32_t y;
  int32_t deltaX;  // summed over the events of the last read, in mouse counts, held at the int32 limits
  int32_t deltaY;
  int32_t deltaZ;   // wheel movement of the last read, raw units, held likewise
  int32_t button1;  // left, right and middle: 1 when down
  int32_t button2;
  int32_t button3;
};

// Applies one read: events move the position (clamped to a screen of width by height; 0 with no
// screen) and set the buttons; an overflow drops them and releases the left and right buttons,
// since the lost events may have held their releases. Returns 1 when events were taken, else 0;
// the movement reads 0 after a read that took none.
int32_t ApplyMouseRead(MouseReading* mouse, MouseRead read, const MouseEvent* events, uint32_t count, int32_t width,
                       int32_t height);
