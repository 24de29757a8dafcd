// Windows may name its dialog font "MS Shell Dlg" (Wine does): GDI draws that name through its
// font substitutes (Tahoma), but Qt takes it for a missing family and draws a serif font in its
// place. The program takes the face the name stands for.

#include "ui/shell/Application.h"

#include <QFontInfo>
#include <QApplication>

#include <windows.h>

#include <string>

namespace {

QString Substitute(const std::wstring& name) {
    wchar_t value[256] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE,
                     L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
                     name.c_str(), RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    return QString::fromWCharArray(value).section(QLatin1Char(','), 0, 0);
}

// The face GDI draws for the name.
QString DrawnFace(const std::wstring& name) {
    LOGFONTW wanted{};
    name.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    wanted.lfCharSet = DEFAULT_CHARSET;
    HFONT font = CreateFontIndirectW(&wanted);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ before = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    const int length = GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, before);
    DeleteDC(dc);
    DeleteObject(font);
    return length > 0 ? QString::fromWCharArray(face) : QString();
}

// Whether Qt draws the family itself rather than one in its place.
bool QtDraws(const QString& family) {
    return QFontInfo(QFont(family)).family().compare(family, Qt::CaseInsensitive) == 0;
}

} // namespace

void UseSystemDialogFont() {
    QFont font = QApplication::font();
    if (QtDraws(font.family()))
        return;
    const std::wstring name = font.family().toStdWString();
    for (const QString& face : {Substitute(name), DrawnFace(name)})
        if (!face.isEmpty() && QtDraws(face)) {
            font.setFamily(face);
            QApplication::setFont(font); // also for the menus, status line and boxes
            return;
        }
}
