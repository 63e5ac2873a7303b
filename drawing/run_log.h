// What a run leaves for support: the run's circumstances, every host call with its answer, its
// HRESULT when it failed and its duration, the message shown and how the run ended. Collected in
// memory and handed to a writer in one piece, so that logging never slows the run's host calls
// nor fails it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

enum class CallOutcome {
    Answered,   // the host returned a success code
    Failed,     // the host returned a failure code
    Busy,       // the host rejected the call until the busy bound
    Unanswered, // the call had not come back within its bound
    NotMade,    // the host takes no more calls: the call was never made
};

class RunLog {
public:
    using Micros = std::chrono::microseconds;
    // A call at least this long stays a line of its own, as every failed call does.
    static constexpr Micros kSlowCall{100'000};
    // Up to this many calls in one piece, each gets a line; beyond, the calls that are neither
    // failed nor slow are summed up per name.
    static constexpr std::size_t kCallsInFull = 300;

    using Writer = std::function<void(std::string_view record)>;

    // Without a writer nothing is collected: the log is switched off.
    void writeTo(Writer writer) { writer_ = std::move(writer); }
    bool on() const noexcept { return static_cast<bool>(writer_); }

    // A line "label: text" in the order of the run. The wide form takes text as UTF-16.
    void note(std::string_view label, std::string_view text) noexcept;
    void note(std::string_view label, std::wstring_view text) noexcept;

    // One host call. operation must outlive the log (the client's names are literals).
    void hostCall(const char* operation, CallOutcome outcome, std::int32_t hresult, Micros duration,
                  unsigned retries = 0) noexcept;
    // The kind of answer the last call gave ("Objekt", "False", ...): a literal too.
    void answer(const char* kind) noexcept;

    // The text collected since the last piece, formatted; then forgotten. Empty when none.
    std::string takePiece();
    // Hands the collected piece to the writer; a writer that fails is ignored.
    void flush() noexcept;

private:
    struct Call {
        const char* operation;
        const char* answer;
        CallOutcome outcome;
        std::int32_t hresult;
        unsigned retries;
        std::uint64_t number;
        Micros duration;
    };
    // Answered calls of one name, once a piece has too many calls to give each a line.
    struct Sum {
        const char* operation;
        std::uint64_t count = 0;
        Micros total{0};
        Micros longest{0};
    };
    enum class Kind : unsigned char { Line, Call, Sum };
    struct Entry {
        Kind kind = Kind::Line;
        std::string text;  // Line
        Call call{};       // Call
        std::size_t sum{}; // Sum: index into sums_, written where its name first came
    };

    // Cheap per call: only a search among the few names of the run.
    void addToSum(const Call& call);
    void startSumming();
    // Everything collected since the last piece, dropped.
    void forget() noexcept;
    std::string callLine(const Call& call) const;

    Writer writer_;
    std::vector<Entry> entries_;
    std::vector<Sum> sums_;
    std::size_t lastSum_ = 0;
    std::size_t callsInPiece_ = 0;
    bool summing_ = false;
    // The entry of the last call, for its answer; none once it went into a sum.
    std::size_t lastCall_ = kNone;
    std::uint64_t calls_ = 0;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
};

// Where the time from a click to the filled dialog went, part by part: the log's answer to "the
// click is slow".
class StartSplit {
public:
    enum Part : std::size_t { Configuration, Windows, Pictures, Lists, HostCalls };
    using Clock = std::chrono::steady_clock;

    // The time since the last lap (or since this object was made) goes to part.
    void lap(Part part) noexcept;
    void add(Part part, RunLog::Micros took) noexcept { parts_[part] += took; }
    RunLog::Micros part(Part part) const noexcept { return parts_[part]; }
    // "Konfiguration 2,10 ms, Fenster 30,20 ms, Bilder ..., Listen ..., Host-Aufrufe ..."
    std::string text() const;

private:
    std::array<RunLog::Micros, 5> parts_{};
    Clock::time_point last_ = Clock::now();
};

// "0,42 ms", the duration as a reader of the log wants it.
std::string formatMillis(RunLog::Micros duration);

// How a record goes into a log file of size bytes that is kept at most cap bytes: when the
// record would make it bigger, the file becomes the older one first (replacing the one before).
// A record bigger than cap alone is cut to cap.
struct CappedAppend {
    bool rotateFirst = false;
    std::size_t bytes = 0; // of the record, from its start
};
CappedAppend planAppend(std::uintmax_t size, std::size_t record, std::uintmax_t cap) noexcept;

} // namespace tvx
