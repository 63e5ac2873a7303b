// A small client for the fixture script's own test: "touch" adds a named note to the running
// host's drawing, "fail" attaches and then fails, "absent" succeeds only when no host runs.
#include "drawing/com/com_host.h"

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    using namespace tvx;
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    try {
        const com::ComApartment apartment;
        com::ComConnector connector;
        if (mode == L"absent") {
            try {
                connector.attach(host::kHostClassName);
            } catch (const host::HostError&) {
                return 0;
            }
            std::fputs("a host is still running\n", stderr);
            return 1;
        }
        const host::DocRef doc = connector.attach(host::kHostClassName)->ActiveDoc();
        if (mode == L"fail" || !doc) {
            return 1;
        }
        const std::wstring sheet = doc->GetCurrentSheet()->GetName();
        doc->ActivateSheet(sheet);
        doc->SelectByID(sheet, L"SHEET", 0.1, 0.05, 0);
        const host::NoteRef note = doc->InsertNote(L"Fixture");
        return note && note->GetAnnotation()->SetName(L"FixtureNote") ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
