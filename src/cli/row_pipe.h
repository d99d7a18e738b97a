// Rows handed from the scan to a thread of their own, which encodes and writes them while the
// scan goes on with the next pages: on two processors the export costs the scan little. Rows
// travel packed, a batch of about a megabyte at a time (each hand-over wakes a thread, which costs
// much under some hypervisors); two batches at most are held, so a scan that outruns the writing
// waits for it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "batch_worker.h"
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

    // What is still filling when the pipe goes is dropped: callers drain() first.
    explicit RowPipe(Consume consume);

    void header(CategoryCode code);
    // Copies row `index` of `store`, which may be gone or overwritten once this returns.
    void row(const ResultStore& store, CategoryCode code, std::uint32_t index);
    // Returns once every item handed over has been consumed; rethrows the first exception that
    // consuming threw since the last drain.
    void drain() { worker_.drain(); }

  private:
    struct Batch {
        ResultStore rows;
        std::vector<Item> items;
        std::size_t bytes = 0;
        bool empty() const { return items.empty(); }
        void clear();
    };
    BatchWorker<Batch> worker_;
};

}  // namespace pc::cli
