// The Qt form of the I/O parameters preview dialog: a thin QDialog over the
// TfIOPreviews model (dialogs/pviopreviews.h).  Every control hands the
// user's action to the model and the form then reads everything back
// (fields, pictures, sizes), so it holds no behaviour of its own.  Captions
// come from the model's language and the form uses the model's font.
//
// Object names for tests and scripts: "pages" (QTabBar, one tab per page),
// "paramsBox" (the page's fields, one editor per field named "field_" + the
// field's name, see hosts/qt/field_editors.h), "sourcePicture",
// "resultPicture" (QLabel), "originalSize", "compressedSize" (QLabel),
// "lockCheck", "previewButton", "okButton", "cancelButton".
#pragma once

#include <QDialog>
#include <vector>

#include "dialogs/dialoghost.h"
#include "dialogs/pviopreviews.h"

class QCheckBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabBar;
class QWidget;

namespace pictavo::qt {

class IOPreviewsForm : public QDialog {
  Q_OBJECT
 public:
  // The longer side of the shown pictures; larger pictures are scaled down.
  static constexpr int kPictureSide = 256;

  IOPreviewsForm(TfIOPreviews& model, QWidget* parent = nullptr);
  TfIOPreviews& Model() { return model_; }
  // Reads every value, picture and size back from the model.
  void Refresh();

 private:
  struct Editor {
    std::string field;
    QWidget* widget;
  };
  QWidget* BuildPictures();
  QWidget* BuildButtons();
  void ApplyFont();
  // Rebuilds the field editors for the model's page.
  void BuildEditors();
  void RefreshEditors();
  void ShowPictures();
  void ShowSizes();
  void PageChosen(int index);
  void WriteField(const std::string& field, int32_t value);
  void PickColor(const std::string& field);

  TfIOPreviews& model_;
  QTabBar* tabs_ = nullptr;
  QGroupBox* params_box_ = nullptr;
  QFormLayout* params_layout_ = nullptr;
  QLabel* source_ = nullptr;
  QLabel* result_ = nullptr;
  QLabel* original_size_ = nullptr;
  QLabel* compressed_size_ = nullptr;
  QCheckBox* lock_ = nullptr;
  QPushButton* preview_ = nullptr;
  std::vector<Editor> editors_;
};

// Shows the form over a TfIOPreviews model modally; true when accepted.
bool ShowIOPreviewsDialog(TPVDialogModel& model, QWidget* parent);

}  // namespace pictavo::qt
