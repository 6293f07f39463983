// Dispatch, detection, block headers and registry formats of TPictavoIO,
// driven by small fake codecs registered for the test and removed after.
#include "io/pictavoio.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/codec_table.h"
#include "formats/registry.h"
#include "platform/exceptions.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

// Fake image format: "FAKE", width, height (int32 LE), then pf24bit rows.
// The writer stores the APP13 marker (if any) after the pixels so that the
// JPEG steps around the codec can be checked.
int64_t g_lastBlockSize = -2;
int g_reads = 0;
bool g_failWrite = false;

void PutInt(TStream& s, int32_t v) {
  s.WriteBuffer(&v, 4);
}

void FakeWrite(TStream& s, TBitmap& bmp, TIOParamsVals& params, TProgressRec& progress) {
  if (g_failWrite) {
    s.WriteBuffer("FA", 2);
    progress.Abort();
    return;
  }
  s.WriteBuffer("FAKE", 4);
  PutInt(s, bmp.GetWidth());
  PutInt(s, bmp.GetHeight());
  for (int y = 0; y < bmp.GetHeight(); ++y) s.WriteBuffer(bmp.ScanLine(y), bmp.GetWidth() * 3);
  int app13 = params.JPEG_MarkerList.IndexOf(237);
  int32_t len = app13 >= 0 ? params.JPEG_MarkerList.GetMarkerLength(app13) : 0;
  PutInt(s, len);
  if (len) s.WriteBuffer(params.JPEG_MarkerList.GetMarkerData(app13), len);
  progress.Report(100);
}

void FakeRead(TStream& s, TBitmap* bmp, TIOParamsVals& params, TProgressRec& progress, bool preview,
              int64_t blockSize) {
  ++g_reads;
  g_lastBlockSize = blockSize;
  char tag[4];
  int32_t w = 0, h = 0;
  if (s.Read(tag, 4) != 4 || std::memcmp(tag, "FAKE", 4) != 0 || s.Read(&w, 4) != 4 ||
      s.Read(&h, 4) != 4 || w <= 0 || h <= 0 || w > 64 || h > 64) {
    progress.Abort();
    return;
  }
  params.Width = w;
  params.Height = h;
  if (preview) {
    s.Seek(int64_t(w) * h * 3, soCurrent);
  } else {
    bmp->SetPixelFormat(pf24bit);
    bmp->SetSize(w, h);
    for (int y = 0; y < h; ++y)
      if (s.Read(bmp->ScanLine(y), w * 3) != w * 3) {
        progress.Abort();
        return;
      }
  }
  int32_t len = 0;
  if (s.Read(&len, 4) == 4 && len > 0 && len < 65536) {
    std::vector<uint8_t> data(len);
    if (s.Read(data.data(), len) == len) params.JPEG_MarkerList.AddMarker(237, data.data(), len);
  }
  progress.Report(100);
}

bool FakeTry(TStream& s) {
  char tag[4];
  bool ok = s.Read(tag, 4) == 4 && std::memcmp(tag, "FAKE", 4) == 0;
  s.Seek(-4, soCurrent);
  return ok;
}

void FakeReadGif(TStream& s, TBitmap* bmp, TIOParamsVals& params, TProgressRec& progress,
                 bool preview, int64_t blockSize) {
  FakeRead(s, bmp, params, progress, preview, blockSize);
  params.GIF_Transparent = true;
  params.GIF_TranspColor = TRGB{0x30, 0x20, 0x10};
  params.GIF_Background = TRGB{1, 2, 3};
}

// Installs fake codecs for some keys and restores the table afterwards.
class CodecGuard {
 public:
  void Set(int32_t key, const TBuiltinCodec& codec) {
    const TBuiltinCodec* old = PVBuiltinCodec(key);
    saved_.push_back({key, old ? *old : TBuiltinCodec{}});
    PVRegisterBuiltinCodec(key, codec);
  }
  ~CodecGuard() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      PVRegisterBuiltinCodec(it->first, it->second);
  }

 private:
  std::vector<std::pair<int32_t, TBuiltinCodec>> saved_;
};

const TBuiltinCodec kFake{FakeRead, FakeWrite, FakeTry};

void FillPattern(TBitmap& bmp, int w, int h) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 3; ++x) bmp.ScanLine(y)[x] = static_cast<uint8_t>(x * 7 + y * 31 + 1);
}

bool SamePixels(TBitmap& a, TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (int y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), a.GetWidth() * 3) != 0) return false;
  return true;
}

class IOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("pictavo_io_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    g_failWrite = false;
    g_reads = 0;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) { return (dir_ / name).string(); }
  static void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(bytes.data(), bytes.size());
  }
  std::filesystem::path dir_;
};

TMemoryStream StreamOf(const std::vector<uint8_t>& bytes) {
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), bytes.size());
  m.SetPosition(0);
  return m;
}

std::vector<uint8_t> Bytes(const std::string& head, size_t total) {
  std::vector<uint8_t> v(total, 0x55);
  std::memcpy(v.data(), head.data(), std::min(head.size(), total));
  return v;
}

TEST(FindStreamFormatTest, SizeThresholdsOfTheSignatures) {
  struct Case {
    std::string head;
    size_t size;
    int32_t key;
  } cases[] = {
      {"GIF89a", 13, 0},
      {"GIF89a", 14, ftGIF},
      {"BM", 14, 0},
      {"BM", 15, ftBMP},
      {std::string("JFIF\0", 5), 12, 0},
      {std::string("JFIF\0", 5), 13, ftJPEG},
      {"JFIFX", 20, 0},
      {std::string("PCX2\0", 5), 13, ftPCX},
      {std::string("PCX\0", 4), 5, ftPCX},
      {std::string("PCX\0", 4), 4, 0},
      {std::string("TIFF\0", 5), 13, ftTIFF},
      {"II*", 9, ftTIFF},
      {"MM", 8, 0},
      {"MM", 9, ftTIFF},
      {"\x0A\x05", 129, ftPCX},
      {"\x0A\x05", 128, 0},
      {"\x0A\x06", 200, 0},
      {"xyz", 300, 0},
  };
  for (const Case& c : cases) {
    TMemoryStream m = StreamOf(Bytes(c.head, c.size));
    EXPECT_EQ(FindStreamFormat(m), c.key) << c.head << " / " << c.size;
    EXPECT_EQ(m.GetPosition(), 0);
  }
}

TEST(FindStreamFormatTest, CountsFromThePositionAndRestoresIt) {
  std::vector<uint8_t> bytes = Bytes("xxxGIF89a", 3 + 14);
  TMemoryStream m = StreamOf(bytes);
  m.SetPosition(3);
  EXPECT_EQ(FindStreamFormat(m), ftGIF);
  EXPECT_EQ(m.GetPosition(), 3);
  // 13 bytes after the position are too few, whatever precedes them.
  bytes.pop_back();
  TMemoryStream n = StreamOf(bytes);
  n.SetPosition(3);
  EXPECT_EQ(FindStreamFormat(n), 0);
}

TEST(FindStreamFormatTest, DetectorsRunInOrder) {
  CodecGuard guard;
  guard.Set(ftJPEG, TBuiltinCodec{nullptr, nullptr, FakeTry});
  // The JPEG detector comes before the byte tests...
  TMemoryStream m = StreamOf(Bytes("FAKE", 20));
  EXPECT_EQ(FindStreamFormat(m), ftJPEG);
  // ...and a registered detector before everything.
  TPVFileFormatInfo info;
  info.FileType = 4242;
  info.Extensions = "fk";
  info.TryFunction = FakeTry;
  PVFileFormatAdd(info);
  EXPECT_EQ(FindStreamFormat(m), 4242);
  PVFileFormatRemove(4242);
  EXPECT_EQ(FindStreamFormat(m), ftJPEG);
  EXPECT_EQ(m.GetPosition(), 0);
}

bool ThrowingTry(TStream&) {
  throw EReadError("broken");
}

TEST(FindStreamFormatTest, AnExceptionEndsTheTests) {
  TPVFileFormatInfo info;
  info.FileType = 4243;
  info.TryFunction = ThrowingTry;
  PVFileFormatAdd(info);
  TMemoryStream m = StreamOf(Bytes("BM", 40));
  m.SetPosition(0);
  EXPECT_EQ(FindStreamFormat(m), 0);
  EXPECT_EQ(m.GetPosition(), 0);
  PVFileFormatRemove(4243);
  EXPECT_EQ(FindStreamFormat(m), ftBMP);
}

TEST(RegistryTest, ExtensionsOfTheTargaRow) {
  EXPECT_EQ(PVFileFormatGetExt(ftTGA, 5), "PIX");
  EXPECT_EQ(PVFileFormatGetExtCount(ftTGA), 6);
  EXPECT_EQ(PVFileFormatGetExt(ftTGA, 6), "");
  EXPECT_EQ(PVFileFormatGetExt(ftJPEG, 2), "JPE");
}

TEST_F(IOTest, FindFileFormatVerifiesTheExtension) {
  std::string bmpAsPng = Path("picture.png");
  WriteFile(bmpAsPng, Bytes("BM", 64));
  EXPECT_EQ(FindFileFormat(bmpAsPng, false), ftBMP);
  EXPECT_EQ(FindFileFormat(bmpAsPng, true), 0);
  std::string dib = Path("picture.DIB");
  WriteFile(dib, Bytes("BM", 64));
  EXPECT_EQ(FindFileFormat(dib, true), ftBMP);
  EXPECT_EQ(FindFileFormat(Path("missing.bmp"), false), 0);
}

TEST_F(IOTest, JpeLoadsButDoesNotSave) {
  CodecGuard guard;
  guard.Set(ftJPEG, kFake);
  TBitmap source, target;
  FillPattern(source, 5, 3);
  TPictavoIO io;
  io.SetAttachedBitmap(&source);
  io.SaveToFile(Path("a.jpg"));
  ASSERT_FALSE(io.Aborting);
  std::filesystem::rename(Path("a.jpg"), Path("a.jpe"));

  TPictavoIO in;
  in.SetAttachedBitmap(&target);
  in.LoadFromFile(Path("a.jpe"));
  EXPECT_FALSE(in.Aborting);
  EXPECT_EQ(in.IOParams().FileType, ftJPEG);
  EXPECT_EQ(in.IOParams().FileName, Path("a.jpe"));
  EXPECT_TRUE(SamePixels(source, target));
  EXPECT_TRUE(target.GetModified());

  for (const char* name : {"b.jpe", "b.dib", "b.targa", "b.unknownext"}) {
    in.SaveToFile(Path(name));
    EXPECT_TRUE(in.Aborting) << name;
    EXPECT_FALSE(std::filesystem::exists(Path(name))) << name;
  }
}

TEST_F(IOTest, MissingCodecSetsAborting) {
  CodecGuard guard;
  guard.Set(ftJPEG, TBuiltinCodec{});
  WriteFile(Path("x.jpg"), Bytes("FAKE", 40));
  TBitmap target;
  TPictavoIO io;
  io.SetAttachedBitmap(&target);
  io.LoadFromFile(Path("x.jpg"));
  EXPECT_TRUE(io.Aborting);
  // An extension nobody knows: Aborting, and FileName/FileType cleared.
  io.IOParams().FileName = "old";
  io.IOParams().FileType = 5;
  WriteFile(Path("x.zzz"), Bytes("FAKE", 40));
  io.LoadFromFile(Path("x.zzz"));
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(io.IOParams().FileName, "");
  EXPECT_EQ(io.IOParams().FileType, 0);
  // The TGA row lists PIX, but loading by extension does not dispatch it.
  io.LoadFromFile(Path("x.pix"));
  EXPECT_TRUE(io.Aborting);
  // A key without a format.
  TMemoryStream m = StreamOf(Bytes("FAKE", 40));
  io.LoadFromStreamFormat(m, 777);
  EXPECT_TRUE(io.Aborting);
}

TEST_F(IOTest, NothingHappensWithoutATarget) {
  CodecGuard guard;
  guard.Set(ftBMP, kFake);
  TPictavoIO io;
  io.Aborting = true;
  io.LoadFromFile(Path("never-opened.bmp"));  // would raise if it opened the file
  EXPECT_FALSE(io.Aborting);
  io.Aborting = true;
  io.SaveToFile(Path("never-created.bmp"));
  EXPECT_FALSE(io.Aborting);
  EXPECT_FALSE(std::filesystem::exists(Path("never-created.bmp")));
  EXPECT_EQ(g_reads, 0);
}

TEST_F(IOTest, OpenErrorsPropagateFromLoads) {
  TBitmap target;
  TPictavoIO io;
  io.SetAttachedBitmap(&target);
  EXPECT_THROW(io.LoadFromFile(Path("missing.bmp")), EFOpenError);
}

TEST_F(IOTest, SetAttachedBitmap) {
  TBitmap a, b;
  TPictavoIO io;
  io.SetAttachedBitmap(&a);
  EXPECT_EQ(io.GetAttachedBitmap(), &a);
  io.SetAttachedBitmap(&b);
  EXPECT_EQ(io.GetAttachedBitmap(), &b);
  EXPECT_EQ(io.GetAttachedPictavo(), nullptr);
  EXPECT_EQ(io.GetAttachedTImage(), nullptr);
  // With only a bare bitmap attached, null detaches it.
  io.SetAttachedBitmap(nullptr);
  EXPECT_EQ(io.GetAttachedBitmap(), nullptr);
}

TEST_F(IOTest, BlockSizesPassedToTheReaders) {
  CodecGuard guard;
  guard.Set(ftBMP, kFake);
  guard.Set(ftPCX, kFake);
  guard.Set(ftPNG, kFake);
  TBitmap source, target;
  FillPattern(source, 4, 4);
  TPictavoIO io;
  io.SetAttachedBitmap(&source);
  io.SaveToFile(Path("s.bmp"));
  int64_t size = std::filesystem::file_size(Path("s.bmp"));
  io.SetAttachedBitmap(&target);
  io.LoadFromFile(Path("s.bmp"));
  EXPECT_EQ(g_lastBlockSize, size);
  TMemoryStream m;
  m.WriteBuffer("pad", 3);
  io.SetAttachedBitmap(&source);
  io.SaveToStream(m, ftPCX);
  m.SetPosition(3);
  io.SetAttachedBitmap(&target);
  io.LoadFromStreamPCX(m);
  EXPECT_FALSE(io.Aborting);
  EXPECT_EQ(g_lastBlockSize, m.GetSize() - 3);  // the bytes after the position
  m.SetPosition(3);
  io.LoadFromStreamBMP(m);
  EXPECT_EQ(g_lastBlockSize, -1);
  io.LoadFromFile(Path("s.bmp"));
  io.SaveToFile(Path("s.png"));
  io.LoadFromFile(Path("s.png"));
  EXPECT_EQ(g_lastBlockSize, -1);
  EXPECT_TRUE(SamePixels(source, target));
}

TEST_F(IOTest, PcxStreamBlockHeader) {
  CodecGuard guard;
  guard.Set(ftPCX, kFake);
  TBitmap source, target;
  FillPattern(source, 6, 2);
  TPictavoIO io;
  io.SetStreamHeaders(true);
  io.SetAttachedBitmap(&source);
  TMemoryStream m;
  io.SaveToStreamPCX(m);
  ASSERT_FALSE(io.Aborting);
  const int64_t data = 12 + 6 * 2 * 3 + 4;
  ASSERT_EQ(m.GetSize(), 12 + data);
  EXPECT_EQ(m.GetPosition(), m.GetSize());
  const uint8_t* p = m.Memory();
  EXPECT_EQ(std::memcmp(p, "PCX2\0\0\0\0", 8), 0);
  EXPECT_EQ(p[8] | (p[9] << 8) | (p[10] << 16) | (p[11] << 24), data);
  m.WriteBuffer("trailing", 8);
  m.SetPosition(0);
  EXPECT_EQ(FindStreamFormat(m), ftPCX);

  TPictavoIO in;
  in.SetStreamHeaders(true);
  in.SetAttachedBitmap(&target);
  in.LoadFromStream(m);
  EXPECT_FALSE(in.Aborting);
  EXPECT_EQ(in.IOParams().FileType, ftPCX);
  EXPECT_EQ(g_lastBlockSize, data);
  EXPECT_EQ(m.GetPosition(), 12 + data);  // at the block's end, not the stream's
  EXPECT_TRUE(SamePixels(source, target));

  // A "PCX" tag of another kind: a 4-byte header, then the image.
  TMemoryStream old;
  old.WriteBuffer("PCX1", 4);
  m.SetPosition(12);
  old.CopyFrom(m, data);
  old.SetPosition(0);
  target.SetSize(0, 0);
  in.LoadFromStreamPCX(old);
  EXPECT_FALSE(in.Aborting);
  EXPECT_TRUE(SamePixels(source, target));
  // Anything else is refused without calling the reader.
  g_reads = 0;
  TMemoryStream bad = StreamOf(Bytes("PXC2", 40));
  in.LoadFromStreamPCX(bad);
  EXPECT_TRUE(in.Aborting);
  EXPECT_EQ(g_reads, 0);
}

TEST_F(IOTest, FailedPcxWriteLeavesThePlaceholder) {
  CodecGuard guard;
  guard.Set(ftPCX, kFake);
  g_failWrite = true;
  TBitmap source;
  FillPattern(source, 2, 2);
  TPictavoIO io;
  io.SetStreamHeaders(true);
  io.SetAttachedBitmap(&source);
  TMemoryStream m;
  io.SaveToStreamPCX(m);
  EXPECT_TRUE(io.Aborting);
  ASSERT_GE(m.GetSize(), 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(m.Memory()[i], 0) << i;
}

TEST_F(IOTest, TiffStreamHeaderIsRequired) {
  CodecGuard guard;
  guard.Set(ftTIFF, kFake);
  TBitmap source, target;
  FillPattern(source, 3, 3);
  TPictavoIO io;
  io.SetStreamHeaders(true);
  io.SetAttachedBitmap(&source);
  TMemoryStream m;
  io.SaveToStreamTIFF(m);
  EXPECT_EQ(std::memcmp(m.Memory(), "TIFF\0\0\0\0", 8), 0);
  m.SetPosition(0);
  io.SetAttachedBitmap(&target);
  io.LoadFromStreamTIFF(m);
  EXPECT_FALSE(io.Aborting);
  EXPECT_EQ(m.GetPosition(), m.GetSize());
  EXPECT_TRUE(SamePixels(source, target));

  g_reads = 0;
  TMemoryStream plain = StreamOf(Bytes("FAKE", 60));
  io.LoadFromStreamTIFF(plain);
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(g_reads, 0);
  // Without headers the same stream goes straight to the reader.
  io.SetStreamHeaders(false);
  plain.SetPosition(0);
  io.LoadFromStreamTIFF(plain);
  EXPECT_EQ(g_reads, 1);
}

TEST_F(IOTest, JfifHeaderIsSkippedWheneverPresent) {
  CodecGuard guard;
  guard.Set(ftJPEG, kFake);
  TBitmap source, target;
  FillPattern(source, 3, 2);
  TPictavoIO out;
  out.SetStreamHeaders(true);
  out.SetAttachedBitmap(&source);
  TMemoryStream m;
  out.SaveToStreamJpeg(m);
  EXPECT_EQ(std::memcmp(m.Memory(), "JFIF\0\0\0\0", 8), 0);
  m.WriteBuffer("tail", 4);
  m.SetPosition(0);
  TPictavoIO in;  // StreamHeaders false
  in.SetAttachedBitmap(&target);
  in.LoadFromStreamJpeg(m);
  EXPECT_FALSE(in.Aborting);
  EXPECT_EQ(m.GetPosition(), m.GetSize() - 4);
  EXPECT_TRUE(SamePixels(source, target));
  // No header: read from the position.
  TMemoryStream bare;
  out.SetStreamHeaders(false);
  out.SaveToStreamJpeg(bare);
  bare.SetPosition(0);
  target.SetSize(0, 0);
  in.LoadFromStreamJpeg(bare);
  EXPECT_FALSE(in.Aborting);
  EXPECT_TRUE(SamePixels(source, target));
}

TEST_F(IOTest, IptcTravelsInTheApp13Marker) {
  CodecGuard guard;
  guard.Set(ftJPEG, kFake);
  TBitmap source, target;
  FillPattern(source, 2, 2);
  TPictavoIO out;
  out.SetAttachedBitmap(&source);
  out.IOParams().IPTC_Info.AddStringItem(2, 120, "a caption");
  out.IOParams().IPTC_Info.SetUserChanged(false);
  TMemoryStream unchanged;
  out.SaveToStreamJpeg(unchanged);  // not marked as changed: no marker
  EXPECT_EQ(out.IOParams().JPEG_MarkerList.IndexOf(237), -1);

  out.IOParams().IPTC_Info.SetUserChanged(true);
  out.IOParams().JPEG_MarkerList.AddMarker(237, "old", 3);
  TMemoryStream m;
  out.SaveToStreamJpeg(m);
  EXPECT_EQ(out.IOParams().JPEG_MarkerList.GetCount(), 1);  // replaced, not appended
  m.SetPosition(0);
  TPictavoIO in;
  in.SetAttachedBitmap(&target);
  in.IOParams().IPTC_Info.AddStringItem(2, 5, "stale");
  in.LoadFromStream(m);
  ASSERT_FALSE(in.Aborting);
  ASSERT_EQ(in.IOParams().IPTC_Info.GetCount(), 1);
  EXPECT_EQ(in.IOParams().IPTC_Info.GetStrings(0), "a caption");
  EXPECT_EQ(in.IOParams().IPTC_Info.GetDataSet(0), 120);
  // Reading only the parameters fills the IPTC list too, and leaves the target alone.
  TBitmap untouched;
  TPictavoIO params;
  params.SetAttachedBitmap(&untouched);
  m.SetPosition(0);
  params.ParamsFromStream(m);
  EXPECT_EQ(params.IOParams().FileType, ftJPEG);
  ASSERT_EQ(params.IOParams().IPTC_Info.GetCount(), 1);
  EXPECT_EQ(params.IOParams().IPTC_Info.GetStrings(0), "a caption");
  EXPECT_FALSE(untouched.GetModified());
  EXPECT_EQ(untouched.GetWidth(), 0);
}

TEST_F(IOTest, GifBackgroundAndProgressSender) {
  CodecGuard guard;
  guard.Set(ftGIF, TBuiltinCodec{FakeReadGif, FakeWrite, nullptr});
  TBitmap source, target;
  FillPattern(source, 2, 2);
  TPictavoIO io;
  std::vector<int> reports;
  TObject* sender = nullptr;
  io.OnProgress = [&](TObject* s, int per) {
    sender = s;
    reports.push_back(per);
  };
  io.SetAttachedBitmap(&source);
  TMemoryStream m;
  io.SaveToStreamGif(m);
  m.SetPosition(0);
  io.SetAttachedBitmap(&target);
  io.LoadFromStreamGif(m);
  EXPECT_EQ(io.GetBackground(), TColor(0x302010));  // the transparent colour, as TColor
  EXPECT_EQ(sender, &io);
  EXPECT_EQ(reports, (std::vector<int>{100, 100}));
  EXPECT_EQ(io.IOParams().FileName, "");
  io.Clear();
  EXPECT_EQ(target.GetPixel(1, 1), TColor(0x302010));
}

TEST_F(IOTest, SaveConvertsOtherFormatsToTrueColour) {
  CodecGuard guard;
  guard.Set(ftBMP, kFake);
  TBitmap source(3, 3, pf8bit);
  TPictavoIO io;
  io.SetAttachedBitmap(&source);
  TMemoryStream m;
  io.SaveToStreamBMP(m);
  EXPECT_EQ(source.GetPixelFormat(), pf24bit);
}

TEST_F(IOTest, ParamsFromFileLeavesTheTarget) {
  CodecGuard guard;
  guard.Set(ftPNG, kFake);
  TBitmap source, target;
  FillPattern(source, 7, 5);
  TPictavoIO io;
  io.SetAttachedBitmap(&source);
  io.SaveToFile(Path("p.png"));
  io.SetAttachedBitmap(&target);
  io.ParamsFromFile(Path("p.png"));
  EXPECT_FALSE(io.Aborting);
  EXPECT_EQ(io.IOParams().FileType, ftPNG);
  EXPECT_EQ(io.IOParams().Width, 7);
  EXPECT_EQ(io.IOParams().Height, 5);
  EXPECT_EQ(io.IOParams().FileName, Path("p.png"));
  EXPECT_EQ(target.GetWidth(), 0);
  // Wrong extension: verification fails and FileType is 0.
  std::filesystem::copy_file(Path("p.png"), Path("p.bmp"));
  io.ParamsFromFile(Path("p.bmp"));
  EXPECT_EQ(io.IOParams().FileType, 0);
  // A missing file is caught.
  io.ParamsFromFileFormat(Path("none.png"), ftPNG);
  EXPECT_EQ(io.IOParams().FileType, 0);
  TMemoryStream m;
  io.SetAttachedBitmap(&source);
  io.SaveToStream(m, ftPNG);
  m.SetPosition(0);
  io.ParamsFromStream(m);
  EXPECT_EQ(io.IOParams().FileType, ftPNG);
  EXPECT_EQ(io.IOParams().FileName, "");
}

TEST_F(IOTest, AssignParamsAcceptsComponentsAndParameters) {
  TPictavoIO a, b;
  a.IOParams().JPEG_Quality = 91;
  b.AssignParams(&a);
  EXPECT_EQ(b.IOParams().JPEG_Quality, 91);
  TIOParamsVals vals;
  vals.JPEG_Quality = 12;
  b.AssignParams(&vals);
  EXPECT_EQ(b.IOParams().JPEG_Quality, 12);
  TBitmap other;
  b.AssignParams(&other);
  EXPECT_EQ(b.IOParams().JPEG_Quality, 12);
}

// A registered format end to end: "RAW1" + width + height + rows.
void RawRead(TStream& s, TBitmap& bmp, TIOParamsVals& params, TProgressRec& progress,
             bool preview) {
  FakeRead(s, &bmp, params, progress, preview, -1);
}
void RawWrite(TStream& s, TBitmap& bmp, TIOParamsVals& params, TProgressRec& progress) {
  FakeWrite(s, bmp, params, progress);
}

TEST_F(IOTest, RegistryFormatEndToEnd) {
  TPVFileFormatInfo info;
  info.FileType = 5001;
  info.Description = "Test raw";
  info.Extensions = "TRW;TRAW";
  info.ReadFunction = RawRead;
  info.WriteFunction = RawWrite;
  info.TryFunction = FakeTry;
  PVFileFormatAdd(info);
  TBitmap source, target;
  FillPattern(source, 4, 3);
  TPictavoIO io;
  io.SetAttachedBitmap(&source);
  io.SaveToFile(Path("r.traw"));
  ASSERT_FALSE(io.Aborting);
  io.SetAttachedBitmap(&target);
  io.LoadFromFile(Path("r.traw"));
  EXPECT_FALSE(io.Aborting);
  EXPECT_EQ(io.IOParams().FileType, 5001);
  EXPECT_EQ(io.IOParams().FileName, Path("r.traw"));
  EXPECT_TRUE(SamePixels(source, target));
  EXPECT_EQ(FindFileFormat(Path("r.traw"), true), 5001);
  TMemoryStream m;
  m.LoadFromFile(Path("r.traw"));
  target.SetSize(0, 0);
  io.LoadFromStream(m);
  EXPECT_EQ(io.IOParams().FileType, 5001);
  EXPECT_TRUE(SamePixels(source, target));

  PVFileFormatRemove(5001);
  EXPECT_EQ(PVFileFormatGetInfo(5001), nullptr);
  io.LoadFromFile(Path("r.traw"));
  EXPECT_TRUE(io.Aborting);
  io.SaveToFile(Path("s.traw"));
  EXPECT_TRUE(io.Aborting);
  EXPECT_FALSE(std::filesystem::exists(Path("s.traw")));
}

}  // namespace
}  // namespace pictavo
