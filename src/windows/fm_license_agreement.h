#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>

#include "devices/user/agreement.h"

namespace vellumar::windows {

// The first-run agreement. Shown at start-up until the user agrees once per version; the
// answer is kept in a marker file.
class TfmLicenseAgreement : public QDialog {
  Q_OBJECT

 public:
  TfmLicenseAgreement(std::string markerPath, vellumar::UserFileAccess& files, QWidget* parent = nullptr);

  // Shows the window modally unless the marker says the user agreed before; false means the
  // user declined (or closed the window) and the program must end.
  bool RunFirstRunAgreement();

  bool AlreadyAgreed() const;
  bool Agreed() const { return agreed_; }

  QPlainTextEdit* Memo1;
  QPushButton* Button1;
  QPushButton* Button2;

 private:
  void Button1Click();

  std::string markerPath_;
  vellumar::UserFileAccess& files_;
  bool agreed_ = false;
};

}  // namespace vellumar::windows
