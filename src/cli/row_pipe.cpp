#include "row_pipe.h"

#include <utility>

namespace pc::cli {

namespace {

constexpr std::size_t kBatchBytes = 256u << 10;

}  // namespace

void RowPipe::Batch::clear() {
    for (CategoryCode code : kAllCategories)
        rows.beginCategory(code);
    items.clear();
    bytes = 0;
}

RowPipe::RowPipe(Consume consume) : consume_(std::move(consume)), thread_([this] { run(); }) {
}

RowPipe::~RowPipe() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void RowPipe::header(CategoryCode code) {
    filling_->items.push_back({code, true, 0});
}

void RowPipe::row(const ResultStore& store, CategoryCode code, std::uint32_t index) {
    const std::string_view packed = store.packedRow(code, index);
    filling_->items.push_back({code, false, filling_->rows.appendPacked(code, packed)});
    filling_->bytes += packed.size();
    if (filling_->bytes >= kBatchBytes) submit();
}

// Hands the filling batch over once the thread is done with the other one, which becomes the
// filling batch.
void RowPipe::submit() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return handed_ == nullptr; });
    handed_ = filling_;
    filling_ = filling_ == &batches_[0] ? &batches_[1] : &batches_[0];
    lock.unlock();
    changed_.notify_all();
}

void RowPipe::drain() {
    if (!filling_->items.empty()) submit();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return handed_ == nullptr; });
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void RowPipe::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return handed_ != nullptr || stop_; });
        if (!handed_) return;
        Batch& batch = *handed_;
        lock.unlock();
        // Kept for drain(), which hands it to the scan's thread; a later batch still goes out.
        std::exception_ptr failed;
        try {
            consume_(batch.rows, batch.items);
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

}  // namespace pc::cli
