// The command line's pure pieces on their own: JSON strings from arbitrary
// bytes, the JPEG quality estimate on real and malformed data, and the
// field checks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "apps/pictavo/field_check.h"
#include "apps/pictavo/info_value.h"
#include "apps/pictavo/jpeg_quality.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

TEST(CliJsonTest, InvalidUtf8BecomesReplacementCharacters) {
  const std::string kFFFD = "\xEF\xBF\xBD";
  EXPECT_EQ(JsonString("plain"), "\"plain\"");
  EXPECT_EQ(JsonString("a\"b\\c\n\x7F"), "\"a\\\"b\\\\c\\u000a\\u007f\"");
  EXPECT_EQ(ValidUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
            "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(ValidUtf8("\xC0\xAF"), kFFFD + kFFFD);                          // overlong '/'
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), kFFFD + kFFFD + kFFFD);              // a surrogate
  EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80"), kFFFD + kFFFD + kFFFD + kFFFD);  // above U+10FFFF
  EXPECT_EQ(ValidUtf8("ab\xE2\x82"), "ab" + kFFFD + kFFFD);                 // cut short at the end
  EXPECT_EQ(ValidUtf8("\xE0\x9F\xBF"), kFFFD + kFFFD + kFFFD);              // overlong three bytes
}

TEST(CliJsonTest, ValuesKeepTheirTypes) {
  EXPECT_EQ(InfoValue::Int(-42).json, "-42");
  EXPECT_EQ(InfoValue::Num(0.004).json, "0.004");
  EXPECT_EQ(InfoValue::Num(2.2).json, "2.2");
  EXPECT_EQ(InfoValue::Bool(true).json, "true");
  EXPECT_EQ(InfoValue::List({InfoValue::Int(1), InfoValue::Str("x")}).json, "[1, \"x\"]");
  EXPECT_EQ(InfoValue::List({}).json, "[]");
  EXPECT_EQ(InfoValue::Object({{"a", InfoValue::Int(1)}, {"b\xFF", InfoValue::Bool(false)}}).json,
            "{\"a\": 1, \"b\xEF\xBF\xBD\": false}");
  // JSON has no NaN: a string stands in.
  EXPECT_EQ(InfoValue::Num(std::nan("")).json, "\"NaN\"");
}

std::string JpegBytes(int quality) {
  TBitmap b(24, 16, pf24bit);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) b.SetPixel(x, y, (x * 10) | ((y * 15) << 8));
  TPictavoIO io;
  io.SetAttachedBitmap(&b);
  io.IOParams().JPEG_Quality = quality;
  TMemoryStream s;
  io.SaveToStream(s, ftJPEG);
  EXPECT_FALSE(io.Aborting);
  return std::string(reinterpret_cast<const char*>(s.Memory()), static_cast<size_t>(s.GetSize()));
}

std::optional<int> Estimate(const std::string& bytes) {
  return EstimateJpegQuality(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(CliJpegQualityTest, TheQualityLibjpegWroteIsFoundExactly) {
  for (int quality : {1, 10, 25, 49, 50, 51, 75, 90, 99, 100}) {
    // Above 97 or so several qualities give all-ones tables; the first wins.
    const std::optional<int> found = Estimate(JpegBytes(quality));
    ASSERT_TRUE(found.has_value()) << quality;
    if (quality < 98)
      EXPECT_EQ(*found, quality);
    else
      EXPECT_GE(*found, 98);
  }
}

TEST(CliJpegQualityTest, MalformedDataGivesNoEstimateAndNoCrash) {
  const std::string good = JpegBytes(60);
  EXPECT_FALSE(Estimate("").has_value());
  EXPECT_FALSE(Estimate("\xFF\xD8").has_value());
  EXPECT_FALSE(Estimate("not a jpeg at all").has_value());
  // Every truncation: an estimate only once the whole luminance table is in.
  for (size_t n = 0; n < 200 && n < good.size(); ++n) {
    const std::optional<int> q = Estimate(good.substr(0, n));
    if (q) {
      EXPECT_EQ(*q, 60) << n;
    }
  }
  // A DQT whose length runs past the data, and one whose table overruns its
  // own segment.
  EXPECT_FALSE(Estimate(std::string("\xFF\xD8\xFF\xDB\xFF\xFF\x00", 7)).has_value());
  std::string shortSegment("\xFF\xD8\xFF\xDB\x00\x10\x00", 7);
  shortSegment += std::string(14, '\x01');
  EXPECT_FALSE(Estimate(shortSegment).has_value());
}

TEST(CliFieldCheckTest, RangesAndSuggestions) {
  TIOParamsVals p;
  EXPECT_FALSE(SetCheckedField(p, "JPEG_Quality", "100").has_value());
  EXPECT_EQ(p.JPEG_Quality, 100);
  EXPECT_EQ(SetCheckedField(p, "JPEG_Quality", "101").value_or(""),
            "JPEG_Quality must be 1 to 100, got 101");
  EXPECT_EQ(p.JPEG_Quality, 100);  // a refused value changes nothing
  EXPECT_FALSE(SetCheckedField(p, "GIF_ImageIndex", "0").has_value());
  EXPECT_EQ(SetCheckedField(p, "GIF_ImageIndex", "-1").value_or(""),
            "GIF_ImageIndex must be 0 or more, got -1");
  EXPECT_FALSE(SetCheckedField(p, "TIFF_Compression", "ioTIFF_LZW").has_value());
  EXPECT_EQ(p.TIFF_Compression, ioTIFF_LZW);
  const std::vector<std::string> near = NearestFieldNames("tiff_compresion");
  ASSERT_FALSE(near.empty());
  EXPECT_EQ(near[0], "TIFF_Compression");
  EXPECT_TRUE(NearestFieldNames("zzzzzzzzzzzz").empty());
  EXPECT_NE(SetCheckedField(p, "LZW", "1").value_or("").find("unknown field \"LZW\""),
            std::string::npos);
}

}  // namespace
}  // namespace pictavo::cli
