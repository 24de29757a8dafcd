// What the Linux build decodes of the files scripts/test-windows makes, one line per file into
// <folder>/linux.txt, for the Windows build to compare with under Wine.
#include "../sound/DecodedText.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " <folder>\n";
        return 2;
    }
    const std::string folder = argv[1];
    std::ofstream out(folder + "/linux.txt");
    for (const char* name : salvo::sound::DecodedNames)
        out << salvo::sound::DecodedText(folder + "/" + name) << "\n";
    return out ? 0 : 1;
}
