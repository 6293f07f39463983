// The OK and Cancel buttons the Qt forms end with: OK is the default button,
// Cancel rejects the dialog, and both carry the object names the tests find
// them by. What OK does is the form's to connect.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QString>

namespace pictavo::qt {

struct TFormButtons {
  QPushButton* ok;
  QPushButton* cancel;
};

inline TFormButtons MakeOkCancel(QDialog* dialog, QWidget* parent, const QString& okText,
                                 const QString& cancelText) {
  auto* ok = new QPushButton(okText, parent);
  ok->setObjectName("okButton");
  ok->setDefault(true);
  auto* cancel = new QPushButton(cancelText, parent);
  cancel->setObjectName("cancelButton");
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  return {ok, cancel};
}

}  // namespace pictavo::qt
