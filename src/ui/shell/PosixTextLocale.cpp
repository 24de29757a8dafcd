#include "ui/shell/TextLocale.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>

void UseUtf8CharacterType() {
    auto utf8 = [] {
        const char* codeset = nl_langinfo(CODESET);
        return strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0;
    };
    if (utf8())
        return;
    static const char* const fallbacks[] = {"C.UTF-8", "C.utf8", "en_US.UTF-8"};
    for (const char* name : fallbacks)
        if (std::setlocale(LC_CTYPE, name) && utf8())
            return;
}
