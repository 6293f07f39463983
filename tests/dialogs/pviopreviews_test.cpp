// The I/O parameters preview dialog driven like a user through dialog hosts:
// pages from the setup, field edits and refusals, the lock and Preview, OK
// and Cancel, captions, failures.  A preview must be exactly what saving a
// file with the same parameters and loading it again gives, so expected
// pixels and sizes come from an independent save to a file and load
// through TPictavoIO, or for lossless formats from the source itself.
#include "dialogs/pviopreviews.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "codecs/gif.h"
#include "core/conversions.h"
#include "dialog_test_util.h"
#include "io/pictavoio.h"
#include "tests/codecs/gif_coders.h"

namespace pictavo {
namespace {

using namespace dialogtest;

constexpr int kW = 61, kH = 47;  // odd sizes: rows carry padding

// Smooth gradients with a little texture: JPEG sizes then depend clearly
// on the quality.
std::unique_ptr<TBitmap> Source() {
  return MakeBitmap(kW, kH, [](int x, int y) {
    const int t = (x * 37 + y * 91) % 23;
    return TRGB{uint8_t(x * 4 + t), uint8_t(y * 5), uint8_t(255 - x * 2 - y + t)};
  });
}

int RowBytes(const TBitmap& bm) {
  switch (bm.GetPixelFormat()) {
    case pf1bit:
      return (bm.GetWidth() + 7) / 8;
    case pf24bit:
      return bm.GetWidth() * 3;
    default:
      return bm.GetWidth() * 4;
  }
}

::testing::AssertionResult SamePixels(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
      a.GetPixelFormat() != b.GetPixelFormat())
    return ::testing::AssertionFailure()
           << a.GetWidth() << "x" << a.GetHeight() << " format " << int(a.GetPixelFormat())
           << " against " << b.GetWidth() << "x" << b.GetHeight() << " format "
           << int(b.GetPixelFormat());
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int i = 0; i < RowBytes(a); ++i)
      if (a.ScanLine(y)[i] != b.ScanLine(y)[i])
        return ::testing::AssertionFailure()
               << "row " << y << " byte " << i << ": " << int(a.ScanLine(y)[i]) << " against "
               << int(b.ScanLine(y)[i]);
  return ::testing::AssertionSuccess();
}

// What a user gets by saving the source to a file with `params` and
// loading that file again; `size` receives the file's length.
std::unique_ptr<TBitmap> SaveAndLoad(const TBitmap& source, const TIOParamsVals& params,
                                     const std::string& file, int64_t& size) {
  TBitmap copy;
  PVCopyBitmap(source, copy);
  TPictavoIO saver;
  saver.SetAttachedBitmap(&copy);
  saver.IOParams().Assign(params);
  saver.SaveToFile(file);
  EXPECT_FALSE(saver.Aborting) << file << ": " << saver.LastError().Message;
  size = static_cast<int64_t>(std::filesystem::file_size(file));
  auto loaded = std::make_unique<TBitmap>();
  TPictavoIO loader;
  loader.SetAttachedBitmap(loaded.get());
  loader.LoadFromFile(file);
  EXPECT_FALSE(loader.Aborting) << file << ": " << loader.LastError().Message;
  loader.SetAttachedBitmap(nullptr);
  return loaded;
}

using testutil::GifCoders;

class IOPreviews : public ::testing::Test {
 protected:
  void SetUp() override { src = Source(); }

  // A dialog as DoPreviews prepares it: setup, source copy, parameters.
  std::unique_ptr<TfIOPreviews> Make(std::vector<int32_t> pages, bool lock = false,
                                     TMsgLanguage language = msEnglish) {
    auto d = std::make_unique<TfIOPreviews>();
    TPVIOPreviewsSetup setup;
    setup.lockPreview = lock;
    setup.language = language;
    setup.fileTypes = std::move(pages);
    d->Setup(setup);
    PVCopyBitmap(*src, d->SourceBitmap());
    return d;
  }

  // Shows the dialog with a host that calls `user` and accepts the dialog
  // when `user` returns true.
  TModalResult Run(TfIOPreviews& d, const std::function<bool(TfIOPreviews&)>& user) {
    TPVDialogHostScope host([&](TPVDialogModel& model) {
      EXPECT_EQ(model.DialogKind(), dkIOPreview);
      auto* dialog = dynamic_cast<TfIOPreviews*>(&model);
      if (!dialog) return false;
      ++shown;
      return user(*dialog);
    });
    return d.ShowModal();
  }

  std::unique_ptr<TBitmap> src;
  TempDir dir;
  int shown = 0;
};

// --- Pages ---------------------------------------------------------------------------

TEST_F(IOPreviews, PagesAreTheSetupsFormatsInOrder) {
  auto d = Make({ftPNG, ftJPEG, ftBMP});
  Run(*d, [](TfIOPreviews& d) {
    EXPECT_EQ(d.Pages(), (std::vector<int32_t>{ftPNG, ftJPEG, ftBMP}));
    EXPECT_EQ(d.Captions().Pages, (std::vector<std::string>{"PNG", "JPEG", "BMP"}));
    EXPECT_EQ(d.ActivePage(), 0);
    EXPECT_EQ(d.ActiveFileType(), ftPNG);
    EXPECT_TRUE(d.SelectPage(2));
    EXPECT_EQ(d.ActiveFileType(), ftBMP);
    std::vector<std::string> names;
    for (const TPVSaveField& f : d.Fields()) names.push_back(f.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"BitsPerSample", "BMP_Compression"}));
    EXPECT_FALSE(d.SelectPage(3));
    EXPECT_FALSE(d.SelectPage(-1));
    EXPECT_EQ(d.ActivePage(), 2);
    return false;
  });
  EXPECT_EQ(shown, 1);
}

TEST_F(IOPreviews, WithoutPagesThereIsNothingToEditOrPreview) {
  auto d = Make({});
  Run(*d, [](TfIOPreviews& d) {
    EXPECT_EQ(d.ActivePage(), -1);
    EXPECT_TRUE(d.Fields().empty());
    EXPECT_FALSE(d.SetFieldValue("JPEG_Quality", 50));
    EXPECT_FALSE(d.Result().Valid());
    EXPECT_TRUE(d.Result().Error);
    return true;
  });
}

TEST_F(IOPreviews, WithoutAHostTheDialogIsCancelledAtOnce) {
  auto d = Make({ftJPEG});
  d->Params().JPEG_Quality = 33;
  EXPECT_EQ(d->ShowModal(), mrCancel);
  EXPECT_EQ(d->Params().JPEG_Quality, 33);
  EXPECT_EQ(d->PreviewCount(), 0);
}

// --- Fields ----------------------------------------------------------------------------

TEST_F(IOPreviews, FieldEditsReachParamsAndRefusedValuesLeaveThemAlone) {
  auto d = Make({ftJPEG, ftPNG, ftGIF, ftTIFF});
  d->Params().JPEG_Quality = 75;
  Run(*d, [](TfIOPreviews& d) {
    EXPECT_TRUE(d.SetFieldValue("JPEG_Quality", 40));
    EXPECT_EQ(d.Params().JPEG_Quality, 40);
    EXPECT_EQ(d.GetFieldValue("JPEG_Quality"), 40);
    // Outside 1..100: refused, not clamped.
    EXPECT_FALSE(d.SetFieldValue("JPEG_Quality", 0));
    EXPECT_FALSE(d.SetFieldValue("JPEG_Quality", 101));
    EXPECT_EQ(d.Params().JPEG_Quality, 40);
    EXPECT_TRUE(d.SetFieldValue("JPEG_DCTMethod", ioJPEG_FLOAT));
    EXPECT_EQ(d.Params().JPEG_DCTMethod, ioJPEG_FLOAT);
    EXPECT_FALSE(d.SetFieldValue("JPEG_DCTMethod", 7));
    EXPECT_EQ(d.Params().JPEG_DCTMethod, ioJPEG_FLOAT);
    // Another page's field and unknown names are not on this page.
    EXPECT_FALSE(d.SetFieldValue("PNG_Compression", 3));
    EXPECT_FALSE(d.SetFieldValue("NoSuchField", 1));

    EXPECT_TRUE(d.SelectPage(1));
    EXPECT_TRUE(d.SetFieldValue("PNG_Filter", ioPNG_FILTER_PAETH));
    EXPECT_EQ(d.Params().PNG_Filter, ioPNG_FILTER_PAETH);
    EXPECT_FALSE(d.SetFieldValue("PNG_Filter", 99));
    EXPECT_EQ(d.Params().PNG_Filter, ioPNG_FILTER_PAETH);
    EXPECT_FALSE(d.SetFieldValue("PNG_Compression", 10));
    EXPECT_TRUE(d.SetFieldValue("PNG_Compression", 9));
    EXPECT_EQ(d.Params().PNG_Compression, 9);

    // The transparent colour is greyed out until transparency is on.
    EXPECT_TRUE(d.SelectPage(2));
    EXPECT_TRUE(d.SetFieldValue("GIF_Transparent", 0));
    EXPECT_FALSE(d.FieldEnabled("GIF_TranspColor"));
    EXPECT_FALSE(d.SetFieldValue("GIF_TranspColor", 0x0000FF));
    EXPECT_TRUE(d.SetFieldValue("GIF_Transparent", 1));
    EXPECT_TRUE(d.FieldEnabled("GIF_TranspColor"));
    EXPECT_TRUE(d.SetFieldValue("GIF_TranspColor", 0x0000FF));  // red as TColor
    EXPECT_EQ(d.Params().GIF_TranspColor.r, 255);
    EXPECT_EQ(d.Params().GIF_TranspColor.b, 0);

    // The predictor is shown, never edited.
    EXPECT_TRUE(d.SelectPage(3));
    EXPECT_FALSE(d.FieldEnabled("TIFF_Predictor"));
    EXPECT_FALSE(d.SetFieldValue("TIFF_Predictor", 2));
    EXPECT_TRUE(d.SetFieldValue("TIFF_Compression", ioTIFF_PACKBITS));
    EXPECT_EQ(d.Params().TIFF_Compression, ioTIFF_PACKBITS);
    return true;
  });
  EXPECT_EQ(d->Params().JPEG_Quality, 40);
}

// --- Previews ----------------------------------------------------------------------------

TEST_F(IOPreviews, JpegPreviewIsWhatASaveAndALoadGiveAndShrinksWithQuality) {
  auto d = Make({ftJPEG});
  std::map<int, int64_t> sizes;
  Run(*d, [&](TfIOPreviews& d) {
    for (int quality : {90, 20}) {
      EXPECT_TRUE(d.SetFieldValue("JPEG_Quality", quality));
      d.Preview();
      const TPVIOPreviewResult& r = d.Result();
      EXPECT_TRUE(r.Valid()) << r.Error.Message;
      if (!r.Valid()) return false;
      int64_t fileSize = 0;
      auto expected =
          SaveAndLoad(*src, d.Params(), dir.File("q" + std::to_string(quality) + ".jpg"), fileSize);
      EXPECT_TRUE(SamePixels(*r.Bitmap, *expected)) << "quality " << quality;
      EXPECT_EQ(r.EncodedSize, fileSize) << "quality " << quality;
      sizes[quality] = r.EncodedSize;
    }
    // Lossy: the low quality does not give the source back.
    EXPECT_FALSE(SamePixels(*d.Result().Bitmap, *src));
    return true;
  });
  EXPECT_LT(sizes[20], sizes[90]);
  EXPECT_GT(sizes[20], 0);
}

TEST_F(IOPreviews, LosslessPreviewsGiveTheSourceBack) {
  auto d = Make({ftPNG, ftBMP});
  Run(*d, [&](TfIOPreviews& d) {
    EXPECT_TRUE(d.Result().Valid()) << d.Result().Error.Message;
    if (!d.Result().Valid()) return false;
    EXPECT_TRUE(SamePixels(*d.Result().Bitmap, *src));
    int64_t fileSize = 0;
    SaveAndLoad(*src, d.Params(), dir.File("a.png"), fileSize);
    EXPECT_EQ(d.Result().EncodedSize, fileSize);

    EXPECT_TRUE(d.SelectPage(1));
    d.SetFieldValue("BitsPerSample", 24);
    d.Preview();
    EXPECT_TRUE(d.Result().Valid()) << d.Result().Error.Message;
    if (!d.Result().Valid()) return false;
    EXPECT_TRUE(SamePixels(*d.Result().Bitmap, *src));
    // An uncompressed 24-bit BMP: 14 + 40 header bytes, rows padded to 4.
    const int64_t row = (kW * 3 + 3) / 4 * 4;
    EXPECT_EQ(d.Result().EncodedSize, 14 + 40 + row * kH);
    return true;
  });
}

TEST_F(IOPreviews, EveryWriterPreviewsWhatItsFileLoadsAs) {
  GifCoders coders;
  const std::vector<std::pair<int32_t, std::string>> formats = {
      {ftTIFF, "tif"}, {ftGIF, "gif"}, {ftPCX, "pcx"}, {ftTGA, "tga"}, {ftPXM, "ppm"}};
  for (const auto& [fileType, ext] : formats) {
    auto d = Make({fileType});
    d->Params().BitsPerSample = 8;
    d->Params().SamplesPerPixel = 3;
    Run(*d, [&](TfIOPreviews& d) {
      EXPECT_TRUE(d.Result().Valid()) << ext << ": " << d.Result().Error.Message;
      if (!d.Result().Valid()) return false;
      int64_t fileSize = 0;
      auto expected = SaveAndLoad(*src, d.Params(), dir.File("w." + ext), fileSize);
      EXPECT_TRUE(SamePixels(*d.Result().Bitmap, *expected)) << ext;
      EXPECT_EQ(d.Result().EncodedSize, fileSize) << ext;
      return false;
    });
  }
}

TEST_F(IOPreviews, APreviewLeavesSourceAndParametersAlone) {
  GifCoders coders;
  auto d = Make({ftGIF});
  d->Params().JPEG_Quality = 61;
  TIOParamsVals given;
  given.Assign(d->Params());
  Run(*d, [&](TfIOPreviews& d) {
    d.Preview();
    EXPECT_TRUE(d.Result().Valid());
    EXPECT_TRUE(SamePixels(d.SourceBitmap(), *src));
    EXPECT_TRUE(d.Params() == given);
    return true;
  });
}

TEST_F(IOPreviews, AFailedEncodeShowsNoResultAndKeepsTheReason) {
  // ICO has a reader but no writer.
  auto d = Make({ftICO, ftPNG});
  Run(*d, [](TfIOPreviews& d) {
    EXPECT_FALSE(d.Result().Valid());
    EXPECT_EQ(d.Result().Error.Code, TPVErrorCode::Unsupported);
    EXPECT_FALSE(d.Result().Error.Message.empty());
    EXPECT_TRUE(d.SelectPage(1));
    EXPECT_TRUE(d.Result().Valid());
    EXPECT_FALSE(d.Result().Error);
    return false;
  });
  // GIF without an LZW encoder installed cannot be written.
  auto gif = Make({ftGIF});
  Run(*gif, [](TfIOPreviews& d) {
    EXPECT_FALSE(d.Result().Valid());
    EXPECT_TRUE(d.Result().Error);
    EXPECT_FALSE(d.Result().Error.Message.empty());
    return false;
  });
  // Nothing to encode.
  TfIOPreviews empty;
  TPVIOPreviewsSetup setup;
  setup.fileTypes = {ftJPEG};
  empty.Setup(setup);
  empty.Preview();
  EXPECT_FALSE(empty.Result().Valid());
  EXPECT_TRUE(empty.Result().Error);
}

// --- Lock and Preview ------------------------------------------------------------------

TEST_F(IOPreviews, UnlockedOnlyPreviewRefreshes) {
  auto d = Make({ftJPEG}, false);
  d->Params().JPEG_Quality = 90;
  Run(*d, [](TfIOPreviews& d) {
    EXPECT_FALSE(d.GetLockPreview());
    EXPECT_TRUE(d.PreviewEnabled());
    EXPECT_EQ(d.PreviewCount(), 1);  // shown with a preview of the first page
    EXPECT_TRUE(d.ResultCurrent());
    const int64_t at90 = d.Result().EncodedSize;
    EXPECT_TRUE(d.SetFieldValue("JPEG_Quality", 10));
    EXPECT_EQ(d.PreviewCount(), 1);
    EXPECT_FALSE(d.ResultCurrent());
    EXPECT_EQ(d.Result().EncodedSize, at90);
    d.Preview();
    EXPECT_EQ(d.PreviewCount(), 2);
    EXPECT_TRUE(d.ResultCurrent());
    EXPECT_LT(d.Result().EncodedSize, at90);
    return false;
  });
}

TEST_F(IOPreviews, LockedEveryAcceptedChangeRefreshes) {
  auto d = Make({ftJPEG}, true);
  d->Params().JPEG_Quality = 90;
  Run(*d, [&](TfIOPreviews& d) {
    EXPECT_TRUE(d.GetLockPreview());
    EXPECT_FALSE(d.PreviewEnabled());
    EXPECT_EQ(d.PreviewCount(), 1);
    EXPECT_TRUE(d.SetFieldValue("JPEG_Quality", 15));
    EXPECT_EQ(d.PreviewCount(), 2);
    EXPECT_TRUE(d.ResultCurrent());
    int64_t fileSize = 0;
    auto expected = SaveAndLoad(*src, d.Params(), dir.File("l.jpg"), fileSize);
    EXPECT_EQ(d.Result().EncodedSize, fileSize);
    EXPECT_TRUE(d.Result().Valid() && SamePixels(*d.Result().Bitmap, *expected));
    // Refused and unchanged values make no new preview.
    EXPECT_FALSE(d.SetFieldValue("JPEG_Quality", 500));
    EXPECT_TRUE(d.SetFieldValue("JPEG_Quality", 15));
    EXPECT_EQ(d.PreviewCount(), 2);
    return false;
  });
}

TEST_F(IOPreviews, PressingTheLockDownCatchesUpAtOnce) {
  auto d = Make({ftJPEG}, false);
  Run(*d, [](TfIOPreviews& d) {
    EXPECT_TRUE(d.SetFieldValue("JPEG_Quality", 12));
    EXPECT_FALSE(d.ResultCurrent());
    d.SetLockPreview(true);
    EXPECT_TRUE(d.ResultCurrent());
    EXPECT_EQ(d.PreviewCount(), 2);
    d.SetLockPreview(false);  // releasing it needs no new preview
    d.SetLockPreview(true);
    EXPECT_EQ(d.PreviewCount(), 2);
    return false;
  });
}

TEST_F(IOPreviews, APageChangePreviewsTheNewFormat) {
  auto d = Make({ftJPEG, ftPNG});
  Run(*d, [&](TfIOPreviews& d) {
    EXPECT_FALSE(SamePixels(*d.Result().Bitmap, *src));  // JPEG
    EXPECT_TRUE(d.SelectPage(1));
    EXPECT_EQ(d.PreviewCount(), 2);
    EXPECT_TRUE(d.Result().Valid() && SamePixels(*d.Result().Bitmap, *src));  // PNG
    return false;
  });
}

// --- OK and Cancel -----------------------------------------------------------------------

TEST_F(IOPreviews, CancelRestoresTheGivenParametersAndOkKeepsTheEdits) {
  auto d = Make({ftJPEG, ftPNG});
  d->Params().JPEG_Quality = 70;
  d->Params().PNG_Compression = 2;
  EXPECT_EQ(Run(*d,
                [](TfIOPreviews& d) {
                  d.SetFieldValue("JPEG_Quality", 5);
                  d.SelectPage(1);
                  d.SetFieldValue("PNG_Compression", 8);
                  return false;
                }),
            mrCancel);
  EXPECT_EQ(d->Params().JPEG_Quality, 70);
  EXPECT_EQ(d->Params().PNG_Compression, 2);
  // Shown again, the dialog starts on its first page with the given values.
  EXPECT_EQ(Run(*d,
                [](TfIOPreviews& d) {
                  EXPECT_EQ(d.ActivePage(), 0);
                  EXPECT_EQ(d.GetFieldValue("JPEG_Quality"), 70);
                  d.SetFieldValue("JPEG_Quality", 5);
                  return true;
                }),
            mrOk);
  EXPECT_EQ(d->Params().JPEG_Quality, 5);
  EXPECT_EQ(d->Params().PNG_Compression, 2);
}

// The dialog the I/O component gets from the installed factory, used as
// DoPreviews does: parameters in, OK pressed by the host, parameters out.
TEST_F(IOPreviews, TheInstalledFactoryMakesThisDialogAndOkHandsTheEditsBack) {
  TPVIOPreviewsFormFactory factory = PVSetIOPreviewsFormFactory(nullptr);
  PVSetIOPreviewsFormFactory(factory);
  ASSERT_TRUE(factory);
  std::unique_ptr<IPVIOPreviewsForm> form = factory(nullptr);
  auto* dialog = dynamic_cast<TfIOPreviews*>(form.get());
  ASSERT_NE(dialog, nullptr);
  ASSERT_NE(form->Form(), nullptr);

  TPictavoIO io;
  io.IOParams().JPEG_Quality = 80;
  TPVIOPreviewsSetup setup;
  setup.fileTypes = {ftJPEG};
  form->Setup(setup);
  PVCopyBitmap(*src, form->SourceBitmap());
  form->Params().Assign(io.IOParams());
  TModalResult result = Run(*dialog, [](TfIOPreviews& d) {
    EXPECT_TRUE(d.SetFieldValue("JPEG_Quality", 44));
    return true;
  });
  ASSERT_EQ(result, mrOk);
  io.IOParams().Assign(form->Params());
  EXPECT_EQ(io.IOParams().JPEG_Quality, 44);
  EXPECT_EQ(shown, 1);
}

// --- Captions and font -------------------------------------------------------------------

TEST_F(IOPreviews, CaptionsInEnglishAndGerman) {
  auto d = Make({ftJPEG});
  const TPVIOPreviewsCaptions& en = d->Captions();
  EXPECT_EQ(en.Form, "Parameters Preview");
  EXPECT_EQ(d->Form()->GetCaption(), "Parameters Preview");
  EXPECT_EQ(en.Preview, "Preview");
  EXPECT_EQ(en.Ok, "OK");
  EXPECT_EQ(en.Cancel, "Cancel");
  EXPECT_EQ(en.LockPreview, "Lock preview");
  EXPECT_EQ(en.Source, "Source:");
  EXPECT_EQ(en.Result, "Result:");
  EXPECT_EQ(en.OriginalSize, "Original size");
  EXPECT_EQ(en.CompressedSize, "Compressed size");
  const std::vector<TPVSaveField> fields = d->Fields();
  ASSERT_FALSE(fields.empty());
  EXPECT_EQ(fields[0].Caption(d->GetLanguage()), "Quality");

  auto de = Make({ftJPEG}, false, msGerman);
  EXPECT_EQ(de->Captions().Preview, "Vorschau");
  EXPECT_EQ(de->Captions().Cancel, "Abbrechen");
  EXPECT_EQ(de->Captions().Pages, std::vector<std::string>{"JPEG"});
  de->SetLanguage(msItalian);
  EXPECT_EQ(de->Captions().Preview, "Anteprima");
  EXPECT_EQ(de->Captions().Cancel, "Annulla");
}

TEST_F(IOPreviews, TheWindowCaptionComesFromTheWordsTable) {
  PVSetTranslationWord(msUser, PVMSG_PARAMETERSPREVIEW, "Saving options");
  auto d = Make({ftPNG}, false, msUser);
  EXPECT_EQ(d->Form()->GetCaption(), "Saving options");
  EXPECT_EQ(d->Captions().Ok, "OK");  // empty user words fall back to English
  PVSetTranslationWord(msUser, PVMSG_PARAMETERSPREVIEW, "");
}

TEST_F(IOPreviews, TheFontIsACopy) {
  TFont font;
  font.SetName("DejaVu Serif");
  font.SetSize(13);
  TfIOPreviews d;
  TPVIOPreviewsSetup setup;
  setup.font = &font;
  d.Setup(setup);
  font.SetName("Other");
  EXPECT_EQ(d.GetFont().GetName(), "DejaVu Serif");
  EXPECT_EQ(d.GetFont().GetSize(), 13);
}

// The I/O component shows this dialog through its factory: a host that edits
// the JPEG quality and presses OK leaves the edit in IOParams; one that
// cancels leaves IOParams as they were.
TEST(IOPreviewsDialogFromTheComponent, OkKeepsTheEditAndCancelDoesNot) {
  TBitmap picture(20, 10, pf24bit);
  TPictavoIO io;
  io.SetAttachedBitmap(&picture);
  io.IOParams().JPEG_Quality = 80;
  for (bool ok : {false, true}) {
    int shown = 0;
    TPVDialogHostScope host([&](TPVDialogModel& m) {
      auto* d = dynamic_cast<TfIOPreviews*>(&m);
      EXPECT_NE(d, nullptr);
      if (!d) return false;
      ++shown;
      EXPECT_EQ(d->Pages(), std::vector<int32_t>{ftJPEG});
      EXPECT_TRUE(d->Result().Valid());
      EXPECT_TRUE(d->SetFieldValue("JPEG_Quality", 33));
      return ok;
    });
    EXPECT_EQ(io.DoPreviews(TPreviewParams{ppJPEG}), ok);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(io.IOParams().JPEG_Quality, ok ? 33 : 80);
  }
}

}  // namespace
}  // namespace pictavo
