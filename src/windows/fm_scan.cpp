#include "windows/fm_scan.h"

namespace vellumar::windows {

TFmScan::TFmScan(QWidget* parent) : QDialog(parent) { setObjectName(QStringLiteral("FmScan")); }

}  // namespace vellumar::windows
