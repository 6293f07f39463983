// The Qt forms of the open and save picture dialogs on the offscreen
// platform, driven as a user would while the dialog runs modally: browse a
// folder, pick a file and read the preview, choose a format and edit its
// saving parameters, accept or cancel.
#include "hosts/qt/dialog_forms.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "codecs/gif.h"
#include "dialogs/pvwords.h"
#include "formats/registry.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "tests/codecs/gif_coders.h"
#include "tests_qt/modal_test_util.h"
#include "view/pictavo.h"

namespace pictavo::qt {
namespace {

using namespace formtest;

// The names the form's file list shows once the folder has been read.
QStringList ListedNames(QListView& list) {
  QStringList names;
  QAbstractItemModel* model = list.model();
  for (int r = 0; r < model->rowCount(list.rootIndex()); ++r)
    names << model->index(r, 0, list.rootIndex()).data().toString();
  return names;
}

// Moves the list's cursor to `name`, as the arrow keys or a click would.
bool PointAt(QListView& list, const QString& name) {
  if (!WaitFor([&] { return ListedNames(list).contains(name); })) return false;
  QAbstractItemModel* model = list.model();
  for (int r = 0; r < model->rowCount(list.rootIndex()); ++r) {
    QModelIndex index = model->index(r, 0, list.rootIndex());
    if (index.data().toString() == name) {
      list.setCurrentIndex(index);
      return true;
    }
  }
  return false;
}

std::unique_ptr<TBitmap> HalfGreenHalfRed(int w, int h) {
  auto bm = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bm->ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const bool left = x < w / 2;
      row[x * 3] = 0;
      row[x * 3 + 1] = left ? 255 : 0;
      row[x * 3 + 2] = left ? 0 : 255;
    }
  }
  return bm;
}

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

class PictureDialogForms : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pictavo_forms_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    image_ = HalfGreenHalfRed(40, 20);
    TPictavoIO io;
    io.SetAttachedBitmap(image_.get());
    io.SaveToFile(File("leaf.png"));
    ASSERT_FALSE(io.Aborting);
    io.SaveToFile(File("other.bmp"));
    ASSERT_FALSE(io.Aborting);
    std::filesystem::create_directory(dir_ + "/sub");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string File(const std::string& name) const { return dir_ + "/" + name; }
  std::vector<std::string> Folder() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
  std::unique_ptr<TBitmap> image_;
};

TEST_F(PictureDialogForms, OpenFormPreviewsTheFileUnderTheCursorAndReturnsIt) {
  TPictavo pv;
  pv.SetMsgLanguage(msItalian);
  bool ran = false;
  WhenShown([&](QDialog& form) {
    ran = true;
    EXPECT_EQ(form.objectName(), "pictavoOpenDialog");
    EXPECT_EQ(form.windowTitle().toStdString(), pvmsg(PVMSG_LOAD, msItalian));
    auto* animate = Child<QCheckBox>(form, "animateCheck");
    auto* cancel = Child<QPushButton>(form, "cancelButton");
    auto* list = Child<QListView>(form, "fileList");
    auto* info = Child<QLabel>(form, "previewInfo");
    auto* picture = Child<QLabel>(form, "previewPicture");
    auto* name = Child<QLineEdit>(form, "fileNameEdit");
    auto* ok = Child<QPushButton>(form, "okButton");
    if (!animate || !cancel || !list || !info || !picture || !name || !ok) return;
    EXPECT_EQ(animate->text().toStdString(), "Animazione");
    EXPECT_FALSE(animate->isChecked());
    EXPECT_EQ(cancel->text().toStdString(), "Annulla");
    // The application's filter hides the BMP file; folders stay browsable.
    ASSERT_TRUE(PointAt(*list, "leaf.png"));
    QStringList names = ListedNames(*list);
    EXPECT_FALSE(names.contains("other.bmp"));
    EXPECT_TRUE(names.contains("sub"));

    EXPECT_EQ(name->text(), "leaf.png");
    const std::string text = info->text().toStdString();
    EXPECT_NE(text.find(pvmsg(PVMSG_WIDTH, msItalian) + ": 40"), std::string::npos) << text;
    EXPECT_NE(text.find(pvmsg(PVMSG_HEIGHT, msItalian) + ": 20"), std::string::npos) << text;
    EXPECT_NE(text.find(pvmsg(PVMSG_COLORS, msItalian) + ": 24 bit"), std::string::npos) << text;
    EXPECT_NE(text.find("PNG"), std::string::npos) << text;
    // A 40 x 20 picture fits the preview box unscaled.
    QImage shown = picture->pixmap().toImage();
    ASSERT_EQ(shown.width(), 40);
    ASSERT_EQ(shown.height(), 20);
    EXPECT_EQ(shown.pixelColor(3, 10), QColor(0, 255, 0));
    EXPECT_EQ(shown.pixelColor(36, 10), QColor(255, 0, 0));
    ok->click();
  });
  EXPECT_EQ(pv.ExecuteOpenDialog(dir_, "PNG|*.png|BMP|*.bmp", false), File("leaf.png"));
  EXPECT_TRUE(ran);
  EXPECT_EQ(pv.ComponentCount(), 2);
}

TEST_F(PictureDialogForms, OpenFormEntersFoldersAndRefusesNothingTyped) {
  TPictavo pv;
  pv.SetMsgLanguage(msEnglish);
  WhenShown([&](QDialog& form) {
    auto* name = Child<QLineEdit>(form, "fileNameEdit");
    auto* ok = Child<QPushButton>(form, "okButton");
    auto* folder = Child<QLineEdit>(form, "folderEdit");
    auto* filter = Child<QComboBox>(form, "filterCombo");
    auto* list = Child<QListView>(form, "fileList");
    if (!name || !ok || !folder || !filter || !list) return;
    // OK with no name keeps the dialog open.
    name->clear();
    ok->click();
    EXPECT_TRUE(form.isVisible());
    // A file that does not exist is not returned either.
    name->setText("missing.png");
    ok->click();
    EXPECT_TRUE(form.isVisible());
    // A typed folder is entered instead of being returned.
    name->setText("sub");
    ok->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(folder->text().toStdString(), std::filesystem::path(dir_ + "/sub").string());
    Child<QPushButton>(form, "upButton")->click();
    EXPECT_EQ(folder->text().toStdString(), dir_);
    // The second filter entry shows the BMP file, and it is chosen.
    filter->setCurrentIndex(1);
    ASSERT_TRUE(PointAt(*list, "other.bmp"));
    EXPECT_FALSE(ListedNames(*list).contains("leaf.png"));
    ok->click();
  });
  EXPECT_EQ(pv.ExecuteOpenDialog(dir_, "PNG|*.png|BMP|*.bmp", false), File("other.bmp"));
}

using testutil::GifCoders;

TEST_F(PictureDialogForms, OpenFormStepsTheFramesOfAGif) {
  GifCoders coders;
  // Two frames: the picture, then the same with green and red swapped.
  TPictavoIO io;
  auto first = HalfGreenHalfRed(16, 8);
  io.SetAttachedBitmap(first.get());
  io.SaveToFile(File("two.gif"));
  ASSERT_FALSE(io.Aborting) << io.LastError().Message;
  auto second = HalfGreenHalfRed(16, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      uint8_t* p = second->ScanLine(y) + x * 3;
      std::swap(p[1], p[2]);
    }
  io.SetAttachedBitmap(second.get());
  io.IOParams().GIF_ImageIndex = 1;
  ASSERT_GE(io.InsertToFileGif(File("two.gif")), 1);
  ASSERT_FALSE(io.Aborting);

  TPictavo pv;
  pv.SetMsgLanguage(msEnglish);
  WhenShown([&](QDialog& form) {
    auto* list = Child<QListView>(form, "fileList");
    auto* next = Child<QPushButton>(form, "nextFrameButton");
    auto* prev = Child<QPushButton>(form, "prevFrameButton");
    auto* picture = Child<QLabel>(form, "previewPicture");
    auto* info = Child<QLabel>(form, "previewInfo");
    if (!list || !next || !prev || !picture || !info) return;
    ASSERT_TRUE(PointAt(*list, "two.gif"));
    EXPECT_TRUE(next->isEnabled());
    EXPECT_NE(info->text().toStdString().find("Image index: 1 of 2"), std::string::npos)
        << info->text().toStdString();
    EXPECT_EQ(picture->pixmap().toImage().pixelColor(2, 4), QColor(0, 255, 0));
    next->click();
    EXPECT_NE(info->text().toStdString().find("2 of 2"), std::string::npos);
    EXPECT_EQ(picture->pixmap().toImage().pixelColor(2, 4), QColor(255, 0, 0));
    prev->click();
    EXPECT_EQ(picture->pixmap().toImage().pixelColor(2, 4), QColor(0, 255, 0));
    // Animating steps on its own.
    Child<QCheckBox>(form, "animateCheck")->setChecked(true);
    EXPECT_TRUE(WaitFor([&] { return info->text().contains("2 of 2"); }, 2000));
  });
  EXPECT_EQ(pv.ExecuteOpenDialog(dir_, "GIF|*.gif", false), "");
}

TEST_F(PictureDialogForms, SaveFormWritesTheEditedJpegQualityOnAccept) {
  TPictavo pv;
  pv.Assign(image_.get());
  pv.SetMsgLanguage(msGerman);
  pv.GetIOParams().JPEG_Quality = 90;
  WhenShown([&](QDialog& form) {
    EXPECT_EQ(form.objectName(), "pictavoSaveDialog");
    EXPECT_EQ(form.windowTitle().toStdString(), pvmsg(PVMSG_SAVE, msGerman));
    auto* format = Child<QComboBox>(form, "formatCombo");
    auto* name = Child<QLineEdit>(form, "fileNameEdit");
    if (!format || !name) return;
    const int jpeg = format->findData(int(ftJPEG));
    ASSERT_GE(jpeg, 0);
    format->setCurrentIndex(jpeg);
    auto* quality = Child<QSpinBox>(form, "field_JPEG_Quality");
    if (!quality) return;
    EXPECT_EQ(quality->value(), 90);  // from the component's parameters
    EXPECT_TRUE(quality->isEnabled());
    EXPECT_NE(form.findChild<QCheckBox*>("field_JPEG_Progressive"), nullptr);
    EXPECT_NE(form.findChild<QComboBox*>("field_JPEG_DCTMethod"), nullptr);
    EXPECT_EQ(form.findChild<QWidget*>("field_PNG_Filter"), nullptr);
    auto* layout = qobject_cast<QFormLayout*>(Child<QWidget>(form, "paramsBox")->layout());
    ASSERT_NE(layout, nullptr);
    auto* caption = qobject_cast<QLabel*>(layout->labelForField(quality));
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text().toStdString(), pvmsg(PVMSG_QUALITY, msGerman));
    quality->setValue(50);
    name->setText("shot");
    // Nothing reaches the component before OK.
    EXPECT_EQ(pv.GetIOParams().JPEG_Quality, 90);
    Child<QPushButton>(form, "okButton")->click();
  });
  const std::string chosen = pv.ExecuteSaveDialog(dir_, "", false);
  ASSERT_EQ(chosen, File("shot.jpg"));
  EXPECT_EQ(pv.GetIOParams().JPEG_Quality, 50);

  // The saved file is what an I/O component set to quality 50 writes, and
  // not what the previous quality gave.
  pv.SaveToFile(chosen);
  ASSERT_FALSE(pv.GetAborting());
  TPictavoIO reference;
  reference.SetAttachedBitmap(image_.get());
  reference.IOParams().JPEG_Quality = 50;
  reference.SaveToFile(File("q50.jpg"));
  reference.IOParams().JPEG_Quality = 90;
  reference.SaveToFile(File("q90.jpg"));
  EXPECT_EQ(FileBytes(chosen), FileBytes(File("q50.jpg")));
  EXPECT_NE(FileBytes(chosen), FileBytes(File("q90.jpg")));
}

TEST_F(PictureDialogForms, SaveFormFollowsTheTypedExtensionAndItsFields) {
  TPictavo pv;
  pv.SetMsgLanguage(msEnglish);
  pv.GetIOParams().PNG_Interlaced = false;
  WhenShown([&](QDialog& form) {
    auto* format = Child<QComboBox>(form, "formatCombo");
    auto* name = Child<QLineEdit>(form, "fileNameEdit");
    if (!format || !name) return;
    name->setText("pic.png");
    emit name->editingFinished();
    EXPECT_EQ(format->currentData().toInt(), int(ftPNG));
    auto* interlaced = Child<QCheckBox>(form, "field_PNG_Interlaced");
    if (!interlaced) return;
    EXPECT_FALSE(interlaced->isChecked());
    interlaced->setChecked(true);
    // Choosing another format renames the file and swaps the editors.
    format->setCurrentIndex(format->findData(int(ftBMP)));
    EXPECT_EQ(name->text(), "pic.bmp");
    EXPECT_EQ(form.findChild<QWidget*>("field_PNG_Interlaced"), nullptr);
    format->setCurrentIndex(format->findData(int(ftPNG)));
    EXPECT_EQ(name->text(), "pic.png");
    // The working copy kept the earlier edit.
    auto* again = Child<QCheckBox>(form, "field_PNG_Interlaced");
    if (again) {
      EXPECT_TRUE(again->isChecked());
    }
    Child<QPushButton>(form, "okButton")->click();
  });
  EXPECT_EQ(pv.ExecuteSaveDialog(dir_, "", false), File("pic.png"));
  EXPECT_TRUE(pv.GetIOParams().PNG_Interlaced);
}

TEST_F(PictureDialogForms, SaveFormEnablesAndShowsFieldsAsTheModelSays) {
  TPictavo pv;
  pv.SetMsgLanguage(msEnglish);
  pv.GetIOParams().GIF_Transparent = false;
  pv.GetIOParams().GIF_TranspColor = TRGB{0x56, 0x34, 0x12};  // b, g, r
  WhenShown([&](QDialog& form) {
    auto* format = Child<QComboBox>(form, "formatCombo");
    if (!format) return;
    format->setCurrentIndex(format->findData(int(ftGIF)));
    auto* transparent = Child<QCheckBox>(form, "field_GIF_Transparent");
    auto* colour = Child<QPushButton>(form, "field_GIF_TranspColor");
    if (!transparent || !colour) return;
    EXPECT_EQ(colour->text(), "#123456");
    // The colour applies only with transparency on.
    EXPECT_FALSE(colour->isEnabled());
    transparent->setChecked(true);
    EXPECT_TRUE(colour->isEnabled());
    // The colour button opens a colour dialog whose choice is written.
    WhenShown([](QDialog& picker) {
      auto* dialog = qobject_cast<QColorDialog*>(&picker);
      ASSERT_NE(dialog, nullptr);
      dialog->setCurrentColor(QColor(0x65, 0x43, 0x21));
      dialog->accept();
    });
    colour->click();
    EXPECT_EQ(colour->text(), "#654321");
    // TIFF's predictor is derived from the other fields: shown, not editable.
    format->setCurrentIndex(format->findData(int(ftTIFF)));
    auto* predictor = Child<QComboBox>(form, "field_TIFF_Predictor");
    if (predictor) {
      EXPECT_FALSE(predictor->isEnabled());
    }
    EXPECT_TRUE(Child<QComboBox>(form, "field_TIFF_Compression")->isEnabled());
    Child<QLineEdit>(form, "fileNameEdit")->setText("anim");
    format->setCurrentIndex(format->findData(int(ftGIF)));
    Child<QPushButton>(form, "okButton")->click();
  });
  EXPECT_EQ(pv.ExecuteSaveDialog(dir_, "", false), File("anim.gif"));
  EXPECT_TRUE(pv.GetIOParams().GIF_Transparent);
  EXPECT_EQ(pv.GetIOParams().GIF_TranspColor, (TRGB{0x21, 0x43, 0x65}));
}

TEST_F(PictureDialogForms, CancelledSaveFormWritesNothing) {
  TPictavo pv;
  pv.Assign(image_.get());
  pv.SetMsgLanguage(msEnglish);
  pv.GetIOParams().JPEG_Quality = 77;
  const std::vector<std::string> before = Folder();
  WhenShown([&](QDialog& form) {
    auto* format = Child<QComboBox>(form, "formatCombo");
    if (!format) return;
    format->setCurrentIndex(format->findData(int(ftJPEG)));
    auto* quality = Child<QSpinBox>(form, "field_JPEG_Quality");
    if (quality) quality->setValue(10);
    Child<QLineEdit>(form, "fileNameEdit")->setText("never");
    Child<QPushButton>(form, "cancelButton")->click();
  });
  EXPECT_EQ(pv.ExecuteSaveDialog(dir_, "", false), "");
  EXPECT_EQ(pv.GetIOParams().JPEG_Quality, 77);
  EXPECT_EQ(Folder(), before);
}

}  // namespace
}  // namespace pictavo::qt
