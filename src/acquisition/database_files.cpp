#include "database_files.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "SQLiteTable3.h"
#include "category_profile.h"

namespace pc {

namespace fs = std::filesystem;

bool FoundDatabases::any() const {
    return std::any_of(paths.begin(), paths.end(), [](const std::string& p) { return !p.empty(); });
}

std::vector<CategoryCode> categoriesIn(const std::string& path) {
    TSQLiteDatabase db(path);
    std::vector<CategoryCode> out;
    for (CategoryCode code : kAllCategories)
        if (db.HasTable(profileOf(code).signature.table)) out.push_back(code);
    return out;
}

FoundDatabases sortDatabases(std::span<const std::string> files) {
    FoundDatabases found;
    std::array<int, 3> rank{-1, -1, -1};
    std::vector<std::string> holding;  // databases with a category, in the order given
    for (const std::string& file : files) {
        std::vector<CategoryCode> codes;
        try {
            codes = categoriesIn(file);
        } catch (const ESQLiteException&) {
            found.unreadable.push_back(file);
            continue;
        }
        if (!codes.empty()) holding.push_back(file);
        const bool hasContacts = std::count(codes.begin(), codes.end(), CategoryCode::Contacts) > 0;
        for (CategoryCode code : codes) {
            const auto slot = static_cast<std::size_t>(code);
            const int r = code == CategoryCode::CallLog && !hasContacts ? 1 : 0;
            if (r > rank[slot]) {
                rank[slot] = r;
                found.paths[slot] = file;
            }
        }
    }
    for (const std::string& file : holding)
        if (std::find(found.paths.begin(), found.paths.end(), file) == found.paths.end())
            found.skipped.push_back(file);
    return found;
}

namespace {

bool isPhoneDatabaseName(const std::string& name) {
    return name == "mmssms.db" || name == "contacts2.db" || name == "calllog.db";
}

// Where Android keeps its providers' databases, the device-encrypted storage of Android 7 and
// later first (where the phone copy looks first too); a copy elsewhere (a backup, an app's
// cache) is last.
int placeRank(const std::string& path) {
    if (path.find("com.android.providers.") == std::string::npos) return 0;
    return path.find("/user_de/") != std::string::npos ? 2 : 1;
}

}  // namespace

FoundDatabases findDatabasesIn(const std::string& folder, std::size_t entryLimit) {
    std::map<std::string, std::vector<std::string>> byName;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    std::size_t seen = 0;
    for (; !ec && it != fs::recursive_directory_iterator() && seen < entryLimit;
         it.increment(ec), ++seen) {
        const fs::directory_entry& entry = *it;
        std::error_code typeError;
        if (!entry.is_regular_file(typeError)) continue;
        const std::string name = entry.path().filename().string();
        if (isPhoneDatabaseName(name)) byName[name].push_back(entry.path().string());
    }
    std::vector<std::string> chosen, skipped;
    for (auto& [name, paths] : byName) {
        std::sort(paths.begin(), paths.end());
        std::stable_sort(
            paths.begin(), paths.end(),
            [](const std::string& a, const std::string& b) { return placeRank(a) > placeRank(b); });
        chosen.push_back(paths.front());
        skipped.insert(skipped.end(), paths.begin() + 1, paths.end());
    }
    FoundDatabases found = sortDatabases(chosen);
    found.skipped.insert(found.skipped.begin(), skipped.begin(), skipped.end());
    return found;
}

}  // namespace pc
