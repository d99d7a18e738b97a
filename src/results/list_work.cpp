#include "list_work.h"

#include <exception>
#include <utility>

namespace pc {

ListWork::~ListWork() {
    abandon();
}

void ListWork::abandon() {
    if (thread_.joinable()) thread_.join();
    running_ = false;
    queued_.clear();
    result_ = nullptr;
    error_.clear();
}

void ListWork::queue(Start start, std::size_t rows) {
    queued_.push_back(std::move(start));
    if (rows < inlineRows_ && !running_ && !held_ && queued_.size() == 1) {
        wait();
        return;
    }
    startNext();
    sayBusy();
}

void ListWork::hold(bool held) {
    held_ = held;
    if (!held_) startNext();
    sayBusy();
}

void ListWork::sayBusy() {
    if (busy() == saidBusy_) return;
    saidBusy_ = busy();
    emit busyChanged(saidBusy_);
}

namespace {

// What a job made, or why it could not (out of memory).
void runJob(const ListWork::Job& job, ListWork::Apply& result, QString& error) {
    try {
        result = job();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
}

}  // namespace

void ListWork::startNext() {
    if (running_ || held_ || queued_.empty()) return;
    Job job = queued_.front()();
    queued_.pop_front();
    running_ = true;
    const unsigned serial = ++serial_;
    thread_ = std::thread([this, job = std::move(job), serial] {
        runJob(job, result_, error_);
        QMetaObject::invokeMethod(
            this, [this, serial] { finish(serial); }, Qt::QueuedConnection);
    });
}

void ListWork::applyResult() {
    if (thread_.joinable()) thread_.join();
    running_ = false;
    Apply apply = std::exchange(result_, nullptr);
    const QString error = std::exchange(error_, QString());
    if (!error.isEmpty())
        emit failed(error);
    else if (apply)
        apply();
}

void ListWork::finish(unsigned serial) {
    // wait() may have taken this job's result already.
    if (!running_ || serial != serial_) return;
    applyResult();
    startNext();
    sayBusy();
}

void ListWork::wait() {
    if (running_) applyResult();
    // The rest run here: nothing is gained by a thread the window waits for.
    while (!queued_.empty()) {
        const Job job = queued_.front()();
        queued_.pop_front();
        runJob(job, result_, error_);
        applyResult();
    }
    sayBusy();
}

}  // namespace pc
