// Work handed from one thread to a thread of its own a batch at a time, in order: one batch fills
// while the other is worked on, so the two threads overlap and at most two batches are held. What
// the work throws is kept and thrown again by the next drain().
//
// `Batch` has `bool empty() const` and `void clear()`; the work runs on the worker's thread and the
// batch is cleared after it, ready to fill again.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace pc {

template <typename Batch>
class BatchWorker {
  public:
    explicit BatchWorker(std::function<void(Batch&)> work)
        : work_(std::move(work)), thread_([this] { run(); }) {}
    BatchWorker(const BatchWorker&) = delete;
    BatchWorker& operator=(const BatchWorker&) = delete;
    // Ends the thread after the batch it holds; a batch still filling is dropped.
    ~BatchWorker() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // The batch being filled, by the caller's thread only.
    Batch& filling() { return *filling_; }

    // Hands the filling batch over once the thread is done with the other one, which becomes the
    // filling batch.
    void submit() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return handed_ == nullptr; });
        handed_ = filling_;
        filling_ = filling_ == &batches_[0] ? &batches_[1] : &batches_[0];
        lock.unlock();
        changed_.notify_all();
    }

    // Whether the work threw since the last drain: what is handed over after it may be lost.
    bool failed() {
        std::lock_guard lock(mutex_);
        return error_ != nullptr;
    }

    // Hands over what is filling and waits until all of it is done; rethrows the first exception
    // the work threw since the last drain.
    void drain() {
        if (!filling_->empty()) submit();
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return handed_ == nullptr; });
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        while (true) {
            changed_.wait(lock, [&] { return handed_ != nullptr || stop_; });
            if (!handed_) return;
            Batch& batch = *handed_;
            lock.unlock();
            // Carried to drain(), on the caller's thread; later batches are still worked on.
            std::exception_ptr failed;
            try {
                work_(batch);
            } catch (...) {
                failed = std::current_exception();
            }
            batch.clear();
            lock.lock();
            if (failed && !error_) error_ = failed;
            handed_ = nullptr;
            changed_.notify_all();
        }
    }

    std::function<void(Batch&)> work_;
    Batch batches_[2];
    Batch* filling_ = &batches_[0];
    Batch* handed_ = nullptr;  // being worked on; guarded by mutex_
    bool stop_ = false;
    std::exception_ptr error_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;  // last: started once the rest is ready
};

}  // namespace pc
