#include "ui/ControlFonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QStringList>

namespace {

const QString tahomaFamily = QStringLiteral("Tahoma");

// fontconfig does not scan Wine's font folder, so its Tahoma is invisible unless registered.
// Only the regular face: Wine's bold Tahoma is wider but hardly heavier, so bold captions read
// as regular ones, while a bold drawn by Qt from the regular face looks bold.
const QStringList bundledTahomaFiles = {
    QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
};

// DejaVu Sans, Debian's usual fallback, runs about a sixth wider than Tahoma.
constexpr qreal fallbackScale = 0.85;

bool tahomaAllowed = true;

bool findOrRegisterTahoma()
{
    if (QFontDatabase::hasFamily(tahomaFamily))
        return true;
    for (const QString &file : bundledTahomaFiles) {
        if (QFileInfo::exists(file))
            QFontDatabase::addApplicationFont(file);
    }
    return QFontDatabase::hasFamily(tahomaFamily);
}

} // namespace

bool ControlFonts::tahomaAvailable()
{
    static const bool available = findOrRegisterTahoma();
    return available && tahomaAllowed;
}

void ControlFonts::setTahomaAllowed(bool allowed)
{
    tahomaAllowed = allowed;
}

QFont ControlFonts::tahoma(qreal pointSize)
{
    if (tahomaAvailable()) {
        QFont font(tahomaFamily);
        font.setPointSizeF(pointSize);
        return font;
    }
    QFont font; // the platform's default family
    font.setPointSizeF(pointSize * fallbackScale);
    return font;
}

QFont ControlFonts::dialog()
{
    return tahoma(8);
}

QFont ControlFonts::flagBox()
{
    return tahoma(7.5);
}

QFont ControlFonts::boldTahoma(qreal pointSize)
{
    QFont font = tahoma(pointSize);
    font.setBold(true);
    return font;
}
