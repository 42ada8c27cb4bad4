// The windows' fonts by the names the windows were designed with. Where a
// named font is not installed, a metric-compatible one stands in for it:
// Carlito for Calibri, Liberation Mono for Courier New, DejaVu Sans for
// Tahoma (InstallFontSubstitutes, once at start).
#pragma once

#include <QColor>
#include <QFont>

#include "app/ui_port.h"

namespace zjig::fonts {

void InstallFontSubstitutes();
// A font of the given family whose glyph cell is px pixels high.
QFont Named(const char* family, int px, bool bold = false);
inline QFont Calibri(int px, bool bold = false) { return Named("Calibri", px, bold); }
inline QFont CourierNew(int px, bool bold = false) { return Named("Courier New", px, bold); }
inline QFont Tahoma(int px, bool bold = false) { return Named("Tahoma", px, bold); }

inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
// The face colour of buttons and windows (the log's background).
inline QColor ButtonFace() { return QColor(240, 240, 240); }
inline QColor MoneyGreen() { return QColor(192, 220, 192); }

}  // namespace zjig::fonts
