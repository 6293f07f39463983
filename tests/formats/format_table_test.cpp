// The format descriptions and what is derived from them: registry rows,
// extension dispatch for loads and saves, and the order of content tests.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "formats/codec_table.h"
#include "formats/registry.h"

namespace pictavo {
namespace {

// The documented extension dispatch of LoadFromFile and SaveToFile.
const std::map<std::string, int32_t> kLoadExtensions = {
    {"jpg", ftJPEG},  {"jpeg", ftJPEG}, {"jpe", ftJPEG}, {"png", ftPNG}, {"tif", ftTIFF},
    {"tiff", ftTIFF}, {"pcx", ftPCX},   {"gif", ftGIF},  {"wmf", ftWMF}, {"emf", ftEMF},
    {"bmp", ftBMP},   {"dib", ftBMP},   {"rle", ftBMP},  {"cur", ftCUR}, {"ico", ftICO},
    {"tga", ftTGA},   {"targa", ftTGA}, {"vda", ftTGA},  {"icb", ftTGA}, {"vst", ftTGA},
    {"win", ftTGA},   {"pxm", ftPXM},   {"ppm", ftPXM},  {"pgm", ftPXM}, {"pbm", ftPXM}};
const std::map<std::string, int32_t> kSaveExtensions = {
    {"jpg", ftJPEG},  {"jpeg", ftJPEG}, {"pcx", ftPCX}, {"gif", ftGIF}, {"tif", ftTIFF},
    {"tiff", ftTIFF}, {"png", ftPNG},   {"bmp", ftBMP}, {"tga", ftTGA}, {"pxm", ftPXM},
    {"pbm", ftPXM},   {"pgm", ftPXM},   {"ppm", ftPXM}};

TEST(FormatTable, ExtensionDispatchFollowsTheDescriptions) {
  std::set<std::string> every;
  for (const TPVFormatDef* def : PVBuiltinFormats())
    for (const TPVFormatExt& ext : def->Extensions) {
      std::string lower;
      for (const char* c = ext.Ext; *c; ++c)
        lower += char(std::tolower(static_cast<unsigned char>(*c)));
      every.insert(lower);
    }
  every.insert("xyz");
  for (const std::string& ext : every) {
    auto load = kLoadExtensions.find(ext);
    auto save = kSaveExtensions.find(ext);
    EXPECT_EQ(PVBuiltinKeyOfExtension(ext, pvExtLoad),
              load == kLoadExtensions.end() ? 0 : load->second)
        << ext;
    EXPECT_EQ(PVBuiltinKeyOfExtension(ext, pvExtSave),
              save == kSaveExtensions.end() ? 0 : save->second)
        << ext;
  }
  EXPECT_EQ(PVBuiltinKeyOfExtension("TiFf", pvExtSave), ftTIFF);  // any case
  EXPECT_EQ(PVBuiltinKeyOfExtension("pix", pvExtLoad), 0);        // listed only
  EXPECT_EQ(PVBuiltinKeyOfExtension("pix", pvExtListed), ftTGA);
  EXPECT_EQ(PVBuiltinKeyOfExtension("", pvExtLoad), 0);
}

TEST(FormatTable, RegistryRowsAreTheListedExtensions) {
  ASSERT_EQ(PVBuiltinFormats().size(), 12u);
  int32_t key = 0;
  for (const TPVFormatDef* def : PVBuiltinFormats()) {
    EXPECT_EQ(def->FileType, ++key);  // registry order is key order
    EXPECT_EQ(PVBuiltinFormat(def->FileType), def);
    const TPVFileFormatInfo* info = PVFileFormatGetInfo(def->FileType);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Description, def->Description);
    int listed = 0;
    for (const TPVFormatExt& ext : def->Extensions)
      if (ext.Use & pvExtListed) {
        EXPECT_EQ(PVFileFormatGetExt(def->FileType, listed++), ext.Ext);
      }
    EXPECT_EQ(PVFileFormatGetExtCount(def->FileType), listed);
  }
  EXPECT_EQ(PVFileFormatGetInfo(ftTGA)->Extensions, "TGA;TARGA;VDA;ICB;VST;PIX");
  EXPECT_EQ(PVBuiltinFormat(13), nullptr);
}

TEST(FormatTable, ContentTestsHaveOneOrderAndCodecsStartAsDescribed) {
  std::set<int> ranks;
  for (const TPVFormatDef* def : PVBuiltinFormats()) {
    for (const TPVSignature& s : def->Signatures) {
      EXPECT_TRUE(ranks.insert(s.Rank).second) << def->Description << " rank " << s.Rank;
      if (!s.Match) {
        EXPECT_NE(def->Codec.Try, nullptr) << def->Description;
      }
    }
    // Formats with a reader can be found by content; metafiles have neither.
    EXPECT_EQ(def->Signatures.empty(), def->Codec.Read == nullptr) << def->Description;
    EXPECT_EQ(def->Metafile, def->Codec.Read == nullptr) << def->Description;
    if (def->Codec.Read) {
      const TBuiltinCodec* codec = PVBuiltinCodec(def->FileType);
      ASSERT_NE(codec, nullptr);
      EXPECT_EQ(codec->Read, def->Codec.Read);
      EXPECT_EQ(codec->Write, def->Codec.Write);
    }
  }
  // Block headers in streams: TIFF, PCX and JPEG only.
  EXPECT_STREQ(PVBuiltinFormat(ftTIFF)->BlockTag, "TIFF");
  EXPECT_STREQ(PVBuiltinFormat(ftPCX)->BlockTag, "PCX2");
  EXPECT_STREQ(PVBuiltinFormat(ftJPEG)->BlockTag, "JFIF");
  EXPECT_EQ(PVBuiltinFormat(ftBMP)->BlockTag, nullptr);
}

TEST(FormatTable, HeadText) {
  const uint8_t head[kPVSignatureHead] = {'P', 'C', 'X', '2', 0, 'Z'};
  EXPECT_EQ(PVHeadText(head, 5), "PCX2");
  EXPECT_EQ(PVHeadText(head, 3), "PCX");
  EXPECT_EQ(PVHeadText(head, 16), "PCX2");
}

}  // namespace
}  // namespace pictavo
