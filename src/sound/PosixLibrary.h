#pragma once
// A shared library opened on first use and kept for the life of the program, so that what the
// music needs costs nothing at start-up.

#include <dlfcn.h>

#include <string>

namespace salvo::sound {

class Library {
public:
    // Opens name once; false, with the loader's reason in why, when it cannot.
    bool Open(const char* name, std::string& why) {
        if (!Handle)
            Handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (!Handle) {
            const char* e = ::dlerror();
            why = e ? e : name;
        }
        return Handle != nullptr;
    }
    template <typename F> bool Get(const char* symbol, F& into, std::string& why) {
        into = reinterpret_cast<F>(::dlsym(Handle, symbol));
        if (!into)
            why = std::string(symbol) + " missing";
        return into != nullptr;
    }

private:
    void* Handle = nullptr;
};

} // namespace salvo::sound
