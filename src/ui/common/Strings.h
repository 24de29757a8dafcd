#pragma once

#include <QString>

#include <string>

// The model speaks UTF-8 std::string; the windows speak QString.
inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// French literals in the sources are UTF-8.
inline QString U(const char* text) {
    return QString::fromUtf8(text);
}

inline std::string S(const QString& text) {
    return text.toStdString();
}
