#pragma once

#include <QFont>
#include <QStringList>

class QWidget;

namespace vellumar::windows {

// The desktop's general font replaces the window's design font.
void ApplyIconTitleFont(QFont& font);

// Moves the font to Calibri, two points larger, when Calibri is installed and the font is not
// Calibri already (letter case aside); so a second call changes nothing.
void ApplyCalibriFont(QFont& font);
void ApplyCalibriFont(QFont& font, const QStringList& installedFamilies);

// List views already follow the desktop's theme here; nothing to do.
void ApplyExplorerTheme(QWidget* list);

// The fixed-pitch face the report memos use, 12 pixels high.
QFont ReportMemoFont();

// A design font in pixels with the desktop's own face as fallback for missing glyphs.
QFont DesignFont(const QString& family, int pixelSize);

}  // namespace vellumar::windows
