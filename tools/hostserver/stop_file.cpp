#include "tools/hostserver/stop_file.h"

#include "drawing/sim/utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace tvx::hostserver {

namespace {

constexpr std::size_t kLongest = 4096;

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The first line that is not blank, without the blanks around it.
std::string firstLine(const std::wstring& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(path.c_str(), L"rb"), &std::fclose);
    std::string line;
    if (!file) {
        return line;
    }
    int c = std::fgetc(file.get());
    while (c != EOF && isBlank(c)) {
        c = std::fgetc(file.get());
    }
    for (; c != EOF && c != '\n' && line.size() < kLongest; c = std::fgetc(file.get())) {
        line += static_cast<char>(c);
    }
    while (!line.empty() && isBlank(static_cast<unsigned char>(line.back()))) {
        line.pop_back();
    }
    return line;
}

// The number after the command word, 1 to `most`; 0 when there is no such number.
int countAfter(const std::string& line, std::size_t word, int most) {
    const std::string rest = line.substr(word);
    const std::size_t first = rest.find_first_not_of(" \t");
    if (first == std::string::npos || rest.size() - first > 5 ||
        rest.find_first_not_of("0123456789", first) != std::string::npos) {
        return 0;
    }
    const int n = std::stoi(rest.substr(first));
    return n >= 1 && n <= most ? n : 0;
}

// "open ID TITLE" after the command word: the ID (0 when it is no number from 1 to
// kMaxCommandId) and the title, which may hold blanks.
void readCommandOpen(const std::string& rest, StopFileCommand& command) {
    const std::size_t idStart = rest.find_first_not_of(" \t");
    if (idStart == std::string::npos) {
        return;
    }
    const std::size_t idEnd = std::min(rest.find_first_of(" \t", idStart), rest.size());
    command.commandId = countAfter(rest.substr(0, idEnd), 0, kMaxCommandId);
    const std::size_t titleStart = rest.find_first_not_of(" \t", idEnd);
    if (titleStart == std::string::npos) {
        return;
    }
    try {
        command.pageTitle = sim::fromUtf8(rest.substr(titleStart));
    } catch (const sim::Utf8Error&) {
        command.commandId = 0; // refused, and said so, as a title that is no text
    }
}

std::vector<std::string> blankSeparated(const std::string& text) {
    std::vector<std::string> words;
    std::size_t at = text.find_first_not_of(" \t");
    while (at != std::string::npos) {
        const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        words.push_back(text.substr(at, end - at));
        at = text.find_first_not_of(" \t", end);
    }
    return words;
}

// Millimetres, as a whole word; nothing for anything else.
std::optional<double> millimetres(const std::string& word) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::wstring symbolText(const std::string& word) {
    return word == "-" ? std::wstring() : sim::fromUtf8(word);
}

// "VIEW KIND ROUGHNESS METHOD X Y" after "add symbol".
void readSymbol(const std::string& rest, StopFileCommand& command) {
    const std::vector<std::string> words = blankSeparated(rest);
    if (words.size() != 6) {
        command.problem = "\"add symbol VIEW KIND ROUGHNESS METHOD X Y\" needs six values, not " +
                          std::to_string(words.size());
        return;
    }
    const auto x = millimetres(words[4]);
    const auto y = millimetres(words[5]);
    if (words[1].size() != 1 || words[1][0] < '0' || words[1][0] > '9') {
        command.problem = "add symbol: KIND must be a symbol kind from 0 to 9, not \"" + words[1] + "\"";
    } else if (!x || !y) {
        command.problem = "add symbol: X and Y must be numbers of millimetres, not \"" + words[4] + "\" \"" +
                          words[5] + "\"";
    } else {
        try {
            command.symbol = {sim::fromUtf8(words[0]), words[1][0] - '0', symbolText(words[2]), symbolText(words[3]),
                              *x / 1000.0, *y / 1000.0};
        } catch (const sim::Utf8Error&) {
            command.problem = "add symbol: the line is no UTF-8 text";
        }
    }
}

} // namespace

StopFileCommand readStopFile(const std::wstring& path) {
    const std::string line = firstLine(path);
    const std::string word = line.substr(0, line.find_first_of(" \t"));
    StopFileCommand command;
    if (word == "save") {
        command.kind = StopFileCommand::Kind::Save;
    } else if (word == "click" && word.size() == line.size()) {
        command.kind = StopFileCommand::Kind::Click;
    } else if (word == "unload" && word.size() == line.size()) {
        command.kind = StopFileCommand::Kind::Unload;
    } else if ((word == "sheet" || word == "load" || word == "unload") && word.size() < line.size()) {
        const std::string name = line.substr(line.find_first_not_of(" \t", word.size()));
        command.kind = word == "sheet" ? StopFileCommand::Kind::Sheet
                       : word == "load" ? StopFileCommand::Kind::Load
                                        : StopFileCommand::Kind::Unload;
        try {
            command.sheet = sim::fromUtf8(name);
        } catch (const sim::Utf8Error&) {
            // No sheet and no add-in has an empty name: the command fails and says so.
        }
    } else if (word == "undo") {
        command.kind = StopFileCommand::Kind::Undo;
        command.undoSteps = countAfter(line, word.size(), kMaxUndoSteps);
    } else if (line == "modal open" || line == "modal close") {
        command.kind = line == "modal open" ? StopFileCommand::Kind::ModalOpen : StopFileCommand::Kind::ModalClose;
    } else if (line == "command close") {
        command.kind = StopFileCommand::Kind::CommandClose;
    } else if (line.rfind("command open", 0) == 0 && (line.size() == 12 || isBlank(line[12]))) {
        command.kind = StopFileCommand::Kind::CommandOpen;
        readCommandOpen(line.substr(12), command);
    } else if (line == "store" || line == "close document") {
        command.kind = line == "store" ? StopFileCommand::Kind::Store : StopFileCommand::Kind::CloseDocument;
    } else if (word == "add") {
        // Whatever follows: a line that reads as the designer's edit never stops the host.
        command.kind = StopFileCommand::Kind::AddSymbol;
        const std::vector<std::string> words = blankSeparated(line);
        if (words.size() < 2 || words[1] != "symbol") {
            command.problem = "\"add\" knows only \"add symbol VIEW KIND ROUGHNESS METHOD X Y\"";
        } else {
            readSymbol(line.substr(line.find("symbol") + 6), command);
        }
    } else if (word == "delete") {
        command.kind = StopFileCommand::Kind::Delete;
        const std::size_t name = line.find_first_not_of(" \t", word.size());
        try {
            command.sheet = name == std::string::npos ? std::wstring() : sim::fromUtf8(line.substr(name));
        } catch (const sim::Utf8Error&) {
            command.sheet.clear(); // refused below, as a missing name
        }
        if (command.sheet.empty()) {
            command.problem = "\"delete NAME\" needs the name of an annotation, as UTF-8 text";
        }
    } else if (word == "busyloop" || word == "pumploop") {
        command.kind = word == "busyloop" ? StopFileCommand::Kind::BusyLoop : StopFileCommand::Kind::PumpLoop;
        command.busyMs = countAfter(line, word.size(), kMaxBusyMs);
    }
    return command;
}

} // namespace tvx::hostserver
