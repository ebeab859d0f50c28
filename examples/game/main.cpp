// game: a small game on the hurz runtime. The arrow keys move a creature around a field, a coin
// waits to be picked up (the score counts them), the space bar rings a chime while it is held (a
// green light shows while it sounds), and Escape or closing the window ends the game. It runs
// from its own folder, which holds creature.bmp and chime.wav. A failure to start shows a message
// box with the reason and gives exit code 1.
//
// What it shows of the runtime: StartRuntime and EndRuntime around everything, a window with a
// windowed screen, a sprite shown with DisplayTransparentSprite, 2D shapes and text, the keyboard,
// a sound, random numbers and the tick clock.
#include <windows.h>

// IsKeyDown takes DirectInput key codes: dinput.h's DIK_ constants.
#include <dinput.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/core/random.h"
#include "runtime/core/runtime.h"
#include "runtime/drawing/drawing.h"
#include "runtime/input/keyboard.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/sprites.h"
#include "runtime/sound/sound.h"
#include "runtime/window/window.h"

namespace {
constexpr int32_t kWidth = 640, kHeight = 480;
// Caption, system menu and minimise box, centred on the desktop.
constexpr uint32_t kWindowFlags = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | kWindowCentreOnScreen;
// Colours are COLORREF values, 0x00BBGGRR.
constexpr uint32_t kNight = 0x401810, kFrame = 0xA0A0A0, kGold = 0x00C8FF, kWhite = 0xFFFFFF;
constexpr uint32_t kSoundOn = 0x00DC00;
// The field the creature moves in, inside the frame drawn around it.
constexpr int32_t kFieldLeft = 10, kFieldTop = 42, kFieldRight = 630, kFieldBottom = 470;
constexpr float kSpeed = 0.25f;  // pixels per millisecond
constexpr int32_t kCoinRadius = 8;

struct Game {
  ObjectNumber creature = 0, chime = 0;
  float x = 0, y = 0;
  int32_t coinX = 0, coinY = 0, score = 0;
  bool spaceWasDown = false;
};

int Fail(const std::string& what) {
  std::string text = what + "\n\n" + RuntimeErrorText();
  ShowMessageBox("game", text.c_str(), MB_OK | MB_ICONERROR);
  EndRuntime();
  return 1;
}

void PlaceCoin(Game& game) {
  game.coinX = kFieldLeft + 20 + RandomUpTo(kFieldRight - kFieldLeft - 40);
  game.coinY = kFieldTop + 20 + RandomUpTo(kFieldBottom - kFieldTop - 40);
}

float Clamp(float value, float low, float high) { return value < low ? low : value > high ? high : value; }

// Moves the creature by the arrow keys held, and picks up the coin it touches.
void Update(Game& game, int32_t elapsed) {
  float step = kSpeed * static_cast<float>(elapsed);
  if (IsKeyDown(DIK_LEFT)) game.x -= step;
  if (IsKeyDown(DIK_RIGHT)) game.x += step;
  if (IsKeyDown(DIK_UP)) game.y -= step;
  if (IsKeyDown(DIK_DOWN)) game.y += step;
  int32_t width = SpriteWidth(game.creature), height = SpriteHeight(game.creature);
  game.x = Clamp(game.x, kFieldLeft, static_cast<float>(kFieldRight - width));
  game.y = Clamp(game.y, kFieldTop, static_cast<float>(kFieldBottom - height));
  int32_t centreX = static_cast<int32_t>(game.x) + width / 2, centreY = static_cast<int32_t>(game.y) + height / 2;
  int32_t dx = centreX - game.coinX, dy = centreY - game.coinY, reach = width / 2 + kCoinRadius;
  if (dx * dx + dy * dy < reach * reach) {
    ++game.score;
    PlaceCoin(game);
  }
  // The chime rings, over and over, for as long as the space bar is held.
  bool spaceDown = IsKeyDown(DIK_SPACE) != 0;
  if (spaceDown && !game.spaceWasDown) PlaySound(game.chime, kSoundLoop);
  if (!spaceDown && game.spaceWasDown) StopSound(game.chime);
  game.spaceWasDown = spaceDown;
}

// The frame, the ground line, the coin, the score and, while the chime plays, a green light; the
// creature on top. A drawing holds the back buffer, so the sprite comes after EndDrawing.
void Draw(const Game& game) {
  FillScreen(kNight);
  if (BeginDrawing(ScreenTarget())) {
    SetDrawMode(kDrawOutline | kDrawTransparentText);
    DrawRect(kFieldLeft - 2, kFieldTop - 2, kFieldRight - kFieldLeft + 4, kFieldBottom - kFieldTop + 4, kFrame);
    SetDrawColor(kFrame);
    DrawLine(kFieldLeft, kFieldBottom - 30, kFieldRight - kFieldLeft, 0);  // from (x, y) by (dx, dy)
    SetDrawMode(kDrawTransparentText);
    SetDrawColor(kGold);
    DrawCircle(game.coinX, game.coinY, kCoinRadius);
    DrawTextAt(16, 12, ("Score: " + std::to_string(game.score)).c_str(), kWhite);
    DrawTextAt(140, 12, "arrows move, space rings, Escape ends", kFrame);
    if (SoundStatus(game.chime)) {
      SetDrawColor(kSoundOn);
      DrawCircle(kWidth - 24, 21, 10);
    }
    EndDrawing();
  }
  DisplayTransparentSprite(game.creature, static_cast<int32_t>(game.x), static_cast<int32_t>(game.y));
}
}  // namespace

int main() {
  // Every library, in one call. The game itself uses the screen, the keyboard and sound, and could
  // start only those: StartRuntime(kRuntimeScreen | kRuntimeSound), the screen bringing the keyboard.
  if (!StartRuntime()) return Fail("The runtime could not be started.");
  if (!OpenWindow(0, 0, 0, kWidth, kHeight, "hurz game", kWindowFlags)) return Fail("The window could not be opened.");
  if (!OpenWindowedScreen(WindowHandle(0), 0, 0, kWidth, kHeight, 0, 0, 0))
    return Fail("The screen could not be opened.");

  // Sprites belong to the open screen, so they are loaded after it. Mode 0 makes a plain sprite,
  // the kind DisplaySprite and DisplayTransparentSprite draw.
  Game game;
  game.creature = LoadSpriteFile(AnyID, "creature.bmp", 0);
  if (!game.creature) return Fail("The creature could not be loaded.");
  game.chime = LoadSound(AnyID, "chime.wav");
  if (!game.chime) return Fail("The chime could not be loaded.");
  game.x = (kWidth - SpriteWidth(game.creature)) / 2.0f;
  game.y = (kHeight - SpriteHeight(game.creature)) / 2.0f;
  PlaceCoin(game);

  // One frame per pass: input and events, the game's step, the picture, then FlipBuffers shows it
  // (at most 60 frames a second). Out of the foreground the keyboard reads nothing and the game waits.
  uint32_t last = ElapsedTicks();
  bool running = true;
  while (running) {
    PollKeyboard();
    while (int32_t event = PollWindowEvent())
      if (event == EVENT_CLOSE) running = false;
    uint32_t now = ElapsedTicks();
    int32_t elapsed = static_cast<int32_t>(now - last);
    last = now;
    if (IsDisplayActive()) {
      Update(game, elapsed > 100 ? 100 : elapsed);
      if (IsKeyDown(DIK_ESCAPE)) running = false;
    }
    Draw(game);
    FlipBuffers();
  }
  EndRuntime();
  return 0;
}
