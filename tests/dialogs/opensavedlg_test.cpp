#include <gtest/gtest.h>

#include <chrono>

#include "dialog_test_util.h"
#include "dialogs/pvopensavedlg.h"
#include "io/registry.h"

namespace pictavo {
namespace {

using dialogtest::MakeBitmap;
using dialogtest::PixelAt;
using dialogtest::ReadBytes;
using dialogtest::SavePicture;
using dialogtest::TempDir;

// --- Filters and formats -------------------------------------------------------

TEST(PVFileDialogFilter, ParsesEntriesAndPatterns) {
  auto e = PVParseFilter("Images| *.png ; *.JPG |All files|*");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0], (TPVFilterEntry{"Images", {"*.png", "*.JPG"}}));
  EXPECT_EQ(e[1], (TPVFilterEntry{"All files", {"*"}}));
  // A description without patterns, an empty pattern part, a dangling text.
  EXPECT_TRUE(PVParseFilter("Only a description").empty());
  e = PVParseFilter("A||B|*.x|C");
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].Description, "B");
  EXPECT_TRUE(PVParseFilter("").empty());
  EXPECT_TRUE(PVParseFilter("|;;|").empty());
}

TEST(PVFileDialogFilter, MatchesFileNamesIgnoringCase) {
  EXPECT_TRUE(PVFileMatchesPatterns("/photos/Holiday.JPG", {"*.png", "*.jpg"}));
  EXPECT_FALSE(PVFileMatchesPatterns("/photos/holiday.jpeg", {"*.jpg"}));
  EXPECT_TRUE(PVFileMatchesPatterns("scan?.tif", {"scan?.tif"}));
  EXPECT_TRUE(PVFileMatchesPatterns("scan7.tif", {"SCAN?.TIF"}));
  // The folder part does not take part; hidden files need an explicit dot.
  EXPECT_FALSE(PVFileMatchesPatterns("/a.png/readme", {"*.png"}));
  EXPECT_FALSE(PVFileMatchesPatterns("/d/.hidden.png", {"*.png"}));
  EXPECT_FALSE(PVFileMatchesPatterns("/d/", {"*"}));
}

TEST(PVFileDialogFilter, DefaultFiltersFromTheRegistry) {
  auto open = PVParseFilter(PVDefaultOpenFilter());
  auto save = PVParseFilter(PVDefaultSaveFilter());
  ASSERT_FALSE(open.empty());
  ASSERT_FALSE(save.empty());
  auto& all = open[0].Patterns;
  auto has = [](const std::vector<std::string>& p, const char* s) {
    return std::find(p.begin(), p.end(), s) != p.end();
  };
  for (const char* p : {"*.jpg", "*.jpeg", "*.jpe", "*.png", "*.tif", "*.ico", "*.cur", "*.pbm"})
    EXPECT_TRUE(has(all, p)) << p;
  EXPECT_FALSE(has(all, "*.wmf"));  // no metafile player yet
  // One entry per readable format after the combined one.
  EXPECT_EQ(open.size(), PVReadableFormats().size() + 1);
  auto& writable = save[0].Patterns;
  for (const char* p : {"*.jpg", "*.jpeg", "*.png", "*.bmp", "*.gif", "*.tga", "*.ppm"})
    EXPECT_TRUE(has(writable, p)) << p;
  // Icons are read only; ".jpe" and ".dib" are not saved by extension.
  for (const char* p : {"*.ico", "*.cur", "*.jpe", "*.dib"}) EXPECT_FALSE(has(writable, p)) << p;
  EXPECT_EQ(PVWritableFormatOfExtension("JPEG"), ftJPEG);
  EXPECT_EQ(PVWritableFormatOfExtension("pgm"), ftPXM);
  EXPECT_EQ(PVWritableFormatOfExtension("ico"), 0);
  EXPECT_EQ(PVWritableFormatOfExtension(""), 0);
}

// A format added by an application appears with its own extensions.
void DummyRead(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&, bool) {}
void DummyWrite(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&) {}

TEST(PVFileDialogFilter, RegisteredFormatsAreOffered) {
  constexpr int32_t kKey = 901;
  PVFileFormatAdd({kKey, "Demo Raster", "DRS;DRZ", DummyRead, nullptr, nullptr});
  auto readable = PVReadableFormats();
  const TPVPictureFormat* f = PVFindFormat(readable, kKey);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Extensions, (std::vector<std::string>{"drs", "drz"}));
  EXPECT_EQ(PVFindFormat(PVWritableFormats(), kKey), nullptr);  // no writer
  PVFileFormatRemove(kKey);
  PVFileFormatAdd({kKey, "Demo Raster", "DRS", nullptr, DummyWrite, nullptr});
  EXPECT_EQ(PVWritableFormatOfExtension("drs"), kKey);
  PVFileFormatRemove(kKey);
  EXPECT_EQ(PVWritableFormatOfExtension("drs"), 0);
}

// --- Dialog host --------------------------------------------------------------

TEST(PVDialogHost, WithoutAHostDialogsAreCancelledAtOnce) {
  TPVDialogHost previous = PVSetDialogHost(nullptr);
  EXPECT_FALSE(PVHasDialogHost());
  TOpenPictavoDialog open;
  open.SetFileName("/tmp/before.png");
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(open.GetFileName(), "/tmp/before.png");
  TComponent owner;
  EXPECT_EQ(PVExecuteOpenDialog(&owner, "/tmp", "", true), "");
  TPictavoIO io;
  io.IOParams().JPEG_Quality = 33;
  EXPECT_EQ(PVExecuteSaveDialog(&owner, &io, "/tmp", "", false), "");
  EXPECT_EQ(io.IOParams().JPEG_Quality, 33);
  EXPECT_EQ(owner.ComponentCount(), 0);  // the dialogs were freed
  // Returning at once, not after some time-out (a generous bound).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  PVSetDialogHost(std::move(previous));
}

TEST(PVDialogHost, ScopedHostIsRestored) {
  int outer = 0, inner = 0;
  TPVDialogHostScope a([&](TPVDialogModel&) { return ++outer, false; });
  {
    TPVDialogHostScope b([&](TPVDialogModel&) { return ++inner, false; });
    TOpenPictavoDialog d;
    d.Execute();
  }
  TSavePictavoDialog s;
  s.Execute();
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(outer, 1);
}

// --- Open dialog ----------------------------------------------------------------

class OpenDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    auto bm = MakeBitmap(40, 20, [](int x, int) {
      return x < 20 ? TRGB{0, 255, 0} : TRGB{0, 0, 255};
    });
    file_ = dir_.File("green_red.png");
    ASSERT_TRUE(SavePicture(*bm, file_));
  }
  TempDir dir_;
  std::string file_;
};

TEST_F(OpenDialog, HostBrowsesPreviewsAndChooses) {
  TComponent owner;
  bool asked = false;
  TPVDialogHostScope host([&](TPVDialogModel& model) {
    asked = true;
    EXPECT_EQ(model.DialogKind(), dkOpenPicture);
    auto& d = dynamic_cast<TOpenPictavoDialog&>(model);
    // The view's dialog exists, owned by it, while it is shown.
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(d.GetOwner(), &owner);
    EXPECT_EQ(d.GetInitialDir(), dir_.Path());
    EXPECT_EQ(d.GetTitle(), "Carica");
    EXPECT_EQ(d.Caption(pVMSG_ANIMATE), "Animazione");
    EXPECT_TRUE(d.GetAlwaysAnimate());
    EXPECT_TRUE(d.GetAnimate());
    EXPECT_EQ(d.GetFilter(), "PNG|*.png");
    d.SetPreviewSize(10, 10);
    d.SelectFile(file_);
    const TPVFilePreview& p = d.GetPreview();
    EXPECT_TRUE(p.Valid);
    EXPECT_EQ(p.Width, 40);
    EXPECT_EQ(p.Height, 20);
    EXPECT_EQ(p.Depth(), 24);
    if (p.Picture) {
      EXPECT_EQ(p.Picture->GetWidth(), 10);
      EXPECT_EQ(p.Picture->GetHeight(), 5);
      EXPECT_EQ(PixelAt(*p.Picture, 1, 1), (TRGB{0, 255, 0}));
      EXPECT_EQ(PixelAt(*p.Picture, 8, 3), (TRGB{0, 0, 255}));
    } else {
      ADD_FAILURE() << "no preview picture";
    }
    // A single-frame file has nothing to animate.
    EXPECT_FALSE(d.NextFrame());
    return true;
  });
  EXPECT_EQ(PVExecuteOpenDialog(&owner, dir_.Path(), "PNG|*.png", true, msItalian), file_);
  EXPECT_TRUE(asked);
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST_F(OpenDialog, CancelAndMissingFilesKeepTheOldName) {
  TOpenPictavoDialog d;
  d.SetFileName("old.png");
  {
    TPVDialogHostScope host([&](TPVDialogModel& m) {
      static_cast<TOpenPictavoDialog&>(m).SelectFile(file_);
      return false;  // the user browsed, then cancelled
    });
    EXPECT_FALSE(d.Execute());
    EXPECT_EQ(d.GetFileName(), "old.png");
  }
  {
    TPVDialogHostScope host([&](TPVDialogModel& m) {
      static_cast<TOpenPictavoDialog&>(m).SelectFile(dir_.File("missing.png"));
      return true;
    });
    EXPECT_FALSE(d.Execute());
    EXPECT_EQ(d.GetFileName(), "old.png");
    EXPECT_FALSE(d.GetPreview().Valid);
  }
  {
    TPVDialogHostScope host([&](TPVDialogModel& m) {
      static_cast<TOpenPictavoDialog&>(m).SelectFile(dir_.Path());  // a folder
      return true;
    });
    EXPECT_FALSE(d.Execute());
  }
  {
    // Accepting with an empty name is a cancel too.
    TPVDialogHostScope host([&](TPVDialogModel& m) {
      static_cast<TOpenPictavoDialog&>(m).SetFileName("");
      return true;
    });
    EXPECT_FALSE(d.Execute());
    EXPECT_EQ(d.GetFileName(), "old.png");
  }
}

TEST_F(OpenDialog, InitialFileIsPreviewedAndAnimationStepsPages) {
  std::string tif = dir_.File("two.tif");
  auto a = MakeBitmap(8, 8, [](int, int) { return TRGB{10, 20, 30}; });
  auto b = MakeBitmap(8, 8, [](int, int) { return TRGB{200, 100, 50}; });
  ASSERT_TRUE(SavePicture(*a, tif));
  {
    TPictavoIO io;
    io.SetAttachedBitmap(b.get());
    io.IOParams().TIFF_ImageIndex = 1;
    ASSERT_EQ(io.InsertToFileTIFF(tif), 2);
  }
  TOpenPictavoDialog d;
  d.SetFileName(tif);
  d.SetAlwaysAnimate(false);
  std::vector<TRGB> seen;
  TPVDialogHostScope host([&](TPVDialogModel& m) {
    auto& o = static_cast<TOpenPictavoDialog&>(m);
    EXPECT_EQ(o.GetPreview().FrameCount, 2);
    EXPECT_FALSE(o.NextFrame());  // the Animate box is off
    o.SetAnimate(true);
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(o.NextFrame());
      seen.push_back(PixelAt(*o.GetPreview().Picture, 0, 0));
    }
    EXPECT_FALSE(o.ShowFrame(2));
    return true;
  });
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(seen, (std::vector<TRGB>{{200, 100, 50}, {10, 20, 30}, {200, 100, 50}}));
}

// --- Save dialog ----------------------------------------------------------------

class SaveDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    bitmap_ = MakeBitmap(16, 8, [](int x, int y) {
      return TRGB{uint8_t(x * 16), uint8_t(y * 32), uint8_t(255 - x * 16)};
    });
    io_.SetAttachedBitmap(bitmap_.get());
  }
  TempDir dir_;
  std::unique_ptr<TBitmap> bitmap_;
  TPictavoIO io_;
};

TEST_F(SaveDialog, FormatAndFileNameFollowEachOther) {
  TSavePictavoDialog d;
  d.SetFileName(dir_.File("a.tif"));
  EXPECT_EQ(d.GetFormat(), ftTIFF);
  EXPECT_TRUE(d.SetFormat(ftPNG));
  EXPECT_EQ(d.GetFileName(), dir_.File("a.png"));
  // An extension of the chosen format is kept.
  d.SetFileName(dir_.File("b.pgm"));
  EXPECT_EQ(d.GetFormat(), ftPXM);
  EXPECT_TRUE(d.SetFormat(ftPXM));
  EXPECT_EQ(d.GetFileName(), dir_.File("b.pgm"));
  d.SetFileName(dir_.File("c.JPEG"));
  EXPECT_EQ(d.GetFormat(), ftJPEG);
  // An unknown extension is part of the name: the format's is appended.
  d.SetFileName(dir_.File("photo.final"));
  EXPECT_EQ(d.GetFormat(), ftJPEG);
  EXPECT_TRUE(d.SetFormat(ftBMP));
  EXPECT_EQ(d.GetFileName(), dir_.File("photo.final.bmp"));
  // A dot in a folder name is not an extension.
  d.SetFileName("/x.dir/name");
  EXPECT_TRUE(d.SetFormat(ftGIF));
  EXPECT_EQ(d.GetFileName(), "/x.dir/name.gif");
  // Formats that cannot be written are refused.
  EXPECT_FALSE(d.SetFormat(ftICO));
  EXPECT_FALSE(d.SetFormat(ftWMF));
  EXPECT_FALSE(d.SetFormat(0));
  EXPECT_EQ(d.GetFormat(), ftGIF);
  // The default filter's entries choose formats as well.
  auto entries = d.FilterEntries();
  for (size_t i = 1; i < entries.size(); ++i) {
    if (entries[i].Patterns.front() == "*.tif") {
      d.SetFilterIndex(static_cast<int>(i));
      EXPECT_EQ(d.GetFormat(), ftTIFF);
      EXPECT_EQ(d.GetFileName(), "/x.dir/name.tif");
    }
  }
  d.SetFilterIndex(1000);
  EXPECT_EQ(d.GetFilterIndex(), static_cast<int>(entries.size()) - 1);
}

TEST_F(SaveDialog, AcceptedJpegParametersReachTheComponentAndTheFile) {
  io_.IOParams().JPEG_Quality = 20;
  io_.IOParams().PNG_Compression = 2;
  TPVDialogHostScope host([&](TPVDialogModel& m) {
    EXPECT_EQ(m.DialogKind(), dkSavePicture);
    auto& d = dynamic_cast<TSavePictavoDialog&>(m);
    EXPECT_EQ(d.GetAttachedPictavoIO(), &io_);
    EXPECT_EQ(d.GetTitle(), "Speichern");
    d.SetFileName(dir_.File("out"));
    EXPECT_TRUE(d.SetFormat(ftJPEG));
    // The working copy starts from the component's parameters.
    EXPECT_EQ(d.GetFieldValue("JPEG_Quality"), 20);
    EXPECT_EQ(d.FieldIndex("JPEG_Progressive"), 1);
    EXPECT_EQ(d.FieldIndex("PNG_Filter"), -1);
    EXPECT_EQ(d.GetFieldValue("PNG_Filter"), 0);
    EXPECT_TRUE(d.SetFieldValue("JPEG_Quality", 85));
    EXPECT_TRUE(d.SetFieldValue("JPEG_Progressive", 1));
    EXPECT_TRUE(d.SetFieldValue("JPEG_DCTMethod", ioJPEG_IFAST));
    EXPECT_FALSE(d.SetFieldValue("PNG_Compression", 9));  // not a JPEG field
    // Nothing reaches the component before the dialog is accepted.
    EXPECT_EQ(io_.IOParams().JPEG_Quality, 20);
    return true;
  });
  std::string name = PVExecuteSaveDialog(nullptr, &io_, dir_.Path(), "", false, msGerman);
  ASSERT_EQ(name, dir_.File("out.jpg"));
  EXPECT_EQ(io_.IOParams().JPEG_Quality, 85);
  EXPECT_TRUE(io_.IOParams().JPEG_Progressive);
  EXPECT_EQ(io_.IOParams().JPEG_DCTMethod, ioJPEG_IFAST);
  EXPECT_EQ(io_.IOParams().PNG_Compression, 2);
  // Saving under the returned name writes a progressive JPEG.
  io_.SaveToFile(name);
  ASSERT_FALSE(io_.Aborting);
  auto bytes = ReadBytes(name);
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
  bool progressiveFrame = false;  // SOF2 marker
  for (size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) progressiveFrame = true;
  EXPECT_TRUE(progressiveFrame);
  TBitmap back;
  TPictavoIO reader;
  reader.SetAttachedBitmap(&back);
  reader.LoadFromFile(name);
  EXPECT_TRUE(reader.IOParams().JPEG_Progressive);
  EXPECT_EQ(back.GetWidth(), 16);
}

TEST_F(SaveDialog, CancelWritesNothing) {
  io_.IOParams().PNG_Filter = ioPNG_FILTER_SUB;
  TSavePictavoDialog d;
  d.SetAttachedPictavoIO(&io_);
  d.SetFileName(dir_.File("keep.bmp"));
  TPVDialogHostScope host([&](TPVDialogModel& m) {
    auto& s = static_cast<TSavePictavoDialog&>(m);
    s.SetFileName(dir_.File("other.png"));
    EXPECT_TRUE(s.SetFieldValue("PNG_Filter", ioPNG_FILTER_PAETH));
    return false;
  });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.GetFileName(), dir_.File("keep.bmp"));
  EXPECT_EQ(io_.IOParams().PNG_Filter, ioPNG_FILTER_SUB);
}

TEST_F(SaveDialog, InitialFormatComesFromNameThenLastFile) {
  TSavePictavoDialog d;
  d.SetAttachedPictavoIO(&io_);
  io_.IOParams().FileType = ftGIF;
  int32_t seen = 0;
  TPVDialogHostScope host([&](TPVDialogModel& m) {
    seen = static_cast<TSavePictavoDialog&>(m).GetFormat();
    return false;
  });
  d.Execute();
  EXPECT_EQ(seen, ftGIF);
  d.SetFileName("x.tga");
  d.Execute();
  EXPECT_EQ(seen, ftTGA);
  d.SetFileName("");
  io_.IOParams().FileType = ftICO;  // read only: not offered
  d.Execute();
  EXPECT_EQ(seen, ftTGA);  // the one chosen before
}

// Each kind of portable map, chosen in the dialog, gives its magic number.
TEST_F(SaveDialog, PxmKindDecidesTheWrittenForm) {
  const struct {
    TPVPxmKind kind;
    const char* magic;
  } cases[] = {{pxmBitmap, "P4 "}, {pxmGraymap, "P5 "}, {pxmPixmap, "P6 "}};
  for (const auto& c : cases) {
    TPVDialogHostScope host([&](TPVDialogModel& m) {
      auto& s = static_cast<TSavePictavoDialog&>(m);
      s.SetFileName(dir_.File("map"));
      EXPECT_TRUE(s.SetFormat(ftPXM));
      EXPECT_TRUE(s.SetFieldValue("PXM_Kind", c.kind));
      return true;
    });
    std::string name = PVExecuteSaveDialog(nullptr, &io_, "", "", false);
    ASSERT_EQ(name, dir_.File("map.pxm"));
    io_.SaveToFile(name);
    ASSERT_FALSE(io_.Aborting);
    auto bytes = ReadBytes(name);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), c.magic);
  }
}

TEST_F(SaveDialog, BmpRunLengthOfAnEightBitFile) {
  auto flat = MakeBitmap(64, 4, [](int x, int) {
    return x < 32 ? TRGB{0, 0, 0} : TRGB{255, 255, 255};
  });
  io_.SetAttachedBitmap(flat.get());
  TPVDialogHostScope host([&](TPVDialogModel& m) {
    auto& s = static_cast<TSavePictavoDialog&>(m);
    s.SetFileName(dir_.File("rle.bmp"));
    EXPECT_TRUE(s.SetFieldValue("BitsPerSample", 8));
    EXPECT_TRUE(s.SetFieldValue("BMP_Compression", ioBMP_RLE));
    return true;
  });
  std::string name = PVExecuteSaveDialog(nullptr, &io_, "", "", false);
  ASSERT_EQ(name, dir_.File("rle.bmp"));
  io_.SaveToFile(name);
  ASSERT_FALSE(io_.Aborting);
  auto bytes = ReadBytes(name);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes[28] | bytes[29] << 8, 8);  // biBitCount
  EXPECT_EQ(bytes[30], 1);                   // biCompression = BI_RLE8
}

TEST_F(SaveDialog, ForgetsADestroyedComponent) {
  TSavePictavoDialog d;
  {
    TPictavoIO temporary;
    d.SetAttachedPictavoIO(&temporary);
    EXPECT_EQ(d.GetAttachedPictavoIO(), &temporary);
  }
  EXPECT_EQ(d.GetAttachedPictavoIO(), nullptr);
  TPVDialogHostScope host([&](TPVDialogModel& m) {
    static_cast<TSavePictavoDialog&>(m).SetFileName("/tmp/x.png");
    return true;
  });
  EXPECT_TRUE(d.Execute());  // edits only its own parameters
  // And a dialog destroyed first leaves the component usable.
  {
    TSavePictavoDialog shortLived;
    shortLived.SetAttachedPictavoIO(&io_);
  }
  io_.SaveToFile(dir_.File("still.png"));
  EXPECT_FALSE(io_.Aborting);
}

}  // namespace
}  // namespace pictavo
