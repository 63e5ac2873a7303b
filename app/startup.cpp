#include "app/sequences.h"

#include "drawing/scan.h"

namespace tvx {

void Form_Load(Program& program) {
    program.form.setAlwaysOnTop();
    const std::wstring configError = program.readConfiguration
                                         ? program.readConfiguration(program.config)
                                         : readConfig(program.config, program.programFolder);
    program.split.lap(StartSplit::Configuration);
    if (!configError.empty()) {
        errorRoute(program, configError);
    }
    const RaiseMessage raise = [&program](const std::wstring& message) {
        raiseMessage(program, message);
    };
    if (!openSession(program.session, program.connector, raise)) {
        shutDown(program);
    }
    const std::optional<std::wstring>& title = program.session.title;
    program.log.note("Zeichnung", title && !title->empty() ? *title : L"unbekannt (der Host nennt sie nicht)");
    program.log.note("Blatt", program.session.sheetName);
    scanDrawing(program.session, program.symbols);
    program.split.lap(StartSplit::HostCalls);
    program.form.showModeless();
    program.split.lap(StartSplit::Windows);
    fillChoiceLists(program.form, program.symbols);
    program.split.lap(StartSplit::Lists);
    program.log.note("Start bis Dialog", program.split.text());
}

} // namespace tvx
