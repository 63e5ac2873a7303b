#include "tools/hostserver/stop_file.h"

#include "drawing/sim/utf8.h"

#include <algorithm>
#include <cstdio>
#include <memory>

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
    } else if (word == "busyloop" || word == "pumploop") {
        command.kind = word == "busyloop" ? StopFileCommand::Kind::BusyLoop : StopFileCommand::Kind::PumpLoop;
        command.busyMs = countAfter(line, word.size(), kMaxBusyMs);
    }
    return command;
}

} // namespace tvx::hostserver
