// Draws the program's icons and bitmaps into a folder:
//   tvx-imagegen OUTPUT_FOLDER
// The files in resources/ are its output; run it again after changing a picture.
#include "image_files.h"
#include "pictures.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    using namespace tvx::imagegen;
    if (argc != 2) {
        std::cerr << "usage: tvx-imagegen OUTPUT_FOLDER\n";
        return 2;
    }
    try {
        const std::filesystem::path out(argv[1]);
        std::filesystem::create_directories(out);
        writeFile(out / "tarvenix.ico", encodeIcon(programIcon(), 8));
        writeFile(out / "message.ico", encodeIcon(messageIcon(), 4));
        writeFile(out / "design_preview.bmp", encodeBmp24(designPreview()));
        writeFile(out / "symbol_00.bmp", encodeBmp24(symbolPreview(SymbolKind::basic)));
        writeFile(out / "symbol_01.bmp", encodeBmp24(symbolPreview(SymbolKind::removalRequired)));
        writeFile(out / "symbol_02.bmp", encodeBmp24(symbolPreview(SymbolKind::noRemoval)));
        for (const int size : kCommandIconSizes) {
            writeFile(out / ("command_" + std::to_string(size) + ".bmp"), encodeBmp24(commandIcon(size)));
            writeFile(out / ("addin_manager_" + std::to_string(size) + ".bmp"), encodeBmp24(addinManagerIcon(size)));
        }
    } catch (const std::exception& e) {
        std::cerr << "tvx-imagegen: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
