// Hidden data: capacity, the carrier layout bit by bit, parity rules at 0
// and 255, partial reads, rows that carry nothing in their last two bytes,
// headers spanning rows, and images that hold no hidden data.
#include "processing/hidden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "processing/pictavoproc.h"
#include "tests/processing/ops_test_util.h"

namespace pictavo {
namespace {

using testutil::Clone;
using testutil::FirstDifference;
using testutil::Make24;
using testutil::RandomImage;
using testutil::Rgb;

TEST(HiddenData, Capacity) {
  EXPECT_EQ(_GetHiddenDataSpace(*Make24(10, 10)), 27);  // (28 * 10) div 8 - 8
  EXPECT_EQ(_GetHiddenDataSpace(*Make24(5, 20)), 24);   // (13 * 20) div 8 - 8
  EXPECT_EQ(_GetHiddenDataSpace(*Make24(1, 1)), -8);    // 1 div 8 - 8
  EXPECT_EQ(_GetHiddenDataSpace(TBitmap(10, 10, pf1bit)), 0);
}

TEST(HiddenData, CarrierLayoutBitByBit) {
  // Width 4: 10 carrier bytes per row.  Stream bit k lands in row k div 10,
  // byte k mod 10.  Length 1 sets bit 32 (row 3, byte 2); the data byte 0xA5
  // sets bits 64, 66, 69, 71: row 6 bytes 4, 6, 9 and row 7 byte 1.
  auto bm = Make24(4, 9);
  const uint8_t data = 0xA5;
  EXPECT_EQ(_WriteHiddenData(*bm, &data, 1), 1);
  for (int y = 0; y < 9; ++y)
    for (int i = 0; i < 12; ++i) {
      const bool one =
          (y == 3 && i == 2) || (y == 6 && (i == 4 || i == 6 || i == 9)) || (y == 7 && i == 1);
      ASSERT_EQ(bm->ScanLine(y)[i], one ? 1 : 0) << y << "," << i;
    }
  uint8_t back = 0;
  EXPECT_EQ(_ReadHiddenData(*bm, &back, 1), 1);
  EXPECT_EQ(back, 0xA5);
}

TEST(HiddenData, ParityAtTheEnds) {
  // All 255: every zero bit makes 254, one bits stay 255.  All 0: one bits
  // make 1.  Data 0xFF then 0x00.
  auto white = Make24(8, 4, Rgb(255, 255, 255));
  const uint8_t data[2] = {0xFF, 0x00};
  _WriteHiddenData(*white, data, 2);
  const uint8_t* row0 = white->ScanLine(0);
  const uint8_t* row3 = white->ScanLine(3);
  EXPECT_EQ(row0[0], 254);  // header bit 0
  EXPECT_EQ(row0[21], 254);
  EXPECT_EQ(row0[22], 255);  // a row's last two bytes are never touched
  EXPECT_EQ(row0[23], 255);
  EXPECT_EQ(white->ScanLine(1)[11], 255);  // bit 33: the length 2
  // Stream bits 64..71 (0xFF) are row 2 bytes 20, 21 and row 3 bytes 0..5;
  // bits 72..79 (0x00) are row 3 bytes 6..13.
  EXPECT_EQ(white->ScanLine(2)[20], 255);
  EXPECT_EQ(row3[5], 255);
  EXPECT_EQ(row3[6], 254);
  EXPECT_EQ(row3[13], 254);
  EXPECT_EQ(row3[14], 255);  // after the end of the stream

  auto black = Make24(8, 4);
  _WriteHiddenData(*black, data, 2);
  EXPECT_EQ(black->ScanLine(3)[5], 1);
  EXPECT_EQ(black->ScanLine(3)[6], 0);
  uint8_t back[2] = {};
  EXPECT_EQ(_ReadHiddenData(*white, back, 2), 2);
  EXPECT_EQ(back[0], 0xFF);
  EXPECT_EQ(back[1], 0x00);
}

TEST(HiddenData, EmptyWritesAndPartialReads) {
  auto bm = RandomImage(10, 10, 1);
  EXPECT_EQ(_WriteHiddenData(*bm, nullptr, 0), 0);
  EXPECT_EQ(_ReadHiddenData(*bm, nullptr, 0), 0);
  EXPECT_EQ(_ReadHiddenText(*bm), "");

  EXPECT_EQ(_WriteHiddenData(*bm, "abc", 3), 3);
  char two[3] = {'x', 'x', 'x'};
  EXPECT_EQ(_ReadHiddenData(*bm, two, 2), 3);
  EXPECT_EQ(two[0], 'a');
  EXPECT_EQ(two[1], 'b');
  EXPECT_EQ(two[2], 'x');
  EXPECT_EQ(_ReadHiddenData(*bm, nullptr, 0), 3);
  char big[8] = {};
  EXPECT_EQ(_ReadHiddenData(*bm, big, 8), 3);  // never more than stored
  EXPECT_STREQ(big, "abc");
  EXPECT_EQ(_ReadHiddenText(*bm), "abc");
}

TEST(HiddenData, FullCapacityChangesLittle) {
  auto bm = RandomImage(10, 10, 2);
  auto before = Clone(*bm);
  std::string text(27, '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char('A' + (i * 7) % 26);
  EXPECT_EQ(_WriteHiddenData(*bm, text.data(), 27), 27);
  for (int y = 0; y < 10; ++y) {
    const uint8_t* a = bm->ScanLine(y);
    const uint8_t* b = before->ScanLine(y);
    EXPECT_EQ(a[28], b[28]) << y;
    EXPECT_EQ(a[29], b[29]) << y;
    for (int i = 0; i < 30; ++i) ASSERT_LE(std::abs(a[i] - b[i]), 1) << y << "," << i;
  }
  EXPECT_EQ(_ReadHiddenText(*bm), text);
}

TEST(HiddenData, NarrowImageHeaderSpansRows) {
  // 5 pixels wide: 13 carrier bytes per row, the header needs 5 rows.
  auto bm = RandomImage(5, 20, 3);
  const std::string text = "0123456789";
  _WriteHiddenData(*bm, text.data(), int(text.size()));
  EXPECT_EQ(_ReadHiddenData(*bm, nullptr, 0), 10);
  EXPECT_EQ(_ReadHiddenText(*bm), text);
}

TEST(HiddenData, WritingPastTheEndStopsSilently) {
  auto bm = RandomImage(4, 9, 4);  // 90 carrier bits: the header and 26 more
  const std::string text(20, 'z');
  EXPECT_EQ(_WriteHiddenData(*bm, text.data(), 20), 20);
  EXPECT_EQ(_ReadHiddenData(*bm, nullptr, 0), 20);
  EXPECT_EQ(_ReadHiddenText(*bm), "");  // 20 exceeds what the image can carry
  // An image smaller than the header reads the bits it has.
  auto tiny = Make24(2, 1);
  const uint8_t one = 1;
  _WriteHiddenData(*tiny, &one, 1);
  EXPECT_EQ(_ReadHiddenData(*tiny, nullptr, 0), 0);
}

TEST(HiddenData, ImagesWithoutHiddenData) {
  // Every byte odd: the length field reads 0xFFFFFFFF = -1.
  auto odd = Make24(10, 10, Rgb(1, 1, 1));
  EXPECT_EQ(_ReadHiddenData(*odd, nullptr, 0), -1);
  char buffer[4] = {'q', 'q', 'q', 'q'};
  EXPECT_EQ(_ReadHiddenData(*odd, buffer, 4), -1);
  EXPECT_EQ(buffer[0], 'q');
  EXPECT_EQ(_ReadHiddenText(*odd), "");

  // A stored length far beyond the capacity: the text is empty, the raw
  // read still reports it.
  auto bm = Make24(10, 10);
  std::vector<uint8_t> header(8, 0);
  header[6] = 0x10;  // length 0x100000
  for (int k = 0; k < 64; ++k)
    bm->ScanLine(k / 28)[k % 28] = (header[size_t(k / 8)] >> (k % 8)) & 1;
  EXPECT_EQ(_ReadHiddenData(*bm, nullptr, 0), 0x100000);
  EXPECT_EQ(_ReadHiddenText(*bm), "");
}

TEST(HiddenData, RefusalsAndFormats) {
  auto bm = RandomImage(10, 10, 5);
  auto before = Clone(*bm);
  EXPECT_EQ(_WriteHiddenData(*bm, "abc", -3), 0);
  EXPECT_EQ(_WriteHiddenData(*bm, nullptr, 3), 0);
  EXPECT_EQ(FirstDifference(*bm, *before), "");

  TBitmap mono(64, 64, pf1bit);
  mono.ScanLine(0)[0] = 0x6C;
  EXPECT_EQ(_WriteHiddenData(mono, "abc", 3), 0);
  EXPECT_EQ(_ReadHiddenData(mono, nullptr, 0), 0);
  EXPECT_EQ(_ReadHiddenText(mono), "");
  EXPECT_EQ(mono.ScanLine(0)[0], 0x6C);
}

}  // namespace
}  // namespace pictavo

// --- Through the processing component ------------------------------------------------

namespace pictavo {
namespace {

TEST(HiddenProc, TextRoundTripWithUndo) {
  auto bm = RandomImage(30, 20, 41);
  auto before = Clone(*bm);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  EXPECT_EQ(proc.GetHiddenDataSpace(), (88 * 20) / 8 - 8);
  EXPECT_EQ(proc.WriteHiddenText("pictavo hides this"), 18);
  EXPECT_EQ(proc.ReadHiddenText(), "pictavo hides this");
  char buffer[7] = {};
  EXPECT_EQ(proc.ReadHiddenData(buffer, 6), 18);
  EXPECT_STREQ(buffer, "pictav");
  ASSERT_TRUE(proc.CanUndo());
  proc.Undo();
  EXPECT_EQ(FirstDifference(*bm, *before), "");

  TBitmap mono(64, 64, pf1bit);
  proc.SetAttachedBitmap(&mono);
  EXPECT_EQ(proc.GetHiddenDataSpace(), 0);
  EXPECT_EQ(proc.WriteHiddenText("x"), 0);
  EXPECT_EQ(proc.ReadHiddenData(nullptr, 0), 0);
  EXPECT_EQ(proc.ReadHiddenText(), "");
  TPictavoProc none;
  EXPECT_EQ(none.GetHiddenDataSpace(), 0);
  EXPECT_EQ(none.WriteHiddenText("x"), 0);
}

}  // namespace
}  // namespace pictavo
