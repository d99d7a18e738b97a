#include "joined_scanner.h"

#include "MyFuns_.h"
#include "file_error.h"

namespace pc {

RowsByKey rowsByKey(const GatheredTable* table, std::string_view column) {
    RowsByKey out;
    if (!table) return out;
    const int c = table->column(column);
    for (const GatheredRow& row : table->rows())
        if (const auto key = table->number(row, c)) out[*key].push_back(&row);
    return out;
}

bool plausibleTime(std::optional<std::int64_t> ms) {
    constexpr std::int64_t kYear2000 = 946684800000, kYear2100 = 4102444800000;
    return ms && *ms >= kYear2000 && *ms < kYear2100;
}

std::unordered_set<std::int64_t> liveIds(const GatheredTable& table) {
    std::unordered_set<std::int64_t> ids;
    for (const GatheredRow& row : table.rows())
        if (row.state == RecordState::Normal)
            if (const auto id = table.id(row)) ids.insert(*id);
    return ids;
}

std::string nameAndNumber(std::string_view name, std::string_view number) {
    if (name.empty()) return std::string(number);
    if (number.empty() || name == number) return std::string(name);
    return std::string(name) + " (" + std::string(number) + ")";
}

void addLine(std::string& body, std::string_view text) {
    if (text.empty()) return;
    if (!body.empty()) body += '\n';
    body += text;
}

void JoinedScanner::keepMessage(const MessageDraft& m) {
    keep(PMessageValue{code(), m.chat, m.sender, m.date, m.type, m.body, m.state, m.found, 0});
}

void JoinedScanner::keepWithDeletedParts(const MessageDraft& message,
                                         const std::vector<const GatheredRow*>& deletedParts,
                                         const PartText& text) {
    keepMessage(message);
    for (const GatheredRow* r : deletedParts) {
        MessageDraft gone = message;
        gone.state = RecordState::Deleted;
        gone.found = provenanceOf(*r);
        gone.body = text(*r);
        if (!gone.body.empty()) keepMessage(gone);
    }
}

std::map<std::int64_t, std::vector<const GatheredRow*>> JoinedScanner::orphanParts(
    const GatheredTable* parts, std::string_view key, const std::vector<bool>& used) {
    std::map<std::int64_t, std::vector<const GatheredRow*>> orphans;
    if (!parts) return orphans;
    const int column = parts->column(key);
    for (std::size_t i = 0; i < parts->rows().size(); ++i) {
        const GatheredRow& r = parts->rows()[i];
        const auto id = parts->number(r, column);
        if (!used[i] && r.state == RecordState::Deleted && id) orphans[*id].push_back(&r);
    }
    return orphans;
}

MessageDraft JoinedScanner::orphanDraft(const GatheredRow& first) {
    MessageDraft orphan;
    orphan.state = RecordState::Deleted;
    orphan.found = provenanceOf(first);
    orphan.type = "其它";
    return orphan;
}

std::string JoinedScanner::shownDate(std::optional<std::int64_t> ms) const {
    if (!ms || *ms <= 0) return {};
    FieldBuffer buffer;
    return std::string(displayTime(*ms, javaDateTime(*ms), buffer));
}

ScanOutcome JoinedScanner::carveAll(const RunPlan& run) {
    const std::string& path = run.pathOf(code());
    TableGatherer gathered(tables(), events());
    try {
        gathered.gather(path, {run.allCopies}, scanState().ScanHalted);
    } catch (const NotADatabase&) {
        return endEarly(ScanFailure::Reason::NotADatabase);
    }
    if (!holds(gathered)) return endEarly(ScanFailure::Reason::MissingTable);
    join(gathered, path);
    return ScanOutcome::Completed;
}

}  // namespace pc
