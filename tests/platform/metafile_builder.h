// Byte builders of WMF and EMF files for the metafile tests: each record is
// written field by field from the file formats' layouts, independently of the
// player.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace pictavo::test {

inline void Put16(std::vector<uint8_t>& d, uint32_t v) {
  d.push_back(uint8_t(v));
  d.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t>& d, uint32_t v) {
  Put16(d, v & 0xFFFF);
  Put16(d, v >> 16);
}

// EMF with a reference device of 10 pixels per millimetre: a frame of
// W x H pixels is W*10 x H*10 hundredths of a millimetre, so the picture maps
// 1:1 onto a W x H rectangle, and at 254 pixels per inch it reports W x H.
class EmfBuilder {
 public:
  // A record of 32-bit parameters.
  EmfBuilder& Rec(uint32_t type, std::initializer_list<int32_t> params) {
    std::vector<uint8_t> body;
    for (int32_t p : params) Put32(body, uint32_t(p));
    return Raw(type, body);
  }
  // A record with a prepared body (padded to 4 bytes).
  EmfBuilder& Raw(uint32_t type, std::vector<uint8_t> body) {
    while (body.size() % 4) body.push_back(0);
    Put32(records_, type);
    Put32(records_, uint32_t(body.size() + 8));
    records_.insert(records_.end(), body.begin(), body.end());
    ++count_;
    return *this;
  }
  // Poly records: bounds, count, then the points.
  EmfBuilder& Poly(uint32_t type, std::initializer_list<int32_t> xy, bool small = false) {
    std::vector<uint8_t> body(16, 0);
    Put32(body, uint32_t(xy.size() / 2));
    for (int32_t v : xy) small ? Put16(body, uint32_t(v) & 0xFFFF) : Put32(body, uint32_t(v));
    return Raw(type, body);
  }
  std::vector<uint8_t> Finish(int width, int height, uint16_t handles = 16) const {
    std::vector<uint8_t> d;
    Put32(d, 1);
    Put32(d, 88);
    for (int32_t v : {0, 0, width - 1, height - 1}) Put32(d, uint32_t(v));    // bounds
    for (int32_t v : {0, 0, width * 10, height * 10}) Put32(d, uint32_t(v));  // frame
    Put32(d, 0x464D4520);
    Put32(d, 0x10000);
    size_t total = 88 + records_.size() + 20;
    Put32(d, uint32_t(total));
    Put32(d, count_ + 2);
    Put16(d, handles);
    Put16(d, 0);
    Put32(d, 0);
    Put32(d, 0);
    Put32(d, 0);
    for (int32_t v : {1000, 1000, 100, 100}) Put32(d, uint32_t(v));  // device px, mm
    d.insert(d.end(), records_.begin(), records_.end());
    for (uint32_t v : {14u, 20u, 0u, 16u, 20u}) Put32(d, v);  // EMR_EOF
    return d;
  }

 private:
  std::vector<uint8_t> records_;
  uint32_t count_ = 0;
};

// WMF records: 16-bit words, parameters given in file order.
class WmfBuilder {
 public:
  WmfBuilder& Rec(uint16_t function, std::initializer_list<int32_t> words) {
    Put32(records_, uint32_t(3 + words.size()));
    Put16(records_, function);
    for (int32_t w : words) Put16(records_, uint32_t(w) & 0xFFFF);
    return *this;
  }
  // A record with raw parameter bytes (padded to a word).
  WmfBuilder& Raw(uint16_t function, std::vector<uint8_t> params) {
    if (params.size() % 2) params.push_back(0);
    Put32(records_, uint32_t(3 + params.size() / 2));
    Put16(records_, function);
    records_.insert(records_.end(), params.begin(), params.end());
    return *this;
  }
  // Placeable file with the bounding box in units of `inch` per inch.
  std::vector<uint8_t> Finish(bool placeable, int16_t right, int16_t bottom, uint16_t inch,
                              uint16_t objects = 8) const {
    std::vector<uint8_t> d;
    if (placeable) {
      Put32(d, 0x9AC6CDD7);
      Put16(d, 0);
      for (int16_t v : {int16_t(0), int16_t(0), right, bottom}) Put16(d, uint16_t(v));
      Put16(d, inch);
      Put32(d, 0);
      uint16_t sum = 0;
      for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(d[i] | (d[i + 1] << 8));
      Put16(d, sum);
    }
    size_t words = 9 + records_.size() / 2 + 3;
    Put16(d, 1);
    Put16(d, 9);
    Put16(d, 0x300);
    Put32(d, uint32_t(words));
    Put16(d, objects);
    Put32(d, 0);
    Put16(d, 0);
    d.insert(d.end(), records_.begin(), records_.end());
    Put32(d, 3);
    Put16(d, 0);
    return d;
  }

 private:
  std::vector<uint8_t> records_;
};

// A packed 24-bit bottom-up DIB of 2 x 2 pixels: top row red, white; bottom
// row blue, green.  Header followed by the rows.
inline std::vector<uint8_t> Dib2x2() {
  std::vector<uint8_t> d;
  Put32(d, 40);
  Put32(d, 2);
  Put32(d, 2);
  Put16(d, 1);
  Put16(d, 24);
  for (int i = 0; i < 6; ++i) Put32(d, 0);
  // Bottom row first: blue, green (B, G, R bytes), padded to 8 bytes.
  for (uint8_t b : {255, 0, 0, 0, 255, 0, 0, 0}) d.push_back(b);
  for (uint8_t b : {0, 0, 255, 255, 255, 255, 0, 0}) d.push_back(b);
  return d;
}

}  // namespace pictavo::test
