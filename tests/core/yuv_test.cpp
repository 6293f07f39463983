// YUV frames given as packed DIBs: every layout on a small frame of distinct
// samples, each pixel checked against the samples its layout assigns to it,
// and the row order chosen by the sign of biHeight.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "core/conversions.h"

namespace pictavo {
namespace {

using Bytes = std::vector<uint8_t>;

struct Yuv {
  int y, u, v;
};
// Samples of pixel x in source row r.
using Assign = std::function<Yuv(const Bytes& d, int x, int r)>;

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

Bytes Header(int32_t w, int32_t h, uint16_t bc, uint32_t fourcc) {
  Bytes b;
  Put32(b, 40);
  Put32(b, uint32_t(w));
  Put32(b, uint32_t(h));
  b.push_back(1);
  b.push_back(0);
  b.push_back(uint8_t(bc));
  b.push_back(uint8_t(bc >> 8));
  Put32(b, fourcc);
  for (int i = 0; i < 5; ++i) Put32(b, 0);
  return b;
}

Bytes Distinct(size_t n) {
  Bytes d(n);
  for (size_t i = 0; i < n; ++i) d[i] = uint8_t(i * 53 + 7);  // distinct for n <= 256
  return d;
}

// Decodes the frame with the given biHeight sign and checks every pixel.
// `firstRowOnTop` says where the first source row must land.
void Check(uint32_t fourcc, int w, int h, int32_t heightField, const Bytes& data,
           const Assign& assign, bool firstRowOnTop) {
  Bytes dib = Header(w, heightField, 16, fourcc);
  dib.insert(dib.end(), data.begin(), data.end());
  TBitmap bm;
  ASSERT_EQ(_CopyDIB2Bitmap(dib.data(), dib.size(), bm), 16);
  ASSERT_EQ(bm.GetPixelFormat(), pf24bit);
  ASSERT_EQ(bm.GetWidth(), w);
  ASSERT_EQ(bm.GetHeight(), h);
  for (int r = 0; r < h; ++r) {
    const uint8_t* row = bm.ScanLine(firstRowOnTop ? r : h - 1 - r);
    for (int x = 0; x < w; ++x) {
      Yuv s = assign(data, x, r);
      TRGB c;
      YUV2RGB(s.y, s.u, s.v, c);
      ASSERT_EQ(row[x * 3], c.b) << "x=" << x << " r=" << r;
      ASSERT_EQ(row[x * 3 + 1], c.g) << "x=" << x << " r=" << r;
      ASSERT_EQ(row[x * 3 + 2], c.r) << "x=" << x << " r=" << r;
    }
  }
  // One byte short of the frame is refused.
  Bytes shortDib(dib.begin(), dib.end() - 1);
  TBitmap b2;
  EXPECT_EQ(_CopyDIB2Bitmap(shortDib.data(), shortDib.size(), b2), 0);
  EXPECT_TRUE(b2.Empty());
}

constexpr int W = 8, H = 4;

TEST(YuvConvert, ColourFormula) {
  TRGB c;
  YUV2RGB(16, 128, 128, c);
  EXPECT_EQ(c.r, 0);
  EXPECT_EQ(c.g, 0);
  EXPECT_EQ(c.b, 0);
  YUV2RGB(235, 128, 128, c);
  EXPECT_EQ(c.r, 255);
  EXPECT_EQ(c.g, 255);
  EXPECT_EQ(c.b, 255);
  for (int Y : {0, 40, 100, 200, 255})
    for (int U : {0, 90, 128, 170, 255})
      for (int V : {0, 60, 128, 210, 255}) {
        double y = 1.164 * (Y - 16);
        auto lim = [](double v) { return std::clamp(int(std::nearbyint(v)), 0, 255); };
        YUV2RGB(Y, U, V, c);
        EXPECT_EQ(c.b, lim(y + 2.018 * (U - 128)));
        EXPECT_EQ(c.g, lim(y - 0.813 * (V - 128) - 0.391 * (U - 128)));
        EXPECT_EQ(c.r, lim(y + 1.596 * (V - 128)));
      }
}

TEST(YuvConvert, TwoPixelPackedLayouts) {
  Bytes d = Distinct(W / 2 * 4 * H);
  auto base = [](int x, int r) { return r * (W / 2 * 4) + (x / 2) * 4; };
  Assign uyvy = [&](const Bytes& s, int x, int r) {
    int b = base(x, r);
    return Yuv{s[b + 1 + 2 * (x & 1)], s[b], s[b + 2]};
  };
  Assign yuy2 = [&](const Bytes& s, int x, int r) {
    int b = base(x, r);
    return Yuv{s[b + 2 * (x & 1)], s[b + 1], s[b + 3]};
  };
  Assign yvyu = [&](const Bytes& s, int x, int r) {
    int b = base(x, r);
    return Yuv{s[b + 2 * (x & 1)], s[b + 3], s[b + 1]};
  };
  Check(PVFourCC('U', 'Y', 'V', 'Y'), W, H, H, d, uyvy, true);
  Check(PVFourCC('U', 'Y', 'V', 'Y'), W, H, -H, d, uyvy, false);
  Check(PVFourCC('U', 'Y', 'N', 'V'), W, H, H, d, uyvy, true);
  // cyuv shares the UYVY layout but its rows run the other way.
  Check(PVFourCC('c', 'y', 'u', 'v'), W, H, H, d, uyvy, false);
  Check(PVFourCC('c', 'y', 'u', 'v'), W, H, -H, d, uyvy, true);
  Check(PVFourCC('Y', 'U', 'Y', '2'), W, H, H, d, yuy2, true);
  Check(PVFourCC('Y', 'U', 'N', 'V'), W, H, -H, d, yuy2, false);
  Check(PVFourCC('Y', 'V', 'Y', 'U'), W, H, H, d, yvyu, true);
}

TEST(YuvConvert, OtherPackedLayouts) {
  Bytes iyu2 = Distinct(W * 3 * H);
  Check(
      PVFourCC('I', 'Y', 'U', '2'), W, H, H, iyu2,
      [](const Bytes& s, int x, int r) {
        int b = r * W * 3 + x * 3;
        return Yuv{s[b + 1], s[b], s[b + 2]};
      },
      true);

  Bytes iyu1 = Distinct(W / 4 * 6 * H);
  Check(
      PVFourCC('I', 'Y', 'U', '1'), W, H, H, iyu1,
      [](const Bytes& s, int x, int r) {
        int b = r * (W / 4 * 6) + (x / 4) * 6;
        const int yAt[4] = {1, 2, 4, 5};
        return Yuv{s[b + yAt[x & 3]], s[b], s[b + 3]};
      },
      true);

  Bytes y211 = Distinct(W / 4 * 4 * H);
  Check(
      PVFourCC('Y', '2', '1', '1'), W, H, H, y211,
      [](const Bytes& s, int x, int r) {
        int b = r * (W / 4 * 4) + (x / 4) * 4;
        return Yuv{s[b + ((x & 3) < 2 ? 0 : 2)], s[b + 1], s[b + 3]};
      },
      true);

  Bytes y41p = Distinct(W / 8 * 12 * H);
  Assign y41pAssign = [](const Bytes& s, int x, int r) {
    int b = r * (W / 8 * 12) + (x / 8) * 12;
    const int yAt[8] = {1, 3, 5, 7, 8, 9, 10, 11};
    int k = x & 7;
    return k < 4 ? Yuv{s[b + yAt[k]], s[b], s[b + 2]} : Yuv{s[b + yAt[k]], s[b + 4], s[b + 6]};
  };
  // Y41P fills from the bottom when biHeight is positive.
  Check(PVFourCC('Y', '4', '1', 'P'), W, H, H, y41p, y41pAssign, false);
  Check(PVFourCC('Y', '4', '1', 'P'), W, H, -H, y41p, y41pAssign, true);
}

TEST(YuvConvert, ClJrWords) {
  // Word fields: V bits 0-5, U 6-11, Y0..Y3 five bits each from bit 12.
  Bytes d;
  for (int r = 0; r < H; ++r)
    for (int g = 0; g < W / 4; ++g) {
      uint32_t v = uint32_t(r * 13 + g * 7 + 3) & 63, u = uint32_t(63 - r * 11 - g * 5) & 63;
      uint32_t w = v | (u << 6);
      for (int k = 0; k < 4; ++k) w |= (uint32_t(r * 8 + g * 4 + k + 1) & 31) << (12 + 5 * k);
      Put32(d, w);
    }
  Check(
      PVFourCC('C', 'L', 'J', 'R'), W, H, H, d,
      [](const Bytes&, int x, int r) {
        int g = x / 4, k = x & 3;
        int y5 = (r * 8 + g * 4 + k + 1) & 31;
        int v6 = (r * 13 + g * 7 + 3) & 63, u6 = (63 - r * 11 - g * 5) & 63;
        // Five bits widened by replication, six bits shifted to 8.
        return Yuv{(y5 << 3) | (y5 >> 2), u6 << 2, v6 << 2};
      },
      true);
}

TEST(YuvConvert, PlanarLayouts) {
  const int cw2 = W / 2, ch2 = H / 2;
  Bytes p2 = Distinct(W * H + 2 * cw2 * ch2);
  Assign i420 = [&](const Bytes& s, int x, int r) {
    int c = (r / 2) * cw2 + x / 2;
    return Yuv{s[r * W + x], s[W * H + c], s[W * H + cw2 * ch2 + c]};
  };
  Assign yv12 = [&](const Bytes& s, int x, int r) {
    int c = (r / 2) * cw2 + x / 2;
    return Yuv{s[r * W + x], s[W * H + cw2 * ch2 + c], s[W * H + c]};
  };
  Check(PVFourCC('I', '4', '2', '0'), W, H, H, p2, i420, true);
  Check(PVFourCC('I', '4', '2', '0'), W, H, -H, p2, i420, false);
  Check(PVFourCC('I', 'Y', 'U', 'V'), W, H, H, p2, i420, true);
  Check(PVFourCC('Y', 'V', '1', '2'), W, H, H, p2, yv12, true);

  // YVU9 on 8 x 8: chroma planes of 2 x 2, V before U.
  const int w9 = 8, h9 = 8, cw4 = 2, ch4 = 2;
  Bytes p4 = Distinct(w9 * h9 + 2 * cw4 * ch4);
  Check(
      PVFourCC('Y', 'V', 'U', '9'), w9, h9, h9, p4,
      [&](const Bytes& s, int x, int r) {
        int c = (r / 4) * cw4 + x / 4;
        return Yuv{s[r * w9 + x], s[w9 * h9 + cw4 * ch4 + c], s[w9 * h9 + c]};
      },
      true);
}

}  // namespace
}  // namespace pictavo
