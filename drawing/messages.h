// The fixed German messages a run shows the user, in one place. The configuration file's own
// message belongs to its reader (config/config.h).
#pragma once

#include <string>

namespace tvx::msg {

inline constexpr wchar_t kNoHostInstance[] = L"Keine aktive SolidWorks Instanz gefunden !";
inline constexpr wchar_t kNoDocument[] = L"Kein SolidWorks Dokument geladen !";
inline constexpr wchar_t kNoDrawing[] = L"Es werden nur SolidWorks Zeichnungen unterstützt !";
inline constexpr wchar_t kCalcError[] = L"Fehler bei der Berechnung !";
inline constexpr wchar_t kInsertError[] = L"Fehler beim Einfügen der Symbole !";

// Reports the program words itself, for failures the messages above do not cover. The message
// dialog shows about two lines, so what was found comes first.
inline constexpr wchar_t kUnexpectedError[] = L"Unerwarteter Fehler, das Programm wird beendet";
inline constexpr wchar_t kHostUnreachable[] = L"SolidWorks antwortet nicht mehr";
// A host that keeps rejecting calls is usually showing a dialog of its own or still working.
inline constexpr wchar_t kHostBusy[] =
    L"SolidWorks ist beschäftigt ! Offenen Dialog schließen und neu starten.";
// Sent while a call hangs: whatever that call was doing may be half done.
inline constexpr wchar_t kHostNotAnswering[] = L"SolidWorks antwortet nicht ! Bitte die Zeichnung prüfen.";
// Ok while a command of the host or its PropertyManager page is open: the run waits in the dialog.
inline constexpr wchar_t kHostCommandOpen[] =
    L"Im Host ist noch ein Befehl offen. Bitte ihn zuerst beenden, dann Ok drücken.";
inline constexpr wchar_t kTooManyForeignSymbols[] =
    L"Mehr als 5 verschiedene fremde Oberflächensymbole gefunden !";
inline constexpr wchar_t kTooManyOwnSymbols[] =
    L"Mehr als 21 Oberflächensymbole eines früheren Laufs gefunden !";
inline constexpr wchar_t kOwnNameWithoutNumber[] = L"Symbolname ohne zwei Endziffern gefunden: ";
// Ok found the drawing changed in a way that would make clearing delete or lose something.
inline constexpr wchar_t kDrawingChanged[] =
    L"Zeichnung inzwischen geändert, nichts eingefügt. Bitte neu starten !";
inline constexpr wchar_t kUnknownMainKind[] = L"Hauptsymbol mit unbekannter Art gefunden: ";

// The indication would stand (partly) off its sheet: the paper code, and what to write or correct
// in the configuration.
inline std::wstring noCornerForPaper(const std::wstring& code) {
    return L"Kein Eckpunkt für Papierformat " + code + L": bitte „Eckpunkt " + code +
           L" = …“ in der Konfiguration ergänzen.";
}
inline std::wstring offSheet(const std::wstring& code, const std::wstring& what) {
    return L"Angabe passt nicht auf Papierformat " + code + L": bitte " + what +
           L" in der Konfiguration korrigieren.";
}
// A code no line of the configuration can give a corner.
inline std::wstring offUnknownSheet(const std::wstring& code) {
    return L"Angabe passt nicht auf Papierformat " + code + L" !";
}

} // namespace tvx::msg
