#include "database_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "SQLiteTable3.h"
#include "category_profile.h"
#include "scanner_for.h"
#include "source_file.h"

namespace pc {

namespace fs = std::filesystem;

bool FoundDatabases::any() const {
    return std::any_of(paths.begin(), paths.end(), [](const auto& p) { return !p.empty(); });
}

std::size_t FoundDatabases::fileCount() const {
    std::set<std::string> files;
    for (const auto& category : paths)
        files.insert(category.begin(), category.end());
    return files.size();
}

std::vector<CategoryCode> categoriesIn(const std::string& path) {
    TSQLiteDatabase db(path);
    std::vector<CategoryCode> out;
    for (CategoryCode code : kAllCategories)
        if (holdsCategory(db, code)) out.push_back(code);
    return out;
}

namespace {

// Both files missing counts as the same; one missing does not.
bool sameFileBytes(const std::string& a, const std::string& b) {
    std::error_code ea, eb;
    const bool hasA = fs::is_regular_file(a, ea), hasB = fs::is_regular_file(b, eb);
    if (!hasA || !hasB) return hasA == hasB;
    if (fs::file_size(a, ea) != fs::file_size(b, eb) || ea || eb) return false;
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    if (!x || !y) return false;
    std::vector<char> bx(1 << 16), by(1 << 16);
    while (x && y) {
        x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
        y.read(by.data(), static_cast<std::streamsize>(by.size()));
        if (x.gcount() != y.gcount() ||
            !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin()))
            return false;
    }
    return x.eof() && y.eof();
}

}  // namespace

bool sameDatabaseBytes(const std::string& a, const std::string& b) {
    std::error_code ignored;
    if (fs::equivalent(a, b, ignored)) return true;
    if (!sameFileBytes(a, b)) return false;
    for (const SideFileKind& side : kSideFiles)
        if (!sameFileBytes(a + side.suffix, b + side.suffix)) return false;
    return true;
}

namespace {

// The folder a phone keeps its providers' folders in (data/data), for a database in a provider's
// "databases" folder: a Samsung's logs.db lies in its own provider's; else the file's folder.
fs::path storeFolder(const std::string& file) {
    const fs::path folder = fs::path(file).parent_path();
    if (folder.filename() != "databases") return folder;
    return folder.parent_path().parent_path();
}

}  // namespace

FoundDatabases sortDatabases(std::span<const std::string> files) {
    FoundDatabases found;
    struct Held {
        std::string file;
        std::vector<CategoryCode> codes;
    };
    std::vector<Held> held;  // each distinct database, in the order given
    for (const std::string& file : files) {
        std::vector<CategoryCode> codes;
        try {
            codes = categoriesIn(file);
        } catch (const ESQLiteException&) {
            found.unreadable.push_back(file);
            continue;
        }
        if (codes.empty()) continue;
        const bool duplicate = std::any_of(held.begin(), held.end(), [&](const Held& h) {
            return sameDatabaseBytes(h.file, file);
        });
        if (duplicate)
            found.duplicates.push_back(file);
        else
            held.push_back({file, std::move(codes)});
    }
    auto has = [](const Held& h, CategoryCode code) {
        return std::find(h.codes.begin(), h.codes.end(), code) != h.codes.end();
    };
    // Folders whose call log is kept apart from the contacts: the contacts' own calls table
    // there is what the phone left behind when it moved them.
    std::set<fs::path> callLogApart;
    for (const Held& h : held)
        if (has(h, CategoryCode::CallLog) && !has(h, CategoryCode::Contacts))
            callLogApart.insert(storeFolder(h.file));
    for (const Held& h : held)
        for (CategoryCode code : h.codes) {
            if (code == CategoryCode::CallLog && has(h, CategoryCode::Contacts) &&
                callLogApart.count(storeFolder(h.file)))
                continue;
            found.paths[index(code)].push_back(h.file);
        }
    return found;
}

namespace {

bool isPhoneDatabaseName(const std::string& name) {
    return name == "mmssms.db" || name == "contacts2.db" || name == "calllog.db" ||
           name == "logs.db" || name == "bugle_db" || name == "msgstore.db";
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
    std::vector<std::string> all;
    for (auto& [name, paths] : byName) {
        std::sort(paths.begin(), paths.end());
        std::stable_sort(
            paths.begin(), paths.end(),
            [](const std::string& a, const std::string& b) { return placeRank(a) > placeRank(b); });
        all.insert(all.end(), paths.begin(), paths.end());
    }
    return sortDatabases(all);
}

}  // namespace pc
