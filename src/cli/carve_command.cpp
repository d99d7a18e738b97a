#include "carve_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "ascii_case.h"
#include "file_error.h"
#include "recovered_rows_output.h"
#include "scan_command.h"
#include "table_recovery.h"
#include "terminal_progress.h"
#include "window_words.h"

namespace pc::cli {

namespace {

void note(const CarveOptions& o, const std::string& text, bool always = false) {
    if (!o.quiet || always) std::fprintf(stderr, "%s\n", text.c_str());
}

// The carve's rows, those of the tables asked for (ASCII letters of a name in either case), to
// the writer as they are found; the rest of the file still competes for the bytes.
class CarveRun : public CarveEvents {
  public:
    CarveRun(const CarveOptions& o, RecoveredRowsWriter& writer, TerminalProgress& progress)
        : o_(o), writer_(writer), progress_(progress) {}

    void noted(const SourceNote& n) override {
        const bool error = n.kind == SourceNote::Kind::OpenFailed ||
                           n.kind == SourceNote::Kind::ReadFailed ||
                           n.kind == SourceNote::Kind::Unreadable;
        if (error) missing_.push_back(n.file.empty() ? o_.file : n.file);
        progress_.clear();
        note(o_, o_.file + ": " + noteText(n), error);
    }
    void progressRange(std::uint32_t maximum, std::uint32_t) override { total_ = maximum; }
    void pageReached(std::uint32_t index) override { progress_.show(o_.file, index, total_); }
    void idle() override {}
    void tableFound(std::size_t index, const TableShape& table) override {
        names_.push_back(table.name);
        const bool wanted =
            o_.tables.empty() || std::any_of(o_.tables.begin(), o_.tables.end(), [&](auto& n) {
                return asciiLower(n) == asciiLower(table.name);
            });
        wanted_.push_back(wanted);
        if (!wanted) return;
        ++tables_;
        writer_.table(index, table);
    }
    void rowFound(const RecoveredRowView& row) override {
        if (!wanted_[row.table]) return;
        writer_.row(row);
        ++rows_;
        if (row.state == RecordState::Deleted) ++deleted_;
    }

    // The names asked for that no table has.
    std::vector<std::string> unknownTables() const {
        std::vector<std::string> unknown;
        for (const std::string& n : o_.tables)
            if (std::none_of(names_.begin(), names_.end(),
                             [&](auto& t) { return asciiLower(n) == asciiLower(t); }))
                unknown.push_back(n);
        return unknown;
    }
    std::string totals() const {
        auto count = [](std::uint64_t n, const char* what) {
            return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
        };
        std::string text = o_.file + ": " + count(tables_, "table") + ", " + count(rows_, "row") +
                           ", " + std::to_string(deleted_) + " deleted";
        for (const std::string& file : missing_)
            text += "; without " + file + ", which could not be read";
        return text;
    }
    bool partial() const { return !missing_.empty(); }

  private:
    const CarveOptions& o_;
    RecoveredRowsWriter& writer_;
    TerminalProgress& progress_;
    std::uint32_t total_ = 0;
    std::vector<std::string> names_;
    std::vector<bool> wanted_;
    std::vector<std::string> missing_;
    std::uint64_t tables_ = 0, rows_ = 0, deleted_ = 0;
};

// Where the rows go; nullptr, said, when the output cannot be made.
std::unique_ptr<RecoveredRowsWriter> openOutput(
    const CarveOptions& o, std::unique_ptr<std::FILE, int (*)(std::FILE*)>& file) {
    try {
        switch (o.format) {
            case CarveFormat::Jsonl:
                if (!o.out) return jsonLinesWriter(stdout, "standard output");
                file.reset(std::fopen(o.out->c_str(), "wx"));  // never over an existing file
                if (!file) {
                    note(o, "Cannot create file \"" + *o.out + "\". " + std::strerror(errno), true);
                    return nullptr;
                }
                return jsonLinesWriter(file.get(), *o.out);
            case CarveFormat::Csv: {
                std::error_code ec;
                std::filesystem::create_directories(*o.out, ec);
                return csvTablesWriter(*o.out);
            }
            case CarveFormat::Sqlite: return sqliteTablesWriter(*o.out);
        }
    } catch (const ExportError& e) {
        note(o, e.what(), true);
    }
    return nullptr;
}

}  // namespace

int runCarveCommand(const CarveOptions& o) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
    const auto writer = openOutput(o, file);
    if (!writer) return kSomethingFailed;
    TerminalProgress progress(o.quiet);
    CarveRun run(o, *writer, progress);
    const std::uint8_t running = 0;
    try {
        RecoveryOptions options;
        options.allCopies = o.allCopies;
        options.allTables = o.allTables;
        carveTables(o.file, run, options, running);
        progress.clear();
        writer->finish();
        if (file && std::fclose(file.release()) != 0)
            throw ExportError("Cannot write \"" + *o.out + "\". " + std::strerror(errno));
    } catch (const NotADatabase& e) {
        progress.clear();
        note(o, e.what(), true);
        return kSomethingFailed;
    } catch (const FileError& e) {
        progress.clear();
        note(o, e.what(), true);
        return kSomethingFailed;
    } catch (const ExportError& e) {
        // Rows were lost: no totals, which would claim them.
        progress.clear();
        note(o, o.file + ": " + e.what(), true);
        std::error_code ignored;
        if (o.out && o.format == CarveFormat::Jsonl) std::filesystem::remove(*o.out, ignored);
        return kOutputLost;
    }
    for (const std::string& path : writer->written())
        note(o, "已保存 " + path);
    const std::vector<std::string> unknown = run.unknownTables();
    for (const std::string& name : unknown)
        note(o, o.file + ": no table named \"" + name + "\"", true);
    note(o, run.totals(), run.partial());
    // A table asked for that the file does not have, or a side file not read, is a failure,
    // after the rest is written.
    return unknown.empty() && !run.partial() ? kAllScanned : kSomethingFailed;
}

}  // namespace pc::cli
