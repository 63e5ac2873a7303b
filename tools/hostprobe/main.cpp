// tvx-hostprobe: records how the running host answers, for the administrator to send back.
#include "app/win32/run_log_file.h"
#include "drawing/com/com_host.h"
#include "drawing/com/com_owners.h"
#include "drawing/com/failure_text.h"
#include "drawing/com/host_line.h"
#include "drawing/com/retry_filter.h"
#include "drawing/messages.h"
#include "tools/hostprobe/probe.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace tvx;

enum ExitCode : int { kDone = 0, kFailed = 1, kUsage = 2, kNoDrawing = 3, kHostStopped = 4 };

constexpr char kHelp[] =
    "tvx-hostprobe [--write] [--save-test] [--out DATEI]\n"
    "\n"
    "Prüft, wie die laufende SolidWorks-Instanz auf die Aufrufe von Tarvenix antwortet, und\n"
    "schreibt das Ergebnis nach hostprofile.json (oder DATEI). Eine Zeichnung muss offen sein.\n"
    "\n"
    "Ohne --write wird nur gelesen: alle Blätter, Ansichten, Oberflächensymbole und Notizen mit\n"
    "ihren Namen, dazu das Programmfenster und der Name des Menüs Extras. Die Zeichnung wird\n"
    "nicht verändert; um die anderen Blätter zu lesen, wird jedes kurz aktiviert, zum Schluss\n"
    "wieder das Blatt, das beim Start aktiv war.\n"
    "\n"
    "Mit --write (nach Bestätigung) fügt das Programm auf dem aktuellen Blatt ein Symbol und\n"
    "eine Notiz namens \"TvxProbe_...\" ein, prüft ihre Namen, auch gegen Namen auf anderen\n"
    "Blättern, und löscht die Notiz wieder. Alles zusammen wird als ein Schritt \"TvxProbe\"\n"
    "der Rückgängig-Liste aufgezeichnet und mit einem Rückgängig zurückgenommen; was danach\n"
    "noch da ist, wird einzeln gelöscht. Die Option \"Dynamische Aktivierung der\n"
    "Zeichenansicht\" wird dafür kurz ausgeschaltet und danach zurückgesetzt. Zum Schluss wird\n"
    "die Zeichnung mit ihrem Anfang verglichen.\n"
    "\n"
    "Immer wird geprüft, ob sich ein Programm bei der Zeichnung für ihre Ereignisse anmelden\n"
    "kann. Mit --save-test (nach Bestätigung) wird die Zeichnung außerdem einmal in ihre eigene\n"
    "Datei gespeichert, um zu sehen, welche Meldungen SolidWorks dabei schickt.\n"
    "\n"
    "Am Ende steht eine kurze Übersicht: jede Abweichung vom Testserver von Tarvenix, oder\n"
    "\"wie erwartet\". Bitte die Datei hostprofile.json an die Entwickler von Tarvenix senden,\n"
    "zusammen mit dem Protokoll von Tarvenix, %LOCALAPPDATA%\\Tarvenix\\Tarvenix.log.\n"
    "\n"
    "Rückgabewerte: 0 fertig, 1 Fehler oder abgebrochen, 2 falscher Aufruf, 3 kein SolidWorks,\n"
    "kein Dokument oder keine Zeichnung, 4 SolidWorks beschäftigt oder antwortet nicht.\n";

// German text on the console as the console shows it; redirected, as UTF-8.
void say(const std::string& utf8, bool error = false) {
    const HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = com::fromUtf8(utf8 + "\n");
        DWORD written = 0;
        WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::FILE* stream = error ? stderr : stdout;
    std::fputs((utf8 + "\n").c_str(), stream);
    std::fflush(stream);
}

void say(const wchar_t* text, bool error = false) { say(com::toUtf8(text), error); }

bool yes() {
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        return false;
    }
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) {
        answer.pop_back();
    }
    return answer == "j" || answer == "J" || answer == "ja" || answer == "Ja";
}

bool confirmed() {
    say("Mit --write fügt tvx-hostprobe auf dem aktuellen Blatt ein Symbol und eine Notiz ein und nimmt\n"
        "sie wieder zurück. Fortfahren? (j/n)");
    return yes();
}

bool saveTestConfirmed() {
    say("Mit --save-test speichert tvx-hostprobe die offene Zeichnung einmal in ihre eigene Datei.\n"
        "Fortfahren? (j/n)");
    return yes();
}

bool writeFile(const std::wstring& path, const std::string& text) {
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

// Filled while writing; read when the host stops taking calls.
std::vector<std::wstring> leftInDrawing;

// The host's stop, and what the probe could no longer take out of the drawing.
void reportStopped(const wchar_t* message) {
    say(message, true);
    if (!leftInDrawing.empty()) {
        std::string left = "In der Zeichnung geblieben, bitte von Hand löschen:";
        for (const std::wstring& what : leftInDrawing) {
            left += "\n  " + com::toUtf8(what);
        }
        say(left, true);
    }
}

int probe(bool write, bool saveTest, const std::wstring& out) {
    if ((write && !confirmed()) || (saveTest && !saveTestConfirmed())) {
        say("Abgebrochen, nichts geändert.");
        return kFailed;
    }
    const com::ComApartment apartment;
    const com::CallBounds bounds = com::callBoundsFromEnvironment();
    const com::MessageFilterRegistration retryRejected(bounds.busy);
    auto line = std::make_shared<com::HostLine>(bounds);
    // Runs inside the call that never came back: that call cannot be returned to.
    line->onHung([](const char*) {
        reportStopped(msg::kHostNotAnswering);
        TerminateProcess(GetCurrentProcess(), kHostStopped);
    });
    try {
        com::ComPtr<IDispatch> app;
        try {
            app = com::attachRunning(*line, host::kHostClassName);
        } catch (const host::HostError& e) {
            if (!e.stopsRun()) {
                say(msg::kNoHostInstance, true);
                return kNoDrawing;
            }
            throw;
        }
        hostprobe::ProbeOptions options;
        options.write = write;
        options.saveTest = saveTest;
        options.leftInDrawing = &leftInDrawing;
        const hostprofile::HostProfile profile = hostprobe::probeHost(app, line, options);
        if (!writeFile(out, hostprofile::profileToJson(profile))) {
            say("Die Datei " + com::toUtf8(out) + " kann nicht geschrieben werden.", true);
            return kFailed;
        }
        for (const std::string& text : hostprofile::summaryLines(profile)) {
            say(text);
        }
        say("Geschrieben: " + com::toUtf8(out));
        const std::wstring runLog = win::runLogPath();
        if (!runLog.empty()) {
            say("Protokoll von Tarvenix (bitte mitsenden): " + com::toUtf8(runLog));
        }
        return profile.writeError.empty() ? kDone : kFailed;
    } catch (const hostprobe::ProbeRefused& e) {
        say(e.message().c_str(), true);
        return kNoDrawing;
    } catch (const host::HostError& e) {
        if (e.stopsRun()) {
            reportStopped(e.kind() == host::HostFailure::Busy ? msg::kHostBusy : msg::kHostNotAnswering);
            return kHostStopped;
        }
        reportStopped((std::wstring(msg::kHostUnreachable) + L": " + com::fromUtf8(e.what())).c_str());
        return kFailed;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    bool write = false;
    bool saveTest = false;
    std::wstring out = L"hostprofile.json";
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--help" || option == L"-h" || option == L"/?") {
            say(kHelp);
            return kDone;
        }
        if (option == L"--write") {
            write = true;
        } else if (option == L"--save-test") {
            saveTest = true;
        } else if (option == L"--out" && i + 1 < argc) {
            out = argv[++i];
        } else {
            say("Unbekannte Angabe: " + tvx::com::toUtf8(option) + "\n\n" + kHelp, true);
            return kUsage;
        }
    }
    try {
        return probe(write, saveTest, out);
    } catch (const std::exception& e) {
        say(std::string("Unerwarteter Fehler: ") + e.what(), true);
        return kFailed;
    }
}
