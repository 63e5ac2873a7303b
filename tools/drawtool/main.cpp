// tvx-drawtool: look into a stand-in drawing file.
//   tvx-drawtool list FILE                      the annotation listing on stdout
//   tvx-drawtool svg FILE [--sheet NAME] [--area L,B,W,H] [--no-names] -o OUT
//                                               a picture of one sheet, or of an area of it (mm)
// Exit codes: 0 done, 1 usage or output error, 2 the drawing file is faulty.
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/listing.h"
#include "drawing/sim/svg.h"
#include "drawing/sim/utf8.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kOutputFailed = 1;
constexpr int kFaultyFile = 2;

std::size_t sheetIndex(const tvx::sim::HostData& data, const std::optional<std::string>& name) {
    const auto& doc = *data.activeDoc;
    if (!name) {
        return doc.currentSheet;
    }
    const std::wstring wanted = tvx::sim::fromUtf8(*name);
    for (std::size_t i = 0; i < doc.sheets.size(); ++i) {
        if (doc.sheets[i].name == wanted) {
            return i;
        }
    }
    throw std::invalid_argument("the drawing has no sheet \"" + *name + "\"");
}

int writeSvg(const std::filesystem::path& file, const std::optional<std::string>& sheet,
             const tvx::sim::SvgOptions& options, const std::filesystem::path& out) {
    const tvx::sim::HostData data = tvx::sim::loadDrawingFile(file);
    if (!data.activeDoc || data.activeDoc->sheets.empty()) {
        std::cerr << file.string() << ": no drawing is open in this file\n";
        return kOutputFailed;
    }
    const std::string svg = tvx::sim::renderSheetSvg(data, sheetIndex(data, sheet), options);
    std::ofstream stream(out, std::ios::binary | std::ios::trunc);
    stream << svg;
    stream.flush();
    if (!stream) {
        std::cerr << out.string() << ": cannot be written\n";
        return kOutputFailed;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Lists or draws a stand-in drawing file."};
    app.require_subcommand(1);

    std::string listFile;
    CLI::App* list = app.add_subcommand("list", "print the annotation listing");
    list->add_option("FILE", listFile, "drawing file (JSON)")->required();

    std::string svgFile;
    std::string outFile;
    std::optional<std::string> sheetName;
    CLI::App* svg = app.add_subcommand("svg", "draw one sheet as SVG");
    svg->add_option("FILE", svgFile, "drawing file (JSON)")->required();
    svg->add_option("--sheet", sheetName, "sheet name (default: the current sheet)");
    std::optional<std::vector<double>> areaValues;
    svg->add_option("--area", areaValues, "only this area: left,bottom,width,height in mm")
        ->delimiter(',')
        ->expected(4);
    bool noNames = false;
    svg->add_flag("--no-names", noNames, "leave out the annotations' names");
    svg->add_option("-o,--output", outFile, "SVG file to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    try {
        if (*list) {
            std::cout << tvx::sim::listAnnotations(tvx::sim::loadDrawingFile(listFile));
            std::cout.flush();
            return std::cout ? 0 : kOutputFailed;
        }
        tvx::sim::SvgOptions options;
        options.names = !noNames;
        if (areaValues) {
            const auto& v = *areaValues;
            options.area = tvx::sim::SheetAreaMm{v.at(0), v.at(1), v.at(2), v.at(3)};
        }
        return writeSvg(svgFile, sheetName, options, outFile);
    } catch (const tvx::sim::DrawingFileError& e) {
        std::cerr << e.what() << "\n";
        return kFaultyFile;
    } catch (const std::exception& e) {
        std::cerr << "tvx-drawtool: " << e.what() << "\n";
        return kOutputFailed;
    }
}
