// What a run still owes the drawing when it ends early: the changes it made for its own sake only
// (toggle 24 switched off, an insertion not yet named), each with the step that takes it back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvx {

class OwedSteps {
public:
    using Step = std::function<void()>;
    using Ticket = std::uint64_t;

    // Owed from now until paid. `what` names it for a reader of the code and the tests.
    Ticket owe(std::string what, Step step);
    // The sequence made good itself (or there is nothing left to take back).
    void paid(Ticket ticket) noexcept;
    // Runs that one step now. A host that stops taking calls on it leaves it owed; any other
    // failure drops it, since trying again would fail the same way.
    void payNow(Ticket ticket) noexcept;
    // Runs every owed step, the latest first (as the changes were made, so an insertion goes
    // before the setting switched off around it). The first host that stops taking calls ends
    // it: what is left stays owed.
    void settle() noexcept;
    // Forgets every step and the host references they hold.
    void clear() noexcept { owed_.clear(); }

    bool empty() const noexcept { return owed_.empty(); }
    std::vector<std::string> owed() const;

private:
    struct Entry {
        Ticket ticket;
        std::string what;
        Step step;
    };
    // False when the host stopped taking calls during the step.
    static bool attempt(const Entry& entry) noexcept;

    std::vector<Entry> owed_;
    Ticket next_ = 1;
};

} // namespace tvx
