#include "database_pages.h"

namespace pc {

DatabasePages::DatabasePages(const DatabaseImage& image, std::uint32_t pageCount,
                             const MappedFile& wal, const MappedFile& journal,
                             const std::vector<Replacement>& replacements)
    : image_(&image), header_(image.header()), pageCount_(pageCount) {
    files_[static_cast<int>(SourceFile::Main)] = image.bytes();
    files_[static_cast<int>(SourceFile::Wal)] = wal.bytes();
    files_[static_cast<int>(SourceFile::Journal)] = journal.bytes();
    sideMaps_[static_cast<int>(SourceFile::Wal)] = &wal;
    sideMaps_[static_cast<int>(SourceFile::Journal)] = &journal;
    if (replacements.empty()) return;
    replaced_.assign(pageCount_ + 1, {SourceFile::Main, 0});
    for (const Replacement& r : replacements)
        if (contains(r.page)) replaced_[r.page] = {r.source, r.offset};
    if (const auto newest = parseDatabaseHeader(peek(1));
        newest && newest->pageSize == header_.pageSize)
        header_ = *newest;
    header_.pageCount = pageCount_;
}

}  // namespace pc
