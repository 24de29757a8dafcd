#include "model/io/Paths.h"

namespace salvo {

bool IsPathSeparator(char c) {
    return c == '/';
}

bool IsAbsolutePath(std::string_view path) {
    return !path.empty() && path[0] == '/';
}

} // namespace salvo
