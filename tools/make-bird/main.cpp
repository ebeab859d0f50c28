// make-bird FILE: draws the demo's sprite, a small yellow bird facing right on a transparent
// background, and writes it as a 64 by 64 RGBA PNG. The picture is a stack of simple shapes, each
// given by a signed distance (negative inside), rendered with 4 by 4 samples per pixel; a dark
// outline runs around the whole silhouette.
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 64;
constexpr int kSamples = 4;
constexpr float kOutline = 1.3f;

struct Colour {
  float r, g, b;
};

struct Point {
  float x, y;
};

enum class ShapeKind { Ellipse, Triangle, Capsule };

struct Shape {
  ShapeKind kind;
  Point a, b, c;  // ellipse: centre a, radii b; triangle: corners; capsule: ends a and b
  float turn;     // ellipse: rotation in degrees; capsule: radius
  Colour colour;
  bool outlined;  // part of the silhouette that gets the outline
};

float EllipseDistance(const Shape& s, Point p) {
  float angle = s.turn * 3.14159265f / 180.0f, cs = std::cos(angle), sn = std::sin(angle);
  float dx = p.x - s.a.x, dy = p.y - s.a.y;
  float u = dx * cs + dy * sn, v = -dx * sn + dy * cs;
  float k = std::sqrt((u / s.b.x) * (u / s.b.x) + (v / s.b.y) * (v / s.b.y));
  return (k - 1.0f) * std::fmin(s.b.x, s.b.y);
}

// The largest signed distance to the three edges, for corners in either winding.
float TriangleDistance(const Shape& s, Point p) {
  const Point corners[3] = {s.a, s.b, s.c};
  float area = (s.b.x - s.a.x) * (s.c.y - s.a.y) - (s.b.y - s.a.y) * (s.c.x - s.a.x);
  float sign = area > 0 ? -1.0f : 1.0f, worst = -1e9f;
  for (int i = 0; i < 3; ++i) {
    Point e0 = corners[i], e1 = corners[(i + 1) % 3];
    float ex = e1.x - e0.x, ey = e1.y - e0.y, length = std::sqrt(ex * ex + ey * ey);
    float d = sign * (ex * (p.y - e0.y) - ey * (p.x - e0.x)) / length;
    worst = std::fmax(worst, d);
  }
  return worst;
}

float CapsuleDistance(const Shape& s, Point p) {
  float ex = s.b.x - s.a.x, ey = s.b.y - s.a.y;
  float t = ((p.x - s.a.x) * ex + (p.y - s.a.y) * ey) / (ex * ex + ey * ey);
  t = std::fmin(1.0f, std::fmax(0.0f, t));
  float dx = p.x - (s.a.x + t * ex), dy = p.y - (s.a.y + t * ey);
  return std::sqrt(dx * dx + dy * dy) - s.turn;
}

float Distance(const Shape& s, Point p) {
  switch (s.kind) {
    case ShapeKind::Ellipse:
      return EllipseDistance(s, p);
    case ShapeKind::Triangle:
      return TriangleDistance(s, p);
    default:
      return CapsuleDistance(s, p);
  }
}

// Back to front.
std::vector<Shape> BirdShapes() {
  const Colour feather{1.0f, 0.80f, 0.16f}, wing{0.93f, 0.58f, 0.08f}, belly{1.0f, 0.92f, 0.60f};
  const Colour beak{1.0f, 0.45f, 0.05f}, leg{0.55f, 0.30f, 0.10f}, white{1, 1, 1}, pupil{0.08f, 0.08f, 0.12f};
  auto ellipse = [](Point c, float rx, float ry, float turn, Colour colour, bool outlined = true) {
    return Shape{ShapeKind::Ellipse, c, {rx, ry}, {}, turn, colour, outlined};
  };
  auto triangle = [](Point a, Point b, Point c, Colour colour, bool outlined = true) {
    return Shape{ShapeKind::Triangle, a, b, c, 0, colour, outlined};
  };
  auto capsule = [](Point a, Point b, float radius, Colour colour) {
    return Shape{ShapeKind::Capsule, a, b, {}, radius, colour, true};
  };
  return {
      capsule({27, 48}, {25, 57}, 1.2f, leg),
      capsule({25, 57}, {21, 58}, 1.0f, leg),
      capsule({34, 48}, {35, 57}, 1.2f, leg),
      capsule({35, 57}, {39, 58}, 1.0f, leg),
      triangle({20, 33}, {2, 24}, {7, 43}, wing),  // tail
      triangle({16, 34}, {4, 28}, {6, 38}, {0.80f, 0.45f, 0.05f}, false),
      ellipse({29, 39}, 16, 12, -10, feather),  // body
      ellipse({33, 43}, 10, 6.5f, -10, belly, false),
      ellipse({43, 24}, 10.5f, 10, 0, feather),  // head
      triangle({51, 20}, {62, 25}, {51, 29}, beak),
      triangle({52, 25}, {60, 26}, {52, 28.5f}, {0.85f, 0.33f, 0.02f}, false),
      ellipse({25, 36}, 11, 6, -25, wing, false),  // wing
      ellipse({22, 38}, 6, 3, -30, {0.80f, 0.45f, 0.05f}, false),
      ellipse({46, 21}, 3.4f, 3.6f, 0, white, false),  // eye
      ellipse({47, 21.5f}, 2, 2.2f, 0, pupil, false),
      ellipse({47.8f, 20.5f}, 0.7f, 0.7f, 0, white, false),
      ellipse({49.5f, 28}, 2.2f, 1.4f, 0, {1.0f, 0.62f, 0.45f}, false),  // cheek
  };
}

// One sample: the front-most shape containing it, else the outline if the silhouette is near,
// else nothing.
bool Sample(const std::vector<Shape>& shapes, Point p, Colour* colour) {
  for (auto s = shapes.rbegin(); s != shapes.rend(); ++s) {
    if (Distance(*s, p) <= 0) {
      *colour = s->colour;
      return true;
    }
  }
  for (const Shape& s : shapes) {
    if (s.outlined && Distance(s, p) <= kOutline) {
      *colour = {0.35f, 0.18f, 0.04f};
      return true;
    }
  }
  return false;
}

std::vector<uint8_t> Render() {
  std::vector<Shape> shapes = BirdShapes();
  std::vector<uint8_t> rgba(kSize * kSize * 4);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      float r = 0, g = 0, b = 0;
      int covered = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          Colour c;
          Point p{x + (sx + 0.5f) / kSamples, y + (sy + 0.5f) / kSamples};
          if (!Sample(shapes, p, &c)) continue;
          r += c.r, g += c.g, b += c.b, ++covered;
        }
      }
      uint8_t* out = &rgba[(y * kSize + x) * 4];
      if (!covered) continue;  // transparent black
      out[0] = (uint8_t)std::lround(255 * r / covered);
      out[1] = (uint8_t)std::lround(255 * g / covered);
      out[2] = (uint8_t)std::lround(255 * b / covered);
      out[3] = (uint8_t)std::lround(255.0f * covered / (kSamples * kSamples));
    }
  }
  return rgba;
}

bool WritePng(const char* name, std::vector<uint8_t>& rgba) {
  FILE* file = fopen(name, "wb");
  if (!file) return false;
  png_structp write = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = write ? png_create_info_struct(write) : nullptr;
  if (!info || setjmp(png_jmpbuf(write))) {
    png_destroy_write_struct(&write, &info);
    fclose(file);
    return false;
  }
  png_bytep rows[kSize];
  for (int y = 0; y < kSize; ++y) rows[y] = &rgba[y * kSize * 4];
  png_init_io(write, file);
  png_set_IHDR(write, info, kSize, kSize, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(write, info, rows);
  png_write_png(write, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&write, &info);
  return fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make-bird FILE.png\n");
    return 2;
  }
  std::vector<uint8_t> rgba = Render();
  if (!WritePng(argv[1], rgba)) {
    fprintf(stderr, "make-bird: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
