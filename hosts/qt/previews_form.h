// The Qt form of the processing preview dialog: a thin QDialog over the
// TfPreviews model (dialogs/pvpreviews.h).  Every control hands the user's
// action to the model and the form then reads everything back (values,
// source, result and spectrum pictures), so it holds no behaviour of its
// own.  Captions come from the model's language.
//
// Object names for tests and scripts: "pages" (QTabWidget, one tab per
// visible page), "sourcePicture", "resultPicture", "spectrumPicture"
// (QLabel), "lockCheck", "previewButton", "copyButton", "okButton",
// "cancelButton", one editor per parameter named "param_" + its name
// (QSpinBox, QCheckBox for switches, QComboBox for the morph list; see
// PVPreviewParamName), "presetCombo", "loadFilterButton",
// "saveFilterButton", "channel_0".."channel_3", "grip_0_0".."grip_1_1"
// (ruler, grip), "baseColorButton", "newColorButton", "lightColorButton",
// "fftClearButton", "fftResetButton".
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPoint>
#include <functional>
#include <vector>

#include "dialogs/dialoghost.h"
#include "dialogs/pvpreviews.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace pictavo::qt {

// The editor name of a parameter ("red", "lensLeft", ...).
const char* PVPreviewParamName(TPVPreviewParam param);

// A picture label that reports presses and releases in its own pixels.
class PictureLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
  std::function<void(QPoint)> OnPress;
  std::function<void(QPoint)> OnRelease;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class PreviewsForm : public QDialog {
  Q_OBJECT
 public:
  PreviewsForm(TfPreviews& model, QWidget* parent = nullptr);
  TfPreviews& Model() { return model_; }
  // Reads every value and picture back from the model.
  void Refresh();

 private:
  struct Editor {
    TPVPreviewParam param;
    QWidget* widget;
  };
  QWidget* BuildPage(TPVPreviewPage page);
  void AddParamEditors(TPVPreviewPage page, QWidget* page_widget, QFormLayout* form);
  void AddColorButton(QFormLayout* form, const char* name, const QString& label,
                      std::function<TColor()> get, std::function<void(TColor)> set);
  void AddFilterControls(QFormLayout* form);
  void AddEqualizeControls(QFormLayout* form);
  void AddSpectrumControls(QFormLayout* form);
  QWidget* BuildButtons();
  // Runs a model action, then shows its outcome.
  void Act(const std::function<void()>& action);
  void ShowPictures();

  TfPreviews& model_;
  QTabWidget* tabs_ = nullptr;
  std::vector<TPVPreviewPage> tab_pages_;
  PictureLabel* source_ = nullptr;
  PictureLabel* result_ = nullptr;
  PictureLabel* spectrum_ = nullptr;
  QCheckBox* lock_ = nullptr;
  QPushButton* preview_ = nullptr;
  QComboBox* preset_ = nullptr;
  std::vector<Editor> editors_;
  std::vector<QCheckBox*> channels_;
  std::vector<QSpinBox*> grips_;
  QPoint spectrum_press_;
  bool refreshing_ = false;
};

// Shows the form over a TfPreviews model modally; true when accepted.
bool ShowPreviewsDialog(TPVDialogModel& model, QWidget* parent);

}  // namespace pictavo::qt
