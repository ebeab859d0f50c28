/// \file
/// The runtime's one start and one end, and the reason behind a failed command. A program calls
/// StartRuntime() before any other command and EndRuntime() after its last one. When a start
/// routine, an opener (windows, screens, connections), a loader (sprites, sounds) or another command
/// whose reference says so returns 0 (or null), RuntimeErrorText() holds one line saying why.
#pragma once
#include <cstdint>

/// Library bits for StartRuntime(libraries). The core libraries (heaps, text, objects, 2D drawing,
/// image decoders with the PNG decoder, message boxes, windows) are always started.
constexpr uint32_t kRuntimeScreen = 0x01;     ///< the screen and sprites (DirectDraw); the keyboard comes with them
constexpr uint32_t kRuntimeSound = 0x02;      ///< sound (DirectSound)
constexpr uint32_t kRuntimeKeyboard = 0x04;   ///< the keyboard (DirectInput)
constexpr uint32_t kRuntimeMouse = 0x08;      ///< the full-screen mouse (DirectInput)
constexpr uint32_t kRuntime3DSprites = 0x10;  ///< 3D sprites (Direct3D); needs kRuntimeScreen
constexpr uint32_t kRuntimeNetwork = 0x20;    ///< network connections (Winsock)
constexpr uint32_t kRuntimeAll = 0x3F;        ///< every library above

/// Starts the runtime with every library: StartRuntime(kRuntimeAll).
/// \return 1 when every library started; 0 when one could not (see the form with libraries).
int32_t StartRuntime();
/// Starts the runtime: its heap (unless the program handed it one with UseRuntimeHeap), the core
/// libraries in the program's start-up order, the PNG decoder, the 1 ms timer period behind
/// ElapsedTicks(), then the libraries named by the kRuntime... bits, in the order screen, sound,
/// keyboard, mouse, 3D sprites, network. Each library asked for is tried even when one before it
/// failed, so that a program may go on without, say, sound.
/// Calling it again starts only the libraries not started yet; calling a library's own start
/// routine (InitSprite(), InitSound(), ...) as well is harmless.
/// \param libraries kRuntime... bits or-ed together.
/// \return 1 when every library asked for started; 0 when one could not, RuntimeErrorText()
/// naming the first that failed and why. After EndRuntime() it returns 0: a program starts the
/// runtime once.
int32_t StartRuntime(uint32_t libraries);
/// Ends what StartRuntime() started: every library's end routine in the program's shutdown order
/// (each releases all of its objects: windows, sprites, sounds, connections, ...), then the timer
/// period and the heap it made. The last runtime command of a program; nothing happens without a
/// StartRuntime() before it.
void EndRuntime();

/// Why the last command that reported a failure failed: one line, such as
/// `sound: "boom.wav" cannot be opened: no such file`, starting with the library's name.
/// Cleared (the empty text) by the next such command that succeeds. Nothing is logged or shown by
/// the runtime itself.
/// \return the text, never null; valid until the next runtime command.
const char* RuntimeErrorText();
