// Makes the four pictures the zoom scene shows, as baseline JPEG files:
//   make_pictures OUTPUT_DIR [NAME...]
// writes eye.jpg (512x512 colour), pelirorel.jpg (1024x1024 grey),
// peliroeye.jpg and peliroball.jpg (512x512 grey), or only the named ones
// ("eye", "pelirorel", ...). Everything is computed from fixed seeds
// with integer hashing, so the same program makes the same bytes every time.
//
// What the pictures must survive: a single texel is magnified to fill the
// screen and, half a minute later, the picture is repeated up to 512 times
// across a square. So each carries structure at every octave, and each is
// seamless under GL_REPEAT: everything that reaches an edge is built from
// noise whose period divides the picture. The grey pictures become alpha
// textures drawn in white, so they are composed as light on black.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------
// Deterministic noise. Every lattice is periodic, so sampling at x * period
// for x in [0, 1) tiles.

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

uint32_t Hash3(int a, int b, uint32_t seed) {
  return Hash(static_cast<uint32_t>(a) * 0x9E3779B1U ^ Hash(static_cast<uint32_t>(b) * 0x85EBCA77U ^ Hash(seed)));
}

double Unit(uint32_t h) { return (h >> 8) * (1.0 / 16777216.0); }  // [0, 1)

int Wrap(int a, int period) {
  a %= period;
  return a < 0 ? a + period : a;
}

double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
double Mix(double a, double b, double t) { return a + (b - a) * t; }
double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }
double SmoothStep(double e0, double e1, double x) {
  double t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Gradient noise with period (px, py) cells; about -1…1.
double Noise(double x, double y, int px, int py, uint32_t seed) {
  const double fx0 = std::floor(x), fy0 = std::floor(y);
  const int x0 = static_cast<int>(fx0), y0 = static_cast<int>(fy0);
  const double dx = x - fx0, dy = y - fy0;
  auto corner = [&](int cx, int cy, double ox, double oy) {
    double angle = Unit(Hash3(Wrap(x0 + cx, px), Wrap(y0 + cy, py), seed)) * 2 * kPi;
    return std::cos(angle) * ox + std::sin(angle) * oy;
  };
  const double u = Fade(dx), v = Fade(dy);
  const double a = Mix(corner(0, 0, dx, dy), corner(1, 0, dx - 1, dy), u);
  const double b = Mix(corner(0, 1, dx, dy - 1), corner(1, 1, dx - 1, dy - 1), u);
  return Mix(a, b, v) * 1.41421356;
}

// Fractal sum over `octaves`, the first with `period` cells across [0, 1).
double Fbm(double x, double y, int period, int octaves, uint32_t seed, double gain = 0.5) {
  double sum = 0, amplitude = 1, norm = 0;
  for (int o = 0; o < octaves; ++o, period *= 2, amplitude *= gain) {
    sum += amplitude * Noise(x * period, y * period, period, period, seed + 101u * static_cast<uint32_t>(o));
    norm += amplitude;
  }
  return sum / norm;
}

// Ridged variant: sharp bright creases where the noise crosses zero.
double Ridged(double x, double y, int period, int octaves, uint32_t seed, double gain = 0.5) {
  double sum = 0, amplitude = 1, norm = 0, weight = 1;
  for (int o = 0; o < octaves; ++o, period *= 2, amplitude *= gain) {
    double n = 1 - std::fabs(Noise(x * period, y * period, period, period, seed + 977u * static_cast<uint32_t>(o)));
    n *= n * weight;
    weight = Clamp01(n * 1.6);
    sum += amplitude * n;
    norm += amplitude;
  }
  return sum / norm;
}

// Cellular noise with `period` cells across [0, 1): distances (in cells) to the
// nearest and second-nearest feature point and the nearest point's hash.
struct Cell {
  double f1, f2;
  uint32_t id;
};
Cell Voronoi(double x, double y, int period, uint32_t seed) {
  x *= period;
  y *= period;
  const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
  Cell best{1e9, 1e9, 0};
  for (int j = -1; j <= 1; ++j) {
    for (int i = -1; i <= 1; ++i) {
      const uint32_t h = Hash3(Wrap(cx + i, period), Wrap(cy + j, period), seed);
      const double px = cx + i + 0.1 + 0.8 * Unit(h), py = cy + j + 0.1 + 0.8 * Unit(Hash(h));
      const double d = std::hypot(px - x, py - y);
      if (d < best.f1) {
        best.f2 = best.f1;
        best.f1 = d;
        best.id = h;
      } else if (d < best.f2) {
        best.f2 = d;
      }
    }
  }
  return best;
}

// ---------------------------------------------------------------------------
// Pictures as functions of a pixel centre (u, v) in [0, 1), v downward.

struct Rgb {
  double r, g, b;
};
Rgb operator*(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }
Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb MixRgb(Rgb a, Rgb b, double t) { return a * (1 - t) + b * t; }

struct Picture {
  std::string file;      // under the output folder
  std::string resource;  // the name the program asks for
  int size;
  int components;
  int quality;
  std::string description;
};

// A deep, slowly varying ground that tiles: the colour eye floats on it.
Rgb NightGround(double u, double v) {
  const double cloud = 0.5 + 0.5 * Fbm(u, v, 3, 8, 11);
  const double veil = Ridged(u, v, 4, 6, 12);
  const double dust = 0.5 + 0.5 * Fbm(u, v, 32, 4, 13);
  const Rgb deep{0.015, 0.02, 0.06}, teal{0.03, 0.16, 0.20}, violet{0.16, 0.05, 0.20};
  Rgb c = MixRgb(deep, teal, SmoothStep(0.35, 0.8, cloud));
  c = c + violet * (0.55 * std::pow(veil, 3.0));
  return c * (0.75 + 0.5 * dust);
}

// The iris, pupil, limbus and cornea highlight, in polar coordinates about the
// picture's centre. `rr` is the radius over the iris radius, `a` the angle 0…1.
struct IrisSample {
  double fibres;    // 0…1 brightness of the stroma
  double collar;    // 0…1 the collarette ridge
  double crypt;     // 0…1 darkening of crypts and furrows
  double pupil;     // 1 inside the pupil
  double limbus;    // 0…1 darkening toward the rim
  double highlight; // 0…1 reflected window
};

IrisSample Iris(double x, double y, double irisRadius, uint32_t seed) {
  IrisSample s{};
  const double r = std::hypot(x, y);
  const double rr = r / irisRadius;
  const double a = std::atan2(y, x) / (2 * kPi) + 0.5;
  // A pupil not quite round, and fibres that lean as they run outward.
  const double pupilR = 0.30 + 0.012 * Noise(a * 12, 0.5, 12, 4, seed + 1);
  const double lean = a + 0.025 * rr;
  double fibres = 0;
  const int periods[] = {90, 180, 360, 720};
  const double weights[] = {0.4, 0.3, 0.2, 0.12};
  for (int i = 0; i < 4; ++i) {
    const double n = Noise(lean * periods[i], rr * (3.0 + 2 * i), periods[i], 1 << 12, seed + 10 + i);
    fibres += weights[i] * (1 - std::fabs(n));
  }
  fibres = std::pow(fibres / 1.02, 2.2);
  fibres *= 0.75 + 0.35 * Fbm(x / irisRadius * 0.5 + 0.5, y / irisRadius * 0.5 + 0.5, 6, 5, seed + 20);
  s.fibres = Clamp01(fibres);

  const double collarR = 0.52 + 0.05 * Noise(a * 9, 0.3, 9, 4, seed + 2) + 0.015 * Noise(a * 40, 0.7, 40, 4, seed + 3);
  s.collar = std::exp(-std::pow((rr - collarR) / 0.035, 2));

  // Crypts: lens-shaped hollows just outside the collarette; furrows: broken
  // rings near the rim.
  // Cells are long along the radius; only some open into a crypt, each of its own size.
  const Cell c = Voronoi(a + 0.01 * Noise(a * 30, rr * 4, 30, 64, seed + 7), rr * 0.11, 36, seed + 4);
  const double inCryptBand = SmoothStep(collarR, collarR + 0.05, rr) * (1 - SmoothStep(0.74, 0.86, rr));
  const double cryptSize = 0.18 + 0.22 * Unit(Hash(c.id));
  const double crypt = (1 - SmoothStep(cryptSize * 0.5, cryptSize, c.f1)) * (Unit(c.id) < 0.4 ? 1 : 0) * inCryptBand;
  double furrow = 0;
  for (double ring : {0.80, 0.87, 0.93}) {
    const double breaks = SmoothStep(-0.1, 0.3, Noise(a * 14, ring * 10, 14, 64, seed + 5));
    furrow = std::max(furrow, std::exp(-std::pow((rr - ring) / 0.008, 2)) * breaks);
  }
  s.crypt = Clamp01(0.75 * crypt + 0.55 * furrow);

  s.pupil = 1 - SmoothStep(pupilR - 0.012, pupilR + 0.008, rr);
  s.limbus = SmoothStep(0.80, 1.0, rr);

  // The reflection of a bright window on the cornea, and a small sharp glint.
  // The window: a soft rounded square of four panes, bent a little by the cornea.
  const double hx = x / irisRadius + 0.34, hy = y / irisRadius + 0.36;
  const double bend = 0.25 * (hx * hx + hy * hy);
  const double wx = hx * 0.95 + hy * 0.2 + bend, wy = hy - hx * 0.2;
  const double box = std::pow(std::pow(std::fabs(wx), 4) + std::pow(std::fabs(wy), 4), 0.25);
  const double bars = SmoothStep(0.008, 0.018, std::min(std::fabs(wx), std::fabs(wy)));
  const double window = (1 - SmoothStep(0.10, 0.15, box)) * (0.35 + 0.65 * bars);
  const double glint = std::exp(-(std::pow(x / irisRadius - 0.30, 2) + std::pow(y / irisRadius - 0.24, 2)) / 0.0012);
  s.highlight = Clamp01(0.85 * window * (0.8 + 0.2 * Noise(hx * 20, hy * 20, 64, 64, seed + 6)) + 0.9 * glint);
  return s;
}

void Eye(double u, double v, int size, unsigned char* out) {
  const double x = (u - 0.5) * size, y = (v - 0.5) * size;
  const double irisR = 0.30 * size, ballR = 0.47 * size;
  const double r = std::hypot(x, y);
  const IrisSample s = Iris(x, y, irisR, 1000);
  const double rr = r / irisR;

  // Iris colours: amber round the pupil, a blue-green stroma outside.
  const Rgb amber{0.78, 0.46, 0.14}, hazel{0.45, 0.42, 0.16}, blue{0.16, 0.42, 0.60}, rim{0.04, 0.09, 0.16};
  Rgb iris = MixRgb(amber, hazel, SmoothStep(0.32, 0.55, rr));
  iris = MixRgb(iris, blue, SmoothStep(0.5, 0.78, rr));
  iris = iris * (0.35 + 0.95 * s.fibres) + Rgb{0.95, 0.75, 0.45} * (0.35 * s.collar);
  iris = iris * (1 - 0.6 * s.crypt);
  iris = MixRgb(iris, rim, 0.85 * s.limbus);
  iris = MixRgb(iris, Rgb{0.005, 0.005, 0.01}, s.pupil);

  // The white of the eye, with fine veins, shaded as a ball.
  const double sx = x / ballR, sy = y / ballR;
  const double z = std::sqrt(std::max(0.0, 1 - sx * sx - sy * sy));
  const double lambert = std::max(0.0, -0.45 * sx - 0.5 * sy + 0.74 * z);
  const double veins = std::pow(Ridged(u, v, 6, 6, 1200), 6.0) * SmoothStep(1.1, 1.6, rr);
  Rgb white{0.90, 0.86, 0.83};
  white = MixRgb(white, Rgb{0.72, 0.16, 0.14}, Clamp01(1.4 * veins));
  white = white * (0.12 + 0.88 * std::pow(lambert, 0.8)) * (0.95 + 0.05 * Fbm(u, v, 64, 3, 1300));

  // Iris into white across the limbus, ball into the ground across its rim.
  Rgb c = MixRgb(iris, white, SmoothStep(0.99, 1.04, rr));
  const double edge = SmoothStep(0.80 * ballR, ballR, r);
  c = MixRgb(c, NightGround(u, v), edge);
  c = c + Rgb{1, 1, 1} * s.highlight * (1 - edge);
  out[0] = static_cast<unsigned char>(std::lround(255 * Clamp01(c.r)));
  out[1] = static_cast<unsigned char>(std::lround(255 * Clamp01(c.g)));
  out[2] = static_cast<unsigned char>(std::lround(255 * Clamp01(c.b)));
}

unsigned char Grey(double value) { return static_cast<unsigned char>(std::lround(255 * Clamp01(value))); }

// Faint tiling dust of light, so that a repeated grey picture is never empty.
double Dust(double u, double v, uint32_t seed) {
  const Cell c = Voronoi(u, v, 48, seed);
  const double star = std::exp(-c.f1 * c.f1 / 0.004) * std::pow(Unit(c.id), 6.0);
  return 0.05 * std::pow(0.5 + 0.5 * Fbm(u, v, 4, 7, seed + 1), 3.0) + 0.8 * star;
}

// A grey eye drawn in light: luminous fibres round a black pupil, a glowing
// limbal ring, the highlight.
void GreyEye(double u, double v, int size, unsigned char* out) {
  const double x = (u - 0.5) * size, y = (v - 0.5) * size;
  const double irisR = 0.36 * size;
  const double rr = std::hypot(x, y) / irisR;
  const IrisSample s = Iris(x, y, irisR, 2000);
  double iris = (0.15 + 0.95 * s.fibres) * (1 - SmoothStep(0.35, 1.0, rr) * 0.45);
  iris += 0.45 * s.collar;
  iris *= 1 - 0.7 * s.crypt;
  // A corona right at the pupil's edge.
  iris += 0.5 * std::exp(-std::pow((rr - 0.33) / 0.03, 2)) * (0.6 + 0.4 * s.fibres);
  iris *= 1 - s.pupil;
  const double ring = std::exp(-std::pow((rr - 1.0) / 0.025, 2)) * (0.8 + 0.2 * s.fibres);
  const double halo = std::exp(-std::pow(std::max(0.0, rr - 1.0) / 0.10, 2)) * 0.25 * (rr > 1 ? 1 : 0);
  const double inside = 1 - SmoothStep(0.97, 1.0, rr);
  double value = iris * inside + 0.9 * ring + halo;
  const double outside = SmoothStep(1.1, 1.3, rr);
  value = std::max(value, Dust(u, v, 2100) * outside);
  value += s.highlight * (1 - outside);
  out[0] = Grey(value);
}

// A mirror ball: facets in rings of latitude catch the light, a few flare, and
// its reflections scatter as soft spots over the tiling ground.
void GreyBall(double u, double v, int size, unsigned char* out) {
  const double x = (u - 0.5) * size, y = (v - 0.5) * size;
  const double ballR = 0.40 * size;
  const double sx = x / ballR, sy = y / ballR;
  const double d2 = sx * sx + sy * sy;
  double value = 0;
  if (d2 < 1) {
    const double sz = std::sqrt(1 - d2);
    // Tilted ball: rotate about the x axis so the rings of facets curve.
    const double tilt = 0.42;
    const double py = sy * std::cos(tilt) - sz * std::sin(tilt);
    const double pz = sy * std::sin(tilt) + sz * std::cos(tilt);
    const double lat = std::asin(std::max(-1.0, std::min(1.0, -py)));  // -pi/2…pi/2
    const double lon = std::atan2(sx, pz);
    const int rings = 24;
    const double latCell = (lat / kPi + 0.5) * rings;
    const int ring = static_cast<int>(std::floor(latCell));
    const int facetsInRing = std::max(4, static_cast<int>(std::lround(2 * rings * std::cos((ring + 0.5 - rings / 2.0) / rings * kPi))));
    const double lonCell = (lon / (2 * kPi) + 0.5) * facetsInRing;
    const int facet = static_cast<int>(std::floor(lonCell));
    const double fu = lonCell - facet, fv = latCell - ring;
    const double grout = SmoothStep(0.0, 0.09, std::min(std::min(fu, 1 - fu), std::min(fv, 1 - fv)));
    const uint32_t h = Hash3(ring, facet, 3000);
    // Each facet mirrors a part of a dark room with a few lamps in it.
    const double lamp = std::pow(Unit(h), 9.0);
    const double key = std::max(0.0, -0.45 * sx - 0.55 * sy + 0.70 * sz);
    const double room = 0.10 + 0.25 * Unit(Hash(h));
    double facetLight = room * (0.4 + 0.6 * key) + 0.9 * lamp + 0.8 * std::pow(key, 14.0);
    facetLight *= 0.85 + 0.15 * Noise(fu * 3, fv * 3, 64, 64, h);
    value = facetLight * grout + 0.03 * (1 - grout);
    // Rim light and a soft darkening of the limb.
    value = value * (0.35 + 0.65 * std::pow(sz, 0.35)) + 0.35 * std::pow(1 - sz, 6.0);
    value *= 1 - SmoothStep(0.985, 1.0, std::sqrt(d2));
  }
  // Spots the ball throws about, on a ground that tiles.
  const Cell c = Voronoi(u, v, 12, 3100);
  const double spot = std::exp(-c.f1 * c.f1 / 0.012) * (0.25 + 0.55 * Unit(c.id)) * (Unit(Hash(c.id)) < 0.6 ? 1 : 0);
  const double fine = Dust(u, v, 3200);
  const double ground = std::max(spot, fine) * SmoothStep(1.02, 1.15, std::sqrt(d2));
  // Four-pointed flares on the brightest facets near the key light.
  const double fx = sx + 0.42, fy = sy + 0.45;
  const double flare = std::exp(-(fx * fx + fy * fy) / 0.004) +
                       0.5 * std::exp(-std::fabs(fx) * 60 - fy * fy * 200) * std::exp(-std::fabs(fy) * 3) +
                       0.5 * std::exp(-std::fabs(fy) * 60 - fx * fx * 200) * std::exp(-std::fabs(fx) * 3);
  out[0] = Grey(value + ground + 0.9 * flare);
}

// A relief in stone, lit low from the upper left: bright where a slope faces
// the light, black in the shadows. Tiles in both directions; a carved rosette
// rises at the centre and sinks back into the field before the edges.
std::vector<double> ReliefHeight(int size) {
  std::vector<double> h(static_cast<size_t>(size) * size);
  for (int j = 0; j < size; ++j) {
    for (int i = 0; i < size; ++i) {
      const double u = (i + 0.5) / size, v = (j + 0.5) / size;
      // Warp the field a little so that the plates' seams wander.
      const double wu = u + 0.02 * Fbm(u, v, 4, 4, 4005), wv = v + 0.02 * Fbm(u, v, 4, 4, 4006);
      const Cell big = Voronoi(wu, wv, 6, 4000);
      const Cell small = Voronoi(wu, wv, 24, 4001);
      double height = 0.45 * Ridged(wu, wv, 3, 8, 4002, 0.38);
      height += 0.30 * SmoothStep(0.0, 0.22, big.f2 - big.f1);  // raised plates, sunken seams
      height += 0.03 * SmoothStep(0.0, 0.15, small.f2 - small.f1) * (0.5 + 0.5 * Fbm(u, v, 4, 3, 4003));
      height += 0.004 * Fbm(u, v, 96, 3, 4004);  // grain at the pixel scale
      // The rosette: a boss, eight petals and rings about the centre.
      const double x = u - 0.5, y = v - 0.5, r = std::hypot(x, y), a = std::atan2(y, x);
      const double petal = std::pow(std::fabs(std::cos(a * 4)), 2.0);
      const double petals = petal * SmoothStep(0.05, 0.09, r) * (1 - SmoothStep(0.10 + 0.07 * petal, 0.13 + 0.08 * petal, r));
      const double rings = std::exp(-std::pow((r - 0.25) / 0.012, 2)) + std::exp(-std::pow((r - 0.285) / 0.008, 2));
      const double boss = std::sqrt(std::max(0.0, 1 - std::pow(r / 0.045, 2)));
      const double carved = 0.35 * petals + 0.25 * rings + 0.4 * boss;
      const double fade = 1 - SmoothStep(0.30, 0.40, r);
      height = Mix(height, 0.5 * height + carved, fade * 0.85);
      h[static_cast<size_t>(j) * size + i] = height;
    }
  }
  return h;
}

std::vector<unsigned char> Relief(int size) {
  const std::vector<double> h = ReliefHeight(size);
  std::vector<unsigned char> out(h.size());
  auto at = [&](int i, int j) { return h[static_cast<size_t>(Wrap(j, size)) * size + Wrap(i, size)]; };
  const double lx = -0.55, ly = -0.62, lz = 0.56;  // low light from the upper left
  const double depth = size * 0.18;                 // relief height in pixels at height 1
  for (int j = 0; j < size; ++j) {
    for (int i = 0; i < size; ++i) {
      const double gx = (at(i + 1, j) - at(i - 1, j)) * 0.5 * depth;
      const double gy = (at(i, j + 1) - at(i, j - 1)) * 0.5 * depth;
      const double norm = std::sqrt(gx * gx + gy * gy + 1);
      const double nx = -gx / norm, ny = -gy / norm, nz = 1 / norm;
      const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
      // Half vector toward a viewer straight above: a glint on the crests.
      const double hx = lx, hy = ly, hz = lz + 1, hn = std::sqrt(hx * hx + hy * hy + hz * hz);
      const double specular = std::pow(std::max(0.0, (nx * hx + ny * hy + nz * hz) / hn), 40.0);
      const double cavity = SmoothStep(0.15, 0.6, at(i, j));
      const double value = std::pow(diffuse, 4.0) * (0.2 + 0.8 * cavity) * 1.3 + 0.7 * specular;
      out[static_cast<size_t>(j) * size + i] = Grey(value);
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Encoding.

std::vector<unsigned char> Render(const Picture& p) {
  if (p.resource == "JPEG_PELIROREL") return Relief(p.size);
  std::vector<unsigned char> pixels(static_cast<size_t>(p.size) * p.size * p.components);
  std::function<void(double, double, int, unsigned char*)> shade =
      p.resource == "JPEG_EYE" ? Eye : p.resource == "JPEG_PELIROEYE" ? GreyEye : GreyBall;
  for (int j = 0; j < p.size; ++j) {
    for (int i = 0; i < p.size; ++i) {
      shade((i + 0.5) / p.size, (j + 0.5) / p.size, p.size,
            &pixels[(static_cast<size_t>(j) * p.size + i) * p.components]);
    }
  }
  return pixels;
}

// A small preview of the picture (box-filtered), carried in an APP10 segment.
std::vector<unsigned char> Preview(const Picture& p, const std::vector<unsigned char>& pixels, int edge) {
  std::vector<unsigned char> out;
  const int step = p.size / edge;
  for (int y = 0; y < edge; ++y) {
    for (int x = 0; x < edge; ++x) {
      for (int c = 0; c < p.components; ++c) {
        unsigned sum = 0;
        for (int j = 0; j < step; ++j) {
          for (int i = 0; i < step; ++i) {
            sum += pixels[((static_cast<size_t>(y) * step + j) * p.size + x * step + i) * p.components + c];
          }
        }
        out.push_back(static_cast<unsigned char>((sum + step * step / 2) / (step * step)));
      }
    }
  }
  return out;
}

std::string Comment(const Picture& p) {
  std::string text = "harbor-lights picture " + p.resource + "\n" + p.description +
                     "\n\nMade by tools/make_pictures.cpp (make pictures) from fixed seeds; the "
                     "same program writes the same bytes. Size " +
                     std::to_string(p.size) + " x " + std::to_string(p.size) + ", " +
                     (p.components == 3 ? "colour" : "grey") + ", baseline, quality " + std::to_string(p.quality) +
                     ".\n\nThe picture is seamless under GL_REPEAT: everything that reaches an edge comes "
                     "from noise whose period divides the picture. It is drawn magnified until one texel "
                     "fills the screen and minified until it repeats 512 times across a square, so it "
                     "carries structure at every octave from the whole picture down to the single pixel.\n";
  if (p.components == 1) {
    text += "As an alpha texture drawn in white, bright means light and dark means transparent.\n";
  }
  return text;
}

bool WriteJpeg(const std::string& path, const Picture& p, const std::vector<unsigned char>& pixels) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::perror(path.c_str());
    return false;
  }
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(p.size);
  cinfo.image_height = static_cast<JDIMENSION>(p.size);
  cinfo.input_components = p.components;
  cinfo.in_color_space = p.components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, p.quality, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.optimize_coding = TRUE;
  if (p.components == 3) {
    // Full-resolution chroma: the iris fibres are coloured at the pixel scale.
    for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&cinfo, TRUE);

  const std::string comment = Comment(p);
  jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.data()),
                    static_cast<unsigned>(comment.size()));
  std::vector<unsigned char> preview = {'H', 'L', 'P', 'R', 'E', 'V', 'I', 'E', 'W', 0};
  const int edge = 64;
  preview.push_back(static_cast<unsigned char>(edge));
  preview.push_back(static_cast<unsigned char>(p.components));
  const std::vector<unsigned char> small = Preview(p, pixels, edge);
  preview.insert(preview.end(), small.begin(), small.end());
  jpeg_write_marker(&cinfo, JPEG_APP0 + 10, preview.data(), static_cast<unsigned>(preview.size()));

  const int stride = p.size * p.components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&pixels[static_cast<size_t>(cinfo.next_scanline) * stride]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  const bool ok = std::fflush(file) == 0 && !std::ferror(file);
  return std::fclose(file) == 0 && ok;
}

const Picture kPictures[] = {
    {"eye.jpg", "JPEG_EYE", 512, 3, 90,
     "A colour eye: amber round the pupil, a blue-green stroma of leaning fibres with crypts and furrows, "
     "a dark limbal ring, the white of the eye shaded as a ball, and a window reflected on the cornea; on a "
     "deep tiling ground."},
    {"pelirorel.jpg", "JPEG_PELIROREL", 1024, 1, 86,
     "A grey relief lit low from the upper left: ridged stone plates with sunken seams and a carved rosette "
     "at the centre."},
    {"peliroeye.jpg", "JPEG_PELIROEYE", 512, 1, 90,
     "A grey eye drawn in light: luminous fibres round a black pupil, a corona at the pupil's edge, a "
     "glowing limbal ring and the cornea's highlight, on a faint tiling dust."},
    {"peliroball.jpg", "JPEG_PELIROBALL", 512, 1, 90,
     "A grey mirror ball: rings of facets catching a dark room's lamps, a flare near the key light, and its "
     "reflections scattered as soft spots over a tiling ground."},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_pictures OUTPUT_DIR [eye|pelirorel|peliroeye|peliroball ...]\n");
    return 2;
  }
  const std::string dir = argv[1];
  int written = 0;
  for (const Picture& p : kPictures) {
    bool wanted = argc == 2;
    for (int i = 2; i < argc; ++i) wanted = wanted || p.file == std::string(argv[i]) + ".jpg";
    if (!wanted) continue;
    if (!WriteJpeg(dir + "/" + p.file, p, Render(p))) return 1;
    ++written;
  }
  if (written == 0) {
    std::fprintf(stderr, "make_pictures: no such picture\n");
    return 2;
  }
  return 0;
}
