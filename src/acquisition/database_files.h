// The databases a run reads, found among files a person picked or in a folder such as a phone's
// file-system dump: which file holds the contacts, the messages and the call log.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "result_types.h"

namespace pc {

struct FoundDatabases {
    std::array<std::string, 3> paths;  // by CategoryCode; empty: none found
    // Databases of a category already found elsewhere, not read: a folder with two mmssms.db.
    std::vector<std::string> skipped;
    // Picked files that are no database SQLite can read.
    std::vector<std::string> unreadable;

    bool found(CategoryCode code) const { return !paths[static_cast<std::size_t>(code)].empty(); }
    bool any() const;
};

// The categories a database holds, by its tables ("data" contacts, "sms" messages, "calls" the
// call log). Throws ESQLiteException when the file is no database.
std::vector<CategoryCode> categoriesIn(const std::string& path);

// Which of `files` each category reads: the first that holds it, except that a call log kept
// apart from the contacts (calllog.db, Android 7 and later) wins over the contacts' own table.
FoundDatabases sortDatabases(std::span<const std::string> files);

// The phone's databases under `folder` (mmssms.db, contacts2.db, calllog.db, by name), sorted as
// above. Of two files of one name the one in the Android providers' own folder is read (the
// device-encrypted storage of Android 7 and later first), else the first by path. The walk follows
// no links and looks at no more than `entryLimit` entries.
FoundDatabases findDatabasesIn(const std::string& folder, std::size_t entryLimit = 2'000'000);

}  // namespace pc
