// Geometry value types of the framework stand-in.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace pictavo {

struct TPoint {
  int32_t x = 0;
  int32_t y = 0;
  constexpr TPoint() = default;
  constexpr TPoint(int32_t ax, int32_t ay) : x(ax), y(ay) {}
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// Left and top are inside the rectangle, Right and Bottom just outside.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  constexpr TRect() = default;
  constexpr TRect(int32_t l, int32_t t, int32_t r, int32_t b) : Left(l), Top(t), Right(r), Bottom(b) {}
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return TRect(l, t, r, b); }
constexpr TPoint Point(int32_t x, int32_t y) { return TPoint(x, y); }

// A small set of enumeration members (Pascal's "set of"), members 0..63.
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> members) {
    for (E m : members) bits_ |= Bit(m);
  }
  constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr TSet& Include(E m) { bits_ |= Bit(m); return *this; }
  constexpr TSet& Exclude(E m) { bits_ &= ~Bit(m); return *this; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint64_t Bits() const { return bits_; }
  static constexpr TSet FromBits(uint64_t bits) { TSet s; s.bits_ = bits; return s; }
  friend constexpr bool operator==(const TSet&, const TSet&) = default;

 private:
  static constexpr uint64_t Bit(E m) { return uint64_t(1) << static_cast<unsigned>(m); }
  uint64_t bits_ = 0;
};

}  // namespace pictavo
