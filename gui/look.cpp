#include "look.h"

#include <QFontDatabase>

namespace lumora::gui {

namespace {

QFont Pick(const QString& family, QFontDatabase::SystemFont fallback, int pointSize) {
    QFont font;
    if (QFontDatabase::families().contains(family, Qt::CaseInsensitive)) {
        font = QFont(family);
    } else {
        font = QFontDatabase::systemFont(fallback);
    }
    // The layout leaves room for an 8-point face; a fallback face drawn larger would clip
    // the captions.
    font.setPointSize(pointSize);
    return font;
}

}  // namespace

QFont SansFont() {
    return Pick(QStringLiteral("MS Sans Serif"), QFontDatabase::GeneralFont, 8);
}

QFont MonoFont() {
    return Pick(QStringLiteral("Courier New"), QFontDatabase::FixedFont, 9);
}

}  // namespace lumora::gui
