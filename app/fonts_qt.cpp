#include "app/fonts_qt.h"

namespace zjig::fonts {

void InstallFontSubstitutes() {
    QFont::insertSubstitutions("Calibri", {"Carlito", "DejaVu Sans"});
    QFont::insertSubstitutions("Courier New", {"Liberation Mono", "DejaVu Sans Mono"});
    QFont::insertSubstitutions("Tahoma", {"DejaVu Sans", "Liberation Sans"});
}

QFont Named(const char* family, int px, bool bold) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

}  // namespace zjig::fonts
