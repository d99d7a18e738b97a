#include "database_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "file_error.h"
#include "rollback_journal.h"
#include "wal_log.h"

namespace pc {

DatabaseSource::DatabaseSource(const std::string& path, const DatabaseImage& image)
    : path_(path), image_(&image) {
    wal_.path = sideFilePath(path, SourceFile::Wal);
    journal_.path = sideFilePath(path, SourceFile::Journal);
    openSide(wal_, walMap_);
    openSide(journal_, journalMap_);
    std::uint32_t pageCount = image.pageCount();
    readWal(pageCount);
    if (replacements_.empty()) readJournal(pageCount);
    // Main-file pages the newest state no longer has, or has from elsewhere, are older images.
    std::vector<bool> replaced(std::max(pageCount, image.pageCount()) + 1u, false);
    for (const auto& r : replacements_)
        replaced[r.page] = true;
    for (std::uint32_t p = 1; p <= image.pageCount(); ++p)
        if (p > pageCount || replaced[p])
            old_.push_back({SourceFile::Main, std::uint64_t{p - 1} * image.pageSize(), p});
    newest_.emplace(image, pageCount, walMap_, journalMap_, replacements_);
}

void DatabaseSource::openSide(SideFile& side, MappedFile& map) {
    struct stat st {};
    if (::stat(side.path.c_str(), &st) != 0) return;
    side.present = true;
    if (!S_ISREG(st.st_mode)) {
        side.error = "not a file";
        return;
    }
    try {
        map = MappedFile(side.path, MappedFile::Access::ReadOnly);
    } catch (const FileError& e) {
        side.error = std::strerror(e.errorNumber());
    }
}

void DatabaseSource::readWal(std::uint32_t& pageCount) {
    const auto log = WalLog::read(walMap_, image_->pageSize());
    if (!log) return;
    wal_.recognised = true;
    wal_.images = log->slots().size();
    wal_.committed = log->committed();
    // The last committed frame of each page is its newest state; every other slot is older.
    std::vector<std::uint64_t> newestFrame;
    if (log->committed() > 0) {
        // A commit can only add the pages its frames hold: a size beyond those is damage.
        std::uint32_t highest = image_->pageCount();
        for (std::size_t i = 0; i < log->committed(); ++i)
            highest = std::max(highest, log->frames()[i].page);
        const std::uint64_t possible = std::uint64_t{image_->pageCount()} + log->committed();
        pageCount = static_cast<std::uint32_t>(
            std::min<std::uint64_t>({log->committedSize(), highest, possible}));
        newestFrame.assign(pageCount + 1u, 0);
        for (std::size_t i = 0; i < log->committed(); ++i) {
            const WalFrame& f = log->frames()[i];
            if (f.page <= pageCount) newestFrame[f.page] = f.offset;
        }
        for (std::uint32_t p = 1; p <= pageCount; ++p)
            if (newestFrame[p] != 0) replacements_.push_back({p, SourceFile::Wal, newestFrame[p]});
    }
    std::vector<std::uint64_t> used;
    for (const auto& r : replacements_)
        used.push_back(r.offset);
    std::sort(used.begin(), used.end());
    for (std::size_t i = 0; i < log->slots().size(); ++i)
        if (!std::binary_search(used.begin(), used.end(), log->slots()[i]))
            old_.push_back({SourceFile::Wal, log->slots()[i], log->slotPages()[i]});
}

void DatabaseSource::readJournal(std::uint32_t& pageCount) {
    const auto journal =
        RollbackJournal::read(journalMap_.bytes(), image_->pageSize(), image_->pageCount());
    if (!journal) return;
    journal_.recognised = true;
    journal_.images = journal->records().size();
    journal_.hot = journal->hot();
    std::vector<bool> putBack;
    if (journal->hot()) {
        // Rolled back as SQLite would: each page's first record is its state before the
        // transaction, and the database is cut back to its size then.
        if (journal->initialSize() > 0)
            pageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(
                journal->initialSize(),
                std::uint64_t{image_->pageCount()} + journal->records().size()));
        putBack.assign(pageCount + 1u, false);
    }
    for (const JournalRecord& r : journal->records()) {
        if (journal->hot() && r.playback && r.page <= pageCount && !putBack[r.page]) {
            putBack[r.page] = true;
            replacements_.push_back({r.page, SourceFile::Journal, r.offset});
        } else {
            old_.push_back({SourceFile::Journal, r.offset, r.page});
        }
    }
}

}  // namespace pc
