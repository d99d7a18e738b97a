// Rows handed from the scan to a thread of their own, which encodes and writes them while the
// scan goes on with the next pages: on two processors the export costs the scan little. Rows
// travel packed, a batch of about a quarter megabyte at a time; two batches at most are held, so
// a scan that outruns the writing waits for it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "result_store.h"

namespace pc::cli {

class RowPipe {
  public:
    // One thing to write: a category's header, or row `index` of the batch's store.
    struct Item {
        CategoryCode code;
        bool header;
        std::uint32_t index;
    };
    // Called on the pipe's thread with each batch, in the order handed over.
    using Consume = std::function<void(const ResultStore& rows, std::span<const Item> items)>;

    explicit RowPipe(Consume consume);
    RowPipe(const RowPipe&) = delete;
    RowPipe& operator=(const RowPipe&) = delete;
    // Ends the thread after what it was handed; what is still in the filling batch is dropped,
    // so callers drain() first.
    ~RowPipe();

    void header(CategoryCode code);
    // Copies row `index` of `store`, which may be gone or overwritten once this returns.
    void row(const ResultStore& store, CategoryCode code, std::uint32_t index);
    // Returns once every item handed over has been consumed; rethrows the first exception that
    // consuming threw since the last drain.
    void drain();

  private:
    struct Batch {
        ResultStore rows;
        std::vector<Item> items;
        std::size_t bytes = 0;
        void clear();
    };
    void submit();
    void run();

    Consume consume_;
    Batch batches_[2];
    Batch* filling_ = &batches_[0];
    Batch* handed_ = nullptr;  // being consumed; guarded by mutex_
    bool stop_ = false;
    std::exception_ptr error_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;  // last: started once the rest is ready
};

}  // namespace pc::cli
