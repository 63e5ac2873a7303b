// Failures of a run that are not host errors.
#pragma once

#include "drawing/host.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace tvx {

// A failure whose report for the user is already written, in German.
class ReportedError : public std::runtime_error {
public:
    explicit ReportedError(std::wstring report)
        : std::runtime_error("reported failure"), report_(std::move(report)) {}
    const std::wstring& report() const noexcept { return report_; }

private:
    std::wstring report_;
};

// The host answered an insertion or a renaming without doing it.
class InsertionFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Called inside a catch block: lets a failure pass on when the host takes no more calls (busy
// past the bound, hung), so it is reported as such and nothing more is asked of the host.
inline void rethrowIfHostStopped() {
    try {
        throw;
    } catch (const host::HostError& e) {
        if (e.stopsRun()) {
            throw;
        }
    } catch (...) {
    }
}

// Called inside a catch block: whether tidying up may still call the host.
inline bool hostStillAnswers() {
    try {
        throw;
    } catch (const host::HostError& e) {
        return !e.stopsRun();
    } catch (...) {
        return true;
    }
}

// A host reference the next step must call through; an empty one is the host failing that
// operation, not a null dereference. Returned by value, so the reference it holds outlives any
// temporary it came from.
template <class T>
std::shared_ptr<T> require(std::shared_ptr<T> ref, const char* operation) {
    if (!ref) {
        throw host::HostError(operation, "empty reference");
    }
    return ref;
}

} // namespace tvx
