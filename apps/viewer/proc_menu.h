// The Processing menu and the parameters dialog, both built from the
// operation table (apps/viewer/proc_table.h).
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "apps/viewer/proc_table.h"

class QMenu;
class QWidget;
class QLineEdit;

namespace pictavo::viewer {

// One row per parameter: a spin box, a combo box for a choice, or a file
// name with a browse button.
class ProcParamsDialog : public QDialog {
  Q_OBJECT
 public:
  ProcParamsDialog(const TProcOp& op, int imageWidth, int imageHeight, QWidget* parent);
  TOpValues Values() const;

 private:
  std::vector<QWidget*> editors_;
};

// Adds one submenu per group with one item per operation; choosing an item
// calls `apply` with the operation.
void BuildProcessingMenu(QMenu* menu, const std::function<void(const TProcOp&)>& apply);

}  // namespace pictavo::viewer
