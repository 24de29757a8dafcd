#include "model/io/Paths.h"

namespace salvo {

bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

bool IsAbsolutePath(std::string_view path) {
    return (!path.empty() && IsPathSeparator(path[0])) || (path.size() >= 2 && path[1] == ':');
}

} // namespace salvo
