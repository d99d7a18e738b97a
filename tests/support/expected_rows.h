// What a scan should list, worked out without the scanner: the rows of the written fixtures and
// the rows SQLite itself reads, as the cells of the scan's rows (the state word left out), joined.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "contacts_fixture.h"
#include "result_store.h"
#include "sms_fixture.h"

namespace pc::testing {

// A row's cells without its state word, joined by U+001F.
using RowText = std::string;

RowText rowText(const ResultStore& store, CategoryCode code, std::uint32_t index);
std::multiset<RowText> storedRows(const ResultStore& store, CategoryCode code, RecordState state);

struct ExpectedRows {
    std::multiset<RowText> live;
    std::multiset<RowText> deleted;
    // The record bytes of each deleted row (for a contact: of each of its rows), to tell whether
    // they are still anywhere in the files.
    std::vector<std::pair<RowText, std::vector<std::vector<std::uint8_t>>>> deletedRecords;
};

ExpectedRows expectedRows(const fixtures::SmsFixture& f);
ExpectedRows expectedRows(const fixtures::CallsFixture& f);
ExpectedRows expectedRows(const fixtures::ContactsFixture& f);

// The rows SQLite reads from the database at `path` with the files beside it (from a copy, so
// that a hot journal it rolls back or a log it checkpoints is not the original), as the scan
// shows them.
std::multiset<RowText> sqliteRows(const std::string& path, CategoryCode code);

// The bytes of the main file and of its -wal and -journal, one after the other.
std::vector<std::uint8_t> allFileBytes(const std::string& path);

}  // namespace pc::testing
