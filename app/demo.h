// The demonstration's program flow: display set-up, the frame loop and its per-frame callback,
// the scene, and the shutdown that every way out of the program takes.
#pragma once
#include <cstdint>

// A frame's procedure: elapsed milliseconds since its previous call, the mouse position as an
// x, y pair in screen pixels, and the left and right buttons (non-zero: held). A result of 1 ends
// the frame loop after that frame.
using FrameProc = int32_t (*)(int32_t elapsed, const int32_t* mouse, int32_t button1, int32_t button2);

constexpr int32_t kKeyEscape = 1;  // DirectInput key codes
constexpr int32_t kKeySpace = 57;
constexpr int32_t kFrameMs = 17;

// Starts sprites, sound and the keyboard, opens window 0 with a windowed screen (or a full
// screen with the mouse) and starts 3D sprites. Returns 0; on a failure it shows why and ends the
// program.
int32_t InitDisplay(int32_t width, int32_t height, int32_t windowed, const char* title, int32_t depth);
// The sleep that stretches a frame that took diff milliseconds to about 17: 17 - diff below 16,
// else none.
uint32_t FramePacingDelay(uint32_t diff);
// Runs frames until the callback, Escape or the window's close request ends them. Returns 0.
int32_t FrameLoop(FrameProc callback, uint32_t background, int32_t cursorFlag);

// One frame of the demonstration (see FrameProc).
int32_t FrameCallback(int32_t elapsed, const int32_t* mouse, int32_t button1, int32_t button2);
// The marker disc's colour while the player is held: the left button's, else the right's, else
// the space bar's.
uint32_t MarkerColour(int32_t button1, int32_t button2);
// Degrees the held player turns in a frame of the given length: 50 / elapsed. A frame read as 0
// ms (or less) counts as one paced frame of kFrameMs.
float PlayerTurnStep(int32_t elapsed);

// The grid, the player and the 45 birds, drawing on the random generator in a fixed order.
void BuildScene();

// Everything before the display: the cleared program record, the RuntimeHeap, the libraries, the
// two program lists and the PNG decoder.
void StartProgram();
// Shuts the libraries down, destroys the program's heap and ends the process with exit code 0.
[[noreturn]] void EndProgram();
