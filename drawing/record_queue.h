// The support log's records on their way to a writer that may be slow (a redirected folder, a
// share): in the order they came, bounded in bytes, and settled before the host lets go of us.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace tvx {

struct QueuedRecord {
    std::wstring file;
    std::string text;
};

class RecordQueue {
public:
    explicit RecordQueue(std::size_t capBytes) : cap_(capBytes) {}

    // Queues a record; one that would take the queue past its cap is dropped and counted. True
    // when the caller must start a drain (none runs now).
    bool push(QueuedRecord record);

    // For the drain: the next record, opened by a line that counts the records dropped before it;
    // none when the queue is empty, and the drain then ends.
    std::optional<QueuedRecord> next();

    // Waits at most bound until every record was handed to the writer and written; what is left
    // then is dropped, and the next record written says so. True when nothing was dropped.
    bool settle(std::chrono::milliseconds bound);

private:
    std::mutex lock_;
    std::condition_variable settled_;
    std::deque<QueuedRecord> records_;
    std::size_t bytes_ = 0;
    std::size_t dropped_ = 0;
    std::size_t cap_;
    bool draining_ = false;
};

} // namespace tvx
