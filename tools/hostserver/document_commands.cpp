#include "tools/hostserver/document_commands.h"

#include "drawing/com/failure_text.h"
#include "drawing/sim/drawing_file.h"

#include <cstdio>

namespace tvx::hostserver {

bool saveDrawing(const sim::HostData& data, const std::wstring& to) {
    try {
        sim::saveDrawingFile(data, to);
        return true;
    } catch (const sim::DrawingFileError& e) {
        std::fprintf(stderr, "tvx-hostserver: %s\n", e.what());
        return false;
    }
}

bool DocumentCommands::refuse(const std::string& why) const {
    std::fprintf(stderr, "tvx-hostserver: %s; nothing changed\n", why.c_str());
    remark_("-- refused: " + why);
    return false;
}

bool DocumentCommands::play(const StopFileCommand& command) {
    using Kind = StopFileCommand::Kind;
    if (command.kind != Kind::Store && command.kind != Kind::AddSymbol && command.kind != Kind::Delete &&
        command.kind != Kind::CloseDocument) {
        return false;
    }
    if (!command.problem.empty()) {
        return !refuse(command.problem);
    }
    try {
        switch (command.kind) {
        case Kind::Store: store(); break;
        case Kind::AddSymbol:
            remark_("-- the designer added the symbol " + com::toUtf8(host_.addSymbol(command.symbol)));
            break;
        case Kind::Delete:
            host_.deleteAnnotation(command.sheet);
            remark_("-- the designer deleted " + com::toUtf8(command.sheet));
            break;
        default: closeDocument(); break;
        }
    } catch (const sim::DesignerEditError& e) {
        refuse(std::string(command.kind == Kind::AddSymbol ? "add symbol: " : "delete: ") + e.what());
    }
    return true;
}

bool DocumentCommands::store() {
    if (!host_.data().activeDoc) {
        return refuse("store: no document is open");
    }
    const auto write = [this] { return saveDrawing(std::as_const(host_).data(), saveTo_); };
    if (!events_) {
        return write();
    }
    return events_->save(saveTo_, write);
}

void DocumentCommands::closeDocument() {
    if (!host_.data().activeDoc) {
        refuse("close document: no document is open");
        return;
    }
    if (events_) {
        events_->close();
    }
    closed_ = std::move(host_.data().activeDoc);
    host_.data().activeDoc.reset();
    remark_("-- the document closed");
}

bool DocumentCommands::saveAtStop() const {
    if (!closed_ || std::as_const(host_).data().activeDoc) {
        return saveDrawing(std::as_const(host_).data(), saveTo_);
    }
    sim::HostData data = std::as_const(host_).data();
    data.activeDoc = closed_;
    return saveDrawing(data, saveTo_);
}

} // namespace tvx::hostserver
