#pragma once
// Paths as the system reads them: Windows takes "\" and "/" and drive letters, POSIX only "/"
// (there "\" is a character of a name like any other).

#include <string_view>

namespace salvo {

bool IsPathSeparator(char c);
bool IsAbsolutePath(std::string_view path);

} // namespace salvo
