#include "row_pipe.h"

#include <utility>

namespace pc::cli {

namespace {

constexpr std::size_t kBatchBytes = 1u << 20;

}  // namespace

void RowPipe::Batch::clear() {
    for (CategoryCode code : kAllCategories)
        rows.beginCategory(code);
    items.clear();
    bytes = 0;
}

RowPipe::RowPipe(Consume consume)
    : worker_([consume = std::move(consume)](Batch& b) { consume(b.rows, b.items); }) {
}

void RowPipe::header(CategoryCode code) {
    worker_.filling().items.push_back({code, true, 0});
}

void RowPipe::row(const ResultStore& store, CategoryCode code, std::uint32_t index) {
    Batch& batch = worker_.filling();
    const std::string_view packed = store.packedRow(code, index);
    batch.items.push_back({code, false, batch.rows.appendPacked(code, packed)});
    batch.bytes += packed.size();
    if (batch.bytes >= kBatchBytes) worker_.submit();
}

}  // namespace pc::cli
