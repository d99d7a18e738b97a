// The scan of a store whose messages join several tables (MMS, Google Messages, WhatsApp): every
// row of the tables it needs, live and deleted, from the carve of every table; then the store's
// joins make one message of each: its conversation, sender, time, direction and texts. A deleted
// row joins the rows its keys still name, live or deleted; where they are gone it shows what it
// has.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "category_scanner.h"
#include "gathered_tables.h"

namespace pc {

// One message as it is shown, before the store keeps it.
struct MessageDraft {
    std::string chat, sender, date, type, body;
    RecordState state = RecordState::Normal;
    Provenance found;
};

// Rows of a table by the value of one of their columns (a message's parts by its id).
using RowsByKey = std::unordered_map<std::int64_t, std::vector<const GatheredRow*>>;
RowsByKey rowsByKey(const GatheredTable* table, std::string_view column);

// Whether a time in milliseconds is one a phone's message can have (2000 to 2099).
bool plausibleTime(std::optional<std::int64_t> ms);

// The ids of a table's live rows: a deleted row of one of them is an older version of a live
// row (a flag changed since), not a row deleted.
std::unordered_set<std::int64_t> liveIds(const GatheredTable& table);

// "name (number)", or whichever of them there is.
std::string nameAndNumber(std::string_view name, std::string_view number);
// Appends `text` on a line of its own.
void addLine(std::string& body, std::string_view text);

// The sender of a message sent from the phone itself.
inline constexpr const char* kThisPhone = "本机";

class JoinedScanner : public CategoryScanner {
  protected:
    // The tables the store's messages are made of.
    virtual std::vector<std::string> tables() const = 0;
    // Whether the file holds the store: false ends the scan as a missing table.
    virtual bool holds(const TableGatherer& gathered) const = 0;
    // Makes every message of the rows gathered; `path` is the database's (a store may read a
    // file beside it).
    virtual void join(const TableGatherer& gathered, const std::string& path) = 0;

    // Shows and keeps one message.
    void keepMessage(const MessageDraft& message);
    using PartText = std::function<std::string(const GatheredRow& part)>;
    // Keeps a message, then each deleted part of it (a live message's) as a deleted row of its
    // own with the message's chat, sender and time.
    void keepWithDeletedParts(const MessageDraft& message,
                              const std::vector<const GatheredRow*>& deletedParts,
                              const PartText& text);
    // The deleted parts no message took, by the message id they name (in `key`).
    static std::map<std::int64_t, std::vector<const GatheredRow*>> orphanParts(
        const GatheredTable* parts, std::string_view key, const std::vector<bool>& used);
    // A deleted message made of parts whose message is gone, found where `first` is.
    static MessageDraft orphanDraft(const GatheredRow& first);
    // A time in milliseconds as the run shows dates; "" for none (0 or no value).
    std::string shownDate(std::optional<std::int64_t> ms) const;
    static Provenance provenanceOf(const GatheredRow& row) { return {row.offset, row.source}; }

  private:
    ScanOutcome carveAll(const RunPlan& run) override;
    CarveStep examine(const CarvedRecord&, Wanted) override { return CarveStep::NextByte; }
};

}  // namespace pc
