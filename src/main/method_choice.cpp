#include "main/method_choice.h"

#include <QStandardItemModel>

#include "windows/window_texts.h"

namespace vellumar::desktop {

namespace {

std::optional<vellumar::FirmwareMethod> MethodAt(const QComboBox* choice, int index) {
  if (index <= 0) {
    return std::nullopt;
  }
  return vellumar::FirmwareMethodFromName(choice->itemData(index).toString().toStdString());
}

}  // namespace

QComboBox* BuildMethodChoice(QWidget* parent) {
  auto* choice = new QComboBox(parent);
  choice->setObjectName(QStringLiteral("cbMethod"));
  choice->setAccessibleName(QStringLiteral("지우기 방법"));
  choice->addItem(QStringLiteral("0으로 채우기"), QString());
  for (const vellumar::FirmwareMethod method : vellumar::kFirmwareMethods) {
    const QString name = QString::fromStdString(vellumar::FirmwareMethodName(method));
    choice->addItem(name, name);
  }
  ApplyMethodOffers(choice, {});
  return choice;
}

void ApplyMethodOffers(QComboBox* choice, const std::vector<vellumar::MethodOffer>& offers) {
  auto* model = qobject_cast<QStandardItemModel*>(choice->model());
  for (int index = 1; index < choice->count(); ++index) {
    const std::optional<vellumar::FirmwareMethod> method = MethodAt(choice, index);
    QString tip = QStringLiteral("The drive has not been asked yet.");
    bool enabled = false;
    for (const vellumar::MethodOffer& offer : offers) {
      if (method && offer.Method == *method) {
        enabled = offer.State == vellumar::MethodState::Supported;
        tip = vellumar::windows::FromUtf8(vellumar::FirmwareMethodCommand(offer.Method) + ": " +
                                          (enabled ? std::string("supported") : offer.Line));
        if (enabled && vellumar::IsSanitizeMethod(offer.Method)) {
          tip += QStringLiteral(" A sanitize cannot be stopped once it has started.");
        }
      }
    }
    if (model != nullptr) {
      QStandardItem* item = model->item(index);
      item->setEnabled(enabled);
      item->setToolTip(tip);
    }
  }
  if (model != nullptr && !model->item(choice->currentIndex())->isEnabled()) {
    choice->setCurrentIndex(0);
  }
}

vellumar::ops::EraseMethod ChosenMethod(const QComboBox* choice, bool quickWipe) {
  if (const std::optional<vellumar::FirmwareMethod> method = MethodAt(choice, choice->currentIndex())) {
    return vellumar::ops::EraseMethodFor(*method);
  }
  return quickWipe ? vellumar::ops::EraseMethod::QuickWipe : vellumar::ops::EraseMethod::ZeroFill;
}

bool ZeroFillChosen(const QComboBox* choice) { return choice->currentIndex() <= 0; }

bool CryptoChosen(const QComboBox* choice) {
  const std::optional<vellumar::FirmwareMethod> method = MethodAt(choice, choice->currentIndex());
  return method && vellumar::IsCryptoMethod(*method);
}

}  // namespace vellumar::desktop
