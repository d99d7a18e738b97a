#include "contacts_scanner.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "MyFuns_.h"
#include "SQLiteTable3.h"
#include "ascii_case.h"

namespace pc {

namespace {

enum Wanted { kRawContactId, kMimetypeId, kData1 };

constexpr const char* kNameMime = "vnd.android.cursor.item/name";
constexpr const char* kPhoneMime = "vnd.android.cursor.item/phone_v2";
// Android keeps its common MIME types within the first eleven ids.
constexpr std::int64_t kUsualMaxMimeId = 11;

std::optional<std::int32_t> int32Of(const FieldNumber& n) {
    if (n.kind != FieldNumber::Kind::Number || n.value < std::numeric_limits<std::int32_t>::min() ||
        n.value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(n.value);
}

}  // namespace

void ContactsScanner::beginScan() {
    rows_.clear();
    nameMimeId_ = phoneMimeId_ = 0;
}

void ContactsScanner::readExtras(TSQLiteDatabase& db) {
    // data.mimetype_id refers to mimetypes._id; the row position stands in only without one.
    auto table = db.QueryTable("select * from mimetypes");
    const std::optional<int> idColumn = table->FindColumn("_id");
    for (std::int64_t position = 1; !table->AtEnd(); ++position, table->MoveNext()) {
        const std::string mime = asciiLower(table->CellText(table->ColumnIndex("mimetype")));
        std::int64_t id = position;
        if (idColumn) id = parseDecimalInt64(table->CellText(*idColumn)).value_or(position);
        if (mime == kNameMime) nameMimeId_ = id;
        if (mime == kPhoneMime) phoneMimeId_ = id;
    }
    maxMimeId_ = std::max({kUsualMaxMimeId, nameMimeId_, phoneMimeId_});
}

CarveStep ContactsScanner::examine(const CarvedRecord& record, Wanted wanted) {
    using Kind = FieldNumber::Kind;
    const bool live = record.state() == RecordState::Normal;
    const FieldNumber mime = record.number(wanted[kMimetypeId]);
    const FieldNumber raw = record.number(wanted[kRawContactId]);
    const auto mimeId = int32Of(mime);
    const auto rawId = int32Of(raw);
    // A live row is kept whatever it holds; only ids that are not numbers cannot be joined.
    if (live && mimeId && rawId) return keepDataRow(record, wanted[kData1], *mimeId, *rawId);
    if (live || mime.kind == Kind::Missing) return CarveStep::NextByte;
    if (raw.kind == Kind::Missing || (mime.kind == Kind::Number && mime.value == 0))
        return CarveStep::NextByte;
    if (!mimeId || !rawId || *mimeId > maxMimeId_) return CarveStep::NextByte;
    return keepDataRow(record, wanted[kData1], *mimeId, *rawId);
}

CarveStep ContactsScanner::keepDataRow(const CarvedRecord& record, std::uint32_t data1Column,
                                       std::int32_t mimeId, std::int32_t rawId) {
    if (!firstCopy(record)) return CarveStep::NextByte;
    FieldBuffer data1;
    rows_.push_back({mimeId, rawId, std::string(record.field(data1Column, data1)),
                     static_cast<std::uint8_t>(record.state() == RecordState::Deleted),
                     provenance(record), record.isNull(data1Column)});
    return CarveStep::NextByte;
}

void joinContactRows(const std::vector<PAlltelvalue>& rows, std::int64_t nameMimeId,
                     std::int64_t phoneMimeId,
                     const std::function<void(const PAlltelvalue*, const PAlltelvalue&)>& each) {
    std::unordered_map<std::int32_t, const PAlltelvalue*> liveName, deletedName;
    for (const PAlltelvalue& row : rows)
        if (row.mimetypeId == nameMimeId)
            (row.deleted ? deletedName : liveName).try_emplace(row.rawContactId, &row);
    for (const PAlltelvalue& phone : rows) {
        if (phone.mimetypeId != phoneMimeId) continue;
        const PAlltelvalue* name = nullptr;
        if (const auto live = liveName.find(phone.rawContactId); live != liveName.end())
            name = live->second;
        else if (const auto old = deletedName.find(phone.rawContactId); old != deletedName.end())
            name = old->second;
        each(name, phone);
    }
}

void ContactsScanner::afterCarve() {
    joinContactRows(rows_, nameMimeId_, phoneMimeId_,
                    [this](const PAlltelvalue* name, const PAlltelvalue& phone) {
                        pump();
                        if (!name) {
                            // A live number of a raw contact without a name row: the phone's
                            // own contacts app lists it by number, so it is listed. A deleted
                            // one alone says nothing of whose it was.
                            if (!phone.deleted)
                                keep(PtelValue{"", phone.data1, RecordState::Normal, phone.found,
                                               static_cast<NullCells>(phone.data1Null ? 2 : 0)});
                            return;
                        }
                        // A number deleted from a contact that is still there is a deleted entry.
                        const NullCells nulls = static_cast<NullCells>((name->data1Null ? 1 : 0) |
                                                                       (phone.data1Null ? 2 : 0));
                        keep(PtelValue{name->data1, phone.data1,
                                       phone.deleted ? RecordState::Deleted : RecordState::Normal,
                                       phone.found, nulls});
                    });
}

}  // namespace pc
