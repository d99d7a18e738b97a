#include "pages_vfs.h"
#include "sqlite_format.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace pc {

namespace {

constexpr const char* kVfsName = "phonecarve-pages";
constexpr std::uint64_t kWalMarkers = format::kWriteVersionOffset;

// The connections being opened, by the name they open: xOpen finds its pages here.
std::mutex registryMutex;
std::map<std::string, const DatabasePages*> registry;

struct PagesFile {
    sqlite3_file base;
    const DatabasePages* pages;
};

const DatabasePages& pagesOf(sqlite3_file* f) {
    return *reinterpret_cast<PagesFile*>(f)->pages;
}

std::uint64_t sizeOf(const DatabasePages& pages) {
    return std::uint64_t{pages.pageCount()} * pages.pageSize();
}

int xClose(sqlite3_file*) {
    return SQLITE_OK;
}

int xRead(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset) {
    const DatabasePages& pages = pagesOf(f);
    auto* dest = static_cast<std::uint8_t*>(out);
    const auto n = static_cast<std::uint64_t>(amount);
    const auto from = static_cast<std::uint64_t>(offset);
    std::memset(dest, 0, n);
    const std::uint64_t size = sizeOf(pages);
    for (std::uint64_t at = from; at < from + n && at < size;) {
        const auto page = static_cast<std::uint32_t>(at / pages.pageSize() + 1);
        const std::uint64_t inPage = at % pages.pageSize();
        const std::uint64_t take =
            std::min<std::uint64_t>(pages.pageSize() - inPage, from + n - at);
        const auto bytes = pages.page(page);
        if (!bytes.empty()) std::memcpy(dest + (at - from), bytes.data() + inPage, take);
        at += take;
    }
    // The header as a rollback-journal database's: nothing here may look for a log.
    for (std::uint64_t marker : {kWalMarkers, kWalMarkers + 1})
        if (marker >= from && marker < from + n && dest[marker - from] > 1) dest[marker - from] = 1;
    return from + n <= size ? SQLITE_OK : SQLITE_IOERR_SHORT_READ;
}

int xWrite(sqlite3_file*, const void*, int, sqlite3_int64) {
    return SQLITE_READONLY;
}
int xTruncate(sqlite3_file*, sqlite3_int64) {
    return SQLITE_READONLY;
}
int xSync(sqlite3_file*, int) {
    return SQLITE_OK;
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    *size = static_cast<sqlite3_int64>(sizeOf(pagesOf(f)));
    return SQLITE_OK;
}
int xLock(sqlite3_file*, int) {
    return SQLITE_OK;
}
int xCheckReservedLock(sqlite3_file*, int* reserved) {
    *reserved = 0;
    return SQLITE_OK;
}
int xFileControl(sqlite3_file*, int, void*) {
    return SQLITE_NOTFOUND;
}
int xSectorSize(sqlite3_file*) {
    return 512;
}
int xDeviceCharacteristics(sqlite3_file*) {
    return SQLITE_IOCAP_IMMUTABLE;
}

const sqlite3_io_methods kMethods = [] {
    sqlite3_io_methods m{};
    m.iVersion = 1;
    m.xClose = xClose;
    m.xRead = xRead;
    m.xWrite = xWrite;
    m.xTruncate = xTruncate;
    m.xSync = xSync;
    m.xFileSize = xFileSize;
    m.xLock = xLock;
    m.xUnlock = xLock;
    m.xCheckReservedLock = xCheckReservedLock;
    m.xFileControl = xFileControl;
    m.xSectorSize = xSectorSize;
    m.xDeviceCharacteristics = xDeviceCharacteristics;
    return m;
}();

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    file->pMethods = nullptr;
    if (!name || !(flags & SQLITE_OPEN_MAIN_DB)) return SQLITE_CANTOPEN;
    std::lock_guard lock(registryMutex);
    const auto it = registry.find(name);
    if (it == registry.end()) return SQLITE_CANTOPEN;
    auto* f = reinterpret_cast<PagesFile*>(file);
    f->pages = it->second;
    f->base.pMethods = &kMethods;
    if (outFlags) *outFlags = SQLITE_OPEN_READONLY;
    return SQLITE_OK;
}

int xDelete(sqlite3_vfs*, const char*, int) {
    return SQLITE_OK;
}
// No journal, log or shared-memory file exists beside the pages.
int xAccess(sqlite3_vfs*, const char*, int, int* result) {
    *result = 0;
    return SQLITE_OK;
}
int xFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    sqlite3_snprintf(size, out, "%s", name);
    return SQLITE_OK;
}

sqlite3_vfs* vfs() {
    static sqlite3_vfs* registered = [] {
        static sqlite3_vfs v{};
        const sqlite3_vfs* system = sqlite3_vfs_find(nullptr);
        v.iVersion = 1;
        v.szOsFile = sizeof(PagesFile);
        v.mxPathname = 512;
        v.zName = kVfsName;
        v.xOpen = xOpen;
        v.xDelete = xDelete;
        v.xAccess = xAccess;
        v.xFullPathname = xFullPathname;
        // Time, randomness and sleeping are the system's.
        v.pAppData = const_cast<sqlite3_vfs*>(system);
        v.xRandomness = [](sqlite3_vfs* self, int n, char* out) {
            auto* s = static_cast<sqlite3_vfs*>(self->pAppData);
            return s->xRandomness(s, n, out);
        };
        v.xSleep = [](sqlite3_vfs* self, int us) {
            auto* s = static_cast<sqlite3_vfs*>(self->pAppData);
            return s->xSleep(s, us);
        };
        v.xCurrentTime = [](sqlite3_vfs* self, double* now) {
            auto* s = static_cast<sqlite3_vfs*>(self->pAppData);
            return s->xCurrentTime(s, now);
        };
        v.xGetLastError = [](sqlite3_vfs*, int, char*) { return 0; };
        sqlite3_vfs_register(&v, 0);
        return &v;
    }();
    return registered;
}

}  // namespace

int openPagesConnection(const DatabasePages& pages, sqlite3** db) {
    const std::string name = "pages-" + std::to_string(reinterpret_cast<std::uintptr_t>(&pages));
    {
        std::lock_guard lock(registryMutex);
        registry[name] = &pages;
    }
    const int rc = sqlite3_open_v2(name.c_str(), db, SQLITE_OPEN_READONLY, vfs()->zName);
    std::lock_guard lock(registryMutex);
    registry.erase(name);
    return rc;
}

}  // namespace pc
