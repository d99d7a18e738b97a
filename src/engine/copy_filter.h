// Tells the first copy of a row from the ones after it, so that each row is listed once: a deleted
// record is a copy when it has the key of a live row (a stale copy SQLite left when it moved the
// cell) or of a deleted row kept before. What a key is made of is the caller's choice: a category
// keys rows by the columns that identify them, the carve of a table by every value.
#pragma once

#include "record_key.h"

namespace pc {

class CopyFilter {
  public:
    // `allCopies`: every copy is a first one (nothing is filtered).
    explicit CopyFilter(bool allCopies) : all_(allCopies) {}

    bool allCopies() const { return all_; }
    // A live row's key, gathered while the structures are walked; seal() makes them the set.
    void addLive(const RecordKey& key) {
        if (!all_) gathered_.push_back(key);
    }
    void seal();
    bool isLive(const RecordKey& key) const { return live_.contains(key); }
    // Fetches the slots the keys will be looked up in, so that a look-up a little later (after
    // the caller's checks) seldom waits on memory.
    void prefetch(const RecordKey& live, const RecordKey& deleted, bool liveToo = true) const {
        if (liveToo) live_.prefetch(live);
        deleted_.prefetch(deleted);
    }
    void prefetchLive(const RecordKey& key) const { live_.prefetch(key); }
    // Whether the deleted record with these keys is the first copy of its row; it then counts as
    // kept.
    bool firstDeleted(const RecordKey& live, const RecordKey& deleted) {
        return firstDeleted({&live, 1}, {&deleted, 1}, {&deleted, 1});
    }
    // The same where a record is known by several keys: it is a copy when one of `live` is a
    // live row's or one of `seen` was kept before; a first copy is kept under each of `keep`.
    bool firstDeleted(std::span<const RecordKey> live, std::span<const RecordKey> seen,
                      std::span<const RecordKey> keep) {
        if (all_) return true;
        for (const RecordKey& k : live)
            if (live_.contains(k)) return false;
        for (const RecordKey& k : seen)
            if (deleted_.contains(k)) return false;
        for (const RecordKey& k : keep)
            deleted_.insert(k);
        return true;
    }

  private:
    bool all_;
    RecordKeyList gathered_;
    RecordKeySet live_, deleted_;
};

inline void CopyFilter::seal() {
    live_.reserve(live_.size() + gathered_.size());
    gathered_.drainBlocks([&](std::span<const RecordKey> keys) { live_.insertAll(keys); });
}

}  // namespace pc
