#include "model/io/Text.h"

namespace salvo {

namespace {

bool IsSpaceOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

template <typename Trimmed> std::string_view TrimWhere(std::string_view s, Trimmed trimmed) {
    while (!s.empty() && trimmed(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && trimmed(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string_view TrimSpaceAndControls(std::string_view s) {
    return TrimWhere(s, IsSpaceOrControl);
}

std::string_view TrimBlanks(std::string_view s) {
    return TrimWhere(s, IsBlank);
}

} // namespace salvo
