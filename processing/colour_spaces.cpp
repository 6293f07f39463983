#include "processing/colour_spaces.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/conversions.h"

namespace pictavo {

namespace {

struct ScaleTables {
  std::array<uint8_t, 256> to99{};
  std::array<uint8_t, 100> from99{};
  ScaleTables() {
    for (int c = 0; c < 256; ++c) to99[c] = uint8_t(std::nearbyint(c / 255.0 * 99.0));
    for (int v = 0; v < 100; ++v) from99[v] = uint8_t(std::nearbyint(v / 99.0 * 255.0));
  }
};

const ScaleTables& Scales() {
  static const ScaleTables tables;
  return tables;
}

// One channel of HSL2RGB: the hue wrapped once into 0..1, then the four
// pieces of the classic curve.
double HslValue(double m1, double m2, double h) {
  if (h < 0)
    h += 1;
  else if (h > 1)
    h -= 1;
  if (6 * h < 1) return m1 + (m2 - m1) * (6 * h);
  if (2 * h < 1) return m2;
  if (3 * h < 2) return m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
  return m1;
}

}  // namespace

int PVChannelTo99(int c) {
  return Scales().to99[uint8_t(c)];
}
int PV99ToChannel(int v) {
  return Scales().from99[std::clamp(v, 0, 99)];
}

void PVHSVFrom99(int r, int g, int b, int& H, int& S, int& V) {
  int mx = std::max({r, g, b});
  int mn = std::min({r, g, b});
  int delta = mx - mn;
  V = mx;
  S = mx == 0 ? 0 : delta * 99 / mx;
  if (S == 0) {
    H = 0;
    return;
  }
  if (r == mx)
    H = (g - b) * 60 / delta;
  else if (g == mx)
    H = (b - r) * 60 / delta + 120;
  else
    H = (r - g) * 60 / delta + 240;
  if (H < 0) H += 360;
}

void RGB2HSV(const TRGB& rgb, int& H, int& S, int& V) {
  const ScaleTables& t = Scales();
  PVHSVFrom99(t.to99[rgb.r], t.to99[rgb.g], t.to99[rgb.b], H, S, V);
}

void HSV2RGB(TRGB& rgb, int H, int S, int V) {
  H = std::clamp(H, 0, 359);
  S = std::clamp(S, 0, 99);
  V = std::clamp(V, 0, 99);
  int r, g, b;
  if (S == 0) {
    r = g = b = V;
  } else {
    int f = H % 60;
    int p = V - S * V / 99;
    int q = V - S * V * f / 5940;
    int t = V - S * V * (60 - f) / 5940;
    switch (H / 60) {
      case 0:
        r = V, g = t, b = p;
        break;
      case 1:
        r = q, g = V, b = p;
        break;
      case 2:
        r = p, g = V, b = t;
        break;
      case 3:
        r = p, g = q, b = V;
        break;
      case 4:
        r = t, g = p, b = V;
        break;
      default:
        r = V, g = p, b = q;
        break;
    }
  }
  const ScaleTables& tables = Scales();
  rgb.r = tables.from99[r];
  rgb.g = tables.from99[g];
  rgb.b = tables.from99[b];
}

void RGB2HSL(const TRGB& rgb, double& H, double& S, double& L) {
  double r = rgb.r / 255.0, g = rgb.g / 255.0, b = rgb.b / 255.0;
  double mx = std::max({r, g, b});
  double mn = std::min({r, g, b});
  L = (mx + mn) / 2;
  if (mx == mn) {
    H = S = 0;
    return;
  }
  double delta = mx - mn;
  S = L < 0.5 ? delta / (mx + mn) : delta / (2 - mx - mn);
  double h;
  if (mx == r)
    h = (g - b) / delta;
  else if (mx == g)
    h = (b - r) / delta + 2;
  else
    h = (r - g) / delta + 4;
  H = h / 6;
  if (H < 0) H += 1;
}

void HSL2RGB(TRGB& rgb, double H, double S, double L) {
  H = std::clamp(H, 0.0, 1.0);
  S = std::clamp(S, 0.0, 1.0);
  L = std::clamp(L, 0.0, 1.0);
  double r, g, b;
  if (S == 0) {
    r = g = b = L;
  } else {
    double m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
    double m1 = 2 * L - m2;
    r = HslValue(m1, m2, H + 1.0 / 3.0);
    g = HslValue(m1, m2, H);
    b = HslValue(m1, m2, H - 1.0 / 3.0);
  }
  rgb.r = uint8_t(blimit(int(std::trunc(r * 255))));
  rgb.g = uint8_t(blimit(int(std::trunc(g * 255))));
  rgb.b = uint8_t(blimit(int(std::trunc(b * 255))));
}

}  // namespace pictavo
