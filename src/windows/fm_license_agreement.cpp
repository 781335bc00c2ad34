#include "windows/fm_license_agreement.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "devices/user/agreement.h"
#include "windows/window_fonts.h"

namespace vellumar::windows {

TfmLicenseAgreement::TfmLicenseAgreement(std::string markerPath, vellumar::UserFileAccess& files, QWidget* parent)
    : QDialog(parent),
      Memo1(new QPlainTextEdit(this)),
      Button1(new QPushButton(QStringLiteral("동의"), this)),
      Button2(new QPushButton(QStringLiteral("동의 안 함"), this)),
      markerPath_(std::move(markerPath)),
      files_(files) {
  setObjectName(QStringLiteral("fmLicenseAgreement"));
  setWindowTitle(QStringLiteral("라이선스 동의"));
  setFont(DesignFont(QStringLiteral("Tahoma"), 11));
  setFixedSize(612, 383);

  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(QString::fromUtf8(vellumar::kAgreementText));
  Memo1->setAccessibleName(QStringLiteral("라이선스 동의 내용"));
  Button1->setObjectName(QStringLiteral("Button1"));
  Button2->setObjectName(QStringLiteral("Button2"));
  for (QPushButton* button : {Button1, Button2}) {
    button->setMinimumSize(75, 25);
    button->setAutoDefault(false);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addSpacing(29);
  buttons->addWidget(Button2);
  buttons->addSpacing(32);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 22);
  layout->setSpacing(15);
  layout->addWidget(Memo1, 1);
  layout->addLayout(buttons);

  connect(Button1, &QPushButton::clicked, this, &TfmLicenseAgreement::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfmLicenseAgreement::AlreadyAgreed() const { return vellumar::AgreementRecorded(markerPath_, files_); }

bool TfmLicenseAgreement::RunFirstRunAgreement() {
  if (AlreadyAgreed()) {
    return true;
  }
  exec();
  return agreed_;
}

void TfmLicenseAgreement::Button1Click() {
  vellumar::RecordAgreement(markerPath_, files_);
  agreed_ = true;
  accept();
}

}  // namespace vellumar::windows
