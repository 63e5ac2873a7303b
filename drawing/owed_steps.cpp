#include "drawing/owed_steps.h"

#include "drawing/host.h"

#include <algorithm>

namespace tvx {

OwedSteps::Ticket OwedSteps::owe(std::string what, Step step) {
    const Ticket ticket = next_++;
    owed_.push_back({ticket, std::move(what), std::move(step)});
    return ticket;
}

void OwedSteps::paid(Ticket ticket) noexcept {
    std::erase_if(owed_, [ticket](const Entry& e) { return e.ticket == ticket; });
}

bool OwedSteps::attempt(const Entry& entry) noexcept {
    try {
        entry.step();
    } catch (const host::HostError& e) {
        return !e.stopsRun();
    } catch (...) {
        // The failure that ended the run is the one reported; this one changes nothing about it.
    }
    return true;
}

void OwedSteps::payNow(Ticket ticket) noexcept {
    const auto it = std::find_if(owed_.begin(), owed_.end(), [ticket](const Entry& e) { return e.ticket == ticket; });
    if (it != owed_.end() && attempt(*it)) {
        paid(ticket);
    }
}

void OwedSteps::settle() noexcept {
    while (!owed_.empty()) {
        if (!attempt(owed_.back())) {
            return;
        }
        owed_.pop_back();
    }
}

std::vector<std::string> OwedSteps::owed() const {
    std::vector<std::string> names;
    for (const Entry& e : owed_) {
        names.push_back(e.what);
    }
    return names;
}

} // namespace tvx
