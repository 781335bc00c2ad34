#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Qt's strings in test failures as text, not as bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << "{\"" << texts.join("\", \"").toStdString() << "\"}";
}
