// The databases a run reads, found among files a person picked or in a folder such as a phone's
// file-system dump: which file holds the contacts, the messages and the call log.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "result_types.h"

namespace pc {

inline constexpr const char* kNoDatabaseInFolder =
    "在该文件夹中没有找到 mmssms.db、contacts2.db 或 calllog.db！";

struct FoundDatabases {
    // Each category's databases, in the order they are read: every one is scanned.
    PerCategory<std::vector<std::string>> paths;
    // Files with the same bytes (side files included) as one already found: read once.
    std::vector<std::string> duplicates;
    // Picked files that are no database SQLite can read.
    std::vector<std::string> unreadable;

    bool found(CategoryCode code) const { return !paths[index(code)].empty(); }
    bool any() const;
    // How many databases are read, each counted once.
    std::size_t fileCount() const;
};

// Whether two files hold the same bytes, and so do the log and journal beside each.
bool sameDatabaseBytes(const std::string& a, const std::string& b);

// The categories a database holds, by its tables ("data" contacts, "sms" messages, "calls" or a
// Samsung's "logs" the call log). Throws ESQLiteException when the file is no database.
std::vector<CategoryCode> categoriesIn(const std::string& path);

// Which of `files` each category reads: every file that holds it, except that the call log kept
// apart from the contacts (calllog.db, Android 7 and later) is read instead of the contacts' own
// table in the same folder (a phone's own pair), and a file with the same bytes as one before it
// is a duplicate.
FoundDatabases sortDatabases(std::span<const std::string> files);

// The phone's databases under `folder` (mmssms.db, contacts2.db, calllog.db, by name), sorted as
// above. Of files of one name the one in the Android providers' own folder comes first (the
// device-encrypted storage of Android 7 and later first), then the others by path. The walk
// follows no links and looks at no more than `entryLimit` entries.
FoundDatabases findDatabasesIn(const std::string& folder, std::size_t entryLimit = 2'000'000);

}  // namespace pc
