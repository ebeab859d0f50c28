// Coordinate arithmetic of the drawing primitives: a shape's far corner from its start and extent,
// held inside GDI's coordinate space. Platform-free, so that the sanitizers check it natively.
#pragma once
#include <cstdint>

// GDI's coordinate space on Windows NT: 27 bits and a sign.
constexpr int32_t kSmallestCoordinate = -(1 << 27);
constexpr int32_t kLargestCoordinate = (1 << 27) - 1;

// start + extent, computed without overflow and held inside GDI's coordinate space: a shape that
// reaches past it is cut there, instead of wrapping around to the other side of the 32-bit range or
// overflowing inside GDI.
int32_t OffsetCoordinate(int32_t start, int64_t extent);
