#include "ui/common/WindowFont.h"

#include <QGuiApplication>

QFont WindowFont(int pixelSize) {
#ifdef Q_OS_WIN
    QFont font(QGuiApplication::font().family());
#else
    QFont font(QStringLiteral("Sans Serif"));
#endif
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}
