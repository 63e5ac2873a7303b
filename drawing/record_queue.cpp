#include "drawing/record_queue.h"

#include <utility>

namespace tvx {

bool RecordQueue::push(QueuedRecord record) {
    const std::lock_guard<std::mutex> lock(lock_);
    if (bytes_ + record.text.size() > cap_) {
        ++dropped_;
        return false;
    }
    bytes_ += record.text.size();
    records_.push_back(std::move(record));
    const bool start = !draining_;
    draining_ = true;
    return start;
}

std::optional<QueuedRecord> RecordQueue::next() {
    const std::lock_guard<std::mutex> lock(lock_);
    if (records_.empty()) {
        draining_ = false;
        settled_.notify_all();
        return std::nullopt;
    }
    QueuedRecord record = std::move(records_.front());
    records_.pop_front();
    bytes_ -= record.text.size();
    if (dropped_ > 0) {
        record.text = "Nicht geschrieben: " + std::to_string(dropped_) +
                      (dropped_ == 1 ? " Eintrag" : " Einträge") +
                      " davor (das Schreiben kam nicht nach)\r\n" + record.text;
        dropped_ = 0;
    }
    return record;
}

bool RecordQueue::settle(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(lock_);
    if (settled_.wait_for(lock, bound, [this] { return records_.empty() && !draining_; })) {
        return true;
    }
    dropped_ += records_.size();
    records_.clear();
    bytes_ = 0;
    return false;
}

} // namespace tvx
