#include "tests/support/run_fixture.h"

#include <atomic>
#include <fstream>
#include <random>

namespace tvx::testing {
namespace {

std::filesystem::path freshFolder() {
    static const unsigned run = std::random_device{}();
    static std::atomic<int> counter{0};
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tvx-run-" + std::to_string(run) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace

std::string configText(int keepSymbolFont) {
    return "Tarvenix Konfiguration\n"
           "Ecke x A0..A4 hoch, Ecke y, Abstaende, Schriften\n"
           "0.8, 0.6, 0.45, 0.4, 0.2\n"
           "0.01, 0.005, 0.002, 0.01, 0.001, 0.003, 0.004\n" +
           std::to_string(keepSymbolFont) +
           "\n"
           "1.0\n"
           "\"ISOCP\", 14, \"ISOCP\", 14\n";
}

RunFixture::RunFixture(sim::HostData drawing, const std::string* config)
    : sim(std::move(drawing)), form(log), gef(log, form), terminator(log), folder(freshFolder()),
      program(form, gef, terminator, sim.connector(), folder.wstring()) {
    log.hostCalls = [this] { return sim.callCount(); };
    const std::string text = config != nullptr ? *config : configText();
    if (!text.empty()) {
        std::ofstream(folder / "Tarvenix.txt", std::ios::binary) << text;
    }
}

RunFixture::~RunFixture() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

bool RunFixture::run(Handler handler) {
    try {
        runDialogHandler(program, handler);
        return true;
    } catch (const RunEnded&) {
        return false;
    }
}

bool RunFixture::start() { return run(Form_Load); }

bool RunFixture::ok(const UserChoice& choice) {
    playChoice(form, choice);
    return run(cmd_Ok_Click);
}

bool RunFixture::cancel() { return run(cmd_Cancel_Click); }

std::vector<std::wstring> RunFixture::messages() const {
    std::vector<std::wstring> texts;
    for (const auto& shown : gef.shown) {
        texts.push_back(shown.text);
    }
    return texts;
}

std::vector<std::string> RunFixture::operations() const {
    std::vector<std::string> names;
    for (const auto& entry : sim.trace()) {
        names.push_back(entry.operation);
    }
    return names;
}

std::size_t RunFixture::count(const std::string& operation) const {
    std::size_t n = 0;
    for (const auto& entry : sim.trace()) {
        n += entry.operation == operation ? 1u : 0u;
    }
    return n;
}

std::uint64_t RunFixture::callNumber(const std::string& operation, std::size_t occurrence) const {
    const auto& trace = sim.trace();
    for (std::size_t i = 0; i < trace.size(); ++i) {
        if (trace[i].operation == operation && --occurrence == 0) {
            return i + 1;
        }
    }
    return 0;
}

const sim::ViewData& sheetView(const sim::HostData& drawing) {
    return drawing.activeDoc->sheets.at(0).views.at(0);
}

std::vector<const sim::SymbolData*> ownSymbols(const sim::HostData& drawing) {
    std::vector<const sim::SymbolData*> own;
    for (const auto& s : sheetView(drawing).symbols) {
        if (s.name.rfind(L"ZyrSymbol_", 0) == 0) {
            own.push_back(&s);
        }
    }
    return own;
}

const sim::NoteData* noteNamed(const sim::HostData& drawing, const std::wstring& name) {
    for (const auto& view : drawing.activeDoc->sheets.at(0).views) {
        for (const auto& note : view.notes) {
            if (note.name == name) {
                return &note;
            }
        }
    }
    return nullptr;
}

} // namespace tvx::testing
