#pragma once

#include <QString>

#include "devices/base/product.h"

namespace vellumar::windows {

// Texts the windows show besides the product line and web address.
inline const QString kCopyrightLine = QStringLiteral("Copyright (c) 2026 The Vellumar developers");

inline QString ProductName() {
  return QString::fromUtf8(kProductName.data(), static_cast<qsizetype>(kProductName.size()));
}

inline QString ProductWebAddress() {
  return QString::fromUtf8(kProductWebAddress.data(), static_cast<qsizetype>(kProductWebAddress.size()));
}

inline QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace vellumar::windows
