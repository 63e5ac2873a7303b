#include "drawing/run_log.h"

#include "config/text_decoding.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tvx {
namespace {

constexpr std::string_view kEol = "\r\n";

std::string hex(std::int32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

std::string outcomeText(CallOutcome outcome, std::int32_t hresult, unsigned retries) {
    switch (outcome) {
    case CallOutcome::Answered:
        return retries == 0 ? std::string() : "nach " + std::to_string(retries) + " Wiederholungen";
    case CallOutcome::Failed: return "Fehler " + hex(hresult);
    case CallOutcome::Busy:
        return "abgewiesen bis zur Grenze, " + hex(hresult) + ", " + std::to_string(retries) + " Wiederholungen";
    case CallOutcome::Unanswered: return "keine Antwort binnen der Grenze";
    case CallOutcome::NotMade: return "nicht gestellt, der Host nimmt keine Aufrufe mehr";
    }
    return {};
}

bool standsAlone(CallOutcome outcome, RunLog::Micros duration) {
    return outcome != CallOutcome::Answered || duration >= RunLog::kSlowCall;
}

} // namespace

std::string formatMillis(RunLog::Micros duration) {
    char text[32];
    const long long us = duration.count();
    std::snprintf(text, sizeof text, "%lld,%02lld ms", us / 1000, (us % 1000) / 10);
    return text;
}

void StartSplit::lap(Part part) noexcept {
    const Clock::time_point now = Clock::now();
    parts_[part] += std::chrono::duration_cast<RunLog::Micros>(now - last_);
    last_ = now;
}

std::string StartSplit::text() const {
    static constexpr const char* kNames[] = {"Konfiguration", "Fenster", "Bilder", "Listen", "Host-Aufrufe"};
    std::string text;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::string(kNames[i]) + " " + formatMillis(parts_[i]);
    }
    return text;
}

void RunLog::note(std::string_view label, std::string_view text) noexcept {
    if (!on()) {
        return;
    }
    try {
        Entry entry;
        entry.text.reserve(label.size() + 2 + text.size());
        entry.text.append(label).append(": ").append(text);
        entries_.push_back(std::move(entry));
        lastCall_ = kNone;
    } catch (...) {
        // Out of memory: the line is lost, the run goes on.
    }
}

void RunLog::note(std::string_view label, std::wstring_view text) noexcept {
    if (!on()) {
        return;
    }
    try {
        note(label, std::string_view(encodeUtf8(text)));
    } catch (...) {
    }
}

void RunLog::hostCall(const char* operation, CallOutcome outcome, std::int32_t hresult, Micros duration,
                      unsigned retries) noexcept {
    if (!on()) {
        return;
    }
    try {
        const Call call{operation, nullptr, outcome, hresult, retries, ++calls_, duration};
        if (++callsInPiece_ > kCallsInFull && !summing_) {
            startSumming();
        }
        if (summing_ && !standsAlone(outcome, duration)) {
            addToSum(call);
            lastCall_ = kNone;
            return;
        }
        Entry entry;
        entry.kind = Kind::Call;
        entry.call = call;
        entries_.push_back(std::move(entry));
        lastCall_ = entries_.size() - 1;
    } catch (...) {
        lastCall_ = kNone;
    }
}

void RunLog::answer(const char* kind) noexcept {
    if (lastCall_ < entries_.size()) {
        entries_[lastCall_].call.answer = kind;
    }
}

void RunLog::addToSum(const Call& call) {
    const auto same = [&call](const Sum& sum) {
        return sum.operation == call.operation || std::strcmp(sum.operation, call.operation) == 0;
    };
    if (lastSum_ >= sums_.size() || !same(sums_[lastSum_])) {
        const auto found = std::find_if(sums_.begin(), sums_.end(), same);
        lastSum_ = static_cast<std::size_t>(found - sums_.begin());
        if (found == sums_.end()) {
            sums_.push_back(Sum{call.operation});
            Entry entry;
            entry.kind = Kind::Sum;
            entry.sum = lastSum_;
            entries_.push_back(std::move(entry));
        }
    }
    Sum& sum = sums_[lastSum_];
    ++sum.count;
    sum.total += call.duration;
    sum.longest = std::max(sum.longest, call.duration);
}

// The calls so far that a sum takes in go into it, each sum standing where its first call stood.
void RunLog::startSumming() {
    summing_ = true;
    std::vector<Entry> kept;
    kept.reserve(entries_.size());
    std::swap(kept, entries_);
    for (Entry& entry : kept) {
        if (entry.kind == Kind::Call && !standsAlone(entry.call.outcome, entry.call.duration)) {
            addToSum(entry.call);
        } else {
            entries_.push_back(std::move(entry));
        }
    }
    lastCall_ = kNone;
}

std::string RunLog::callLine(const Call& c) const {
    std::string line = "  #" + std::to_string(c.number) + " " + c.operation + ": ";
    const std::string outcome = outcomeText(c.outcome, c.hresult, c.retries);
    line += c.answer != nullptr ? c.answer : (outcome.empty() ? "beantwortet" : "");
    if (!outcome.empty()) {
        line += (c.answer != nullptr ? ", " : "") + outcome;
    }
    return line + ", " + formatMillis(c.duration);
}

std::string RunLog::takePiece() {
    std::string out;
    for (const Entry& entry : entries_) {
        switch (entry.kind) {
        case Kind::Line: out.append(entry.text); break;
        case Kind::Call: out.append(callLine(entry.call)); break;
        case Kind::Sum: {
            const Sum& sum = sums_[entry.sum];
            out.append("  ").append(sum.operation).append(": ").append(std::to_string(sum.count));
            out.append(" Aufrufe beantwortet, zusammen ").append(formatMillis(sum.total));
            out.append(", längster ").append(formatMillis(sum.longest));
            break;
        }
        }
        out.append(kEol);
    }
    forget();
    return out;
}

void RunLog::forget() noexcept {
    entries_.clear();
    sums_.clear();
    lastSum_ = 0;
    callsInPiece_ = 0;
    summing_ = false;
    lastCall_ = kNone;
}

void RunLog::flush() noexcept {
    if (!on()) {
        return;
    }
    try {
        const std::string piece = takePiece();
        if (!piece.empty()) {
            writer_(piece);
        }
    } catch (...) {
        // No log, and no word about it: the run is what matters.
        forget();
    }
}

CappedAppend planAppend(std::uintmax_t size, std::size_t record, std::uintmax_t cap) noexcept {
    CappedAppend plan;
    plan.bytes = static_cast<std::size_t>(std::min<std::uintmax_t>(record, cap));
    plan.rotateFirst = size > 0 && size + plan.bytes > cap;
    return plan;
}

} // namespace tvx
