#include "model/program/Document.h"

#include <charconv>

namespace salvo {

std::string NewDocumentTitle(int openWindows) {
    return "NONAME" + std::to_string(openWindows + 1);
}

std::string PathName(std::string_view path) {
    size_t cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string BaseName(std::string_view path) {
    std::string name = PathName(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

uint32_t SerialNumberValue(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    std::string_view t = text.substr(b, e - b);
    if (!t.empty() && t[0] == '+')
        t.remove_prefix(1);
    if (t.empty() || t[0] < '0' || t[0] > '9')
        return 0;
    uint32_t value = 0;
    auto res = std::from_chars(t.data(), t.data() + t.size(), value);
    if (res.ec != std::errc() || res.ptr != t.data() + t.size())
        return 0;
    return value;
}

} // namespace salvo
