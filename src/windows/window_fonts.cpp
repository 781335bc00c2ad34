#include "windows/window_fonts.h"

#include <QFontDatabase>

namespace vellumar::windows {

namespace {
const QString kCalibri = QStringLiteral("Calibri");
constexpr int kCalibriGrowthPoints = 2;
// Two points at the 96 dots per inch the layouts were designed for.
constexpr int kCalibriGrowthPixels = 3;
}  // namespace

void ApplyIconTitleFont(QFont& font) { font = QFontDatabase::systemFont(QFontDatabase::GeneralFont); }

void ApplyCalibriFont(QFont& font) { ApplyCalibriFont(font, QFontDatabase::families()); }

void ApplyCalibriFont(QFont& font, const QStringList& installedFamilies) {
  if (font.family().compare(kCalibri, Qt::CaseInsensitive) == 0 ||
      !installedFamilies.contains(kCalibri, Qt::CaseInsensitive)) {
    return;
  }
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() + kCalibriGrowthPoints);
  } else if (font.pixelSize() > 0) {
    font.setPixelSize(font.pixelSize() + kCalibriGrowthPixels);
  }
  font.setFamily(kCalibri);
}

void ApplyExplorerTheme(QWidget* /*list*/) {}

QFont ReportMemoFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setFamilies({QStringLiteral("Courier New"), font.family()});
  font.setFixedPitch(true);
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(12);
  return font;
}

QFont DesignFont(const QString& family, int pixelSize) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setFamilies({family, font.family()});
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace vellumar::windows
