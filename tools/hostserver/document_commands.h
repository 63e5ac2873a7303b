// The designer's own work on the served drawing, from the stop file or the frame's menu: saving it
// without ending, adding a symbol, deleting an annotation, closing the document. A command that
// cannot be carried out says why on stderr and in the trace, and changes nothing.
#pragma once

#include "drawing/sim/sim_host.h"
#include "tools/hostserver/doc_events.h"
#include "tools/hostserver/stop_file.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tvx::hostserver {

// False, with the reason on stderr, when the drawing could not be written.
bool saveDrawing(const sim::HostData& data, const std::wstring& to);

class DocumentCommands {
public:
    // `events`: the drawing's events, none when the document is no drawing.
    DocumentCommands(sim::SimHost& host, std::wstring saveTo, std::shared_ptr<DocEvents> events,
                     std::function<void(const std::string&)> remark)
        : host_(host), saveTo_(std::move(saveTo)), events_(std::move(events)), remark_(std::move(remark)) {}

    // True for the commands of this kind, whether or not they could be carried out.
    bool play(const StopFileCommand& command);
    // "store" and the frame's "Datei > Speichern".
    bool store();
    void closeDocument();
    // The host's end: the document's subscribers hear it close, the drawing stays to be saved.
    void hostEnds() {
        if (events_) {
            events_->close();
        }
    }
    // What the stop's "save" writes: a document closed meanwhile as it was when it closed.
    bool saveAtStop() const;

private:
    bool refuse(const std::string& why) const;

    sim::SimHost& host_;
    std::wstring saveTo_;
    std::shared_ptr<DocEvents> events_;
    std::function<void(const std::string&)> remark_;
    std::optional<sim::DocumentData> closed_;
};

} // namespace tvx::hostserver
