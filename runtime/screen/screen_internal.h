// Helpers shared by the screen library's own files: the program's instance and the trampolines
// through which the screen reaches the sprite library's routines once they are plugged in.
#pragma once
#include <windows.h>

#include "runtime/core/registry.h"

HINSTANCE ScreenInstance();
void DeleteSpriteHook(ObjectNumber number);
void SaveSpritesHook();
void RestoreSpritesHook();
// Closes the open screen, if any: ends the automatic frame limit and the timer period, releases
// everything and marks no screen open.
void TearDownScreen();
void ReadPixelFormat();
void BlackenBuffers();
