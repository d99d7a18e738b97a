#include "recovered_rows_output.h"

#include <sqlite3.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

#include "batch_worker.h"
#include "packed_rows.h"
#include "row_format.h"

namespace pc {

namespace {

void appendHex(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
}

void appendReal(std::string& out, double d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    out += buf;
}

void appendInteger(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendJsonValue(std::string& out, const ValueView& v) {
    using Kind = ValueView::Kind;
    switch (v.kind) {
        case Kind::Null: out += "null"; return;
        case Kind::Integer: appendInteger(out, v.integer); return;
        case Kind::Real:
            std::isfinite(v.real) ? appendReal(out, v.real) : void(out += "null");
            return;
        case Kind::Text: appendJsonString(out, v.bytes); return;
        case Kind::Blob:
            out += "{\"hex\":\"";
            appendHex(out, v.bytes);
            out += "\"}";
            return;
    }
}

void appendCsvValue(std::string& out, const ValueView& v) {
    using Kind = ValueView::Kind;
    switch (v.kind) {
        case Kind::Null: return;
        case Kind::Integer: appendInteger(out, v.integer); return;
        case Kind::Real: appendReal(out, v.real); return;
        case Kind::Text: appendCsvField(out, v.bytes); return;
        case Kind::Blob: appendHex(out, v.bytes); return;
    }
}

}  // namespace

std::string valueText(const ValueView& value) {
    if (value.kind == ValueView::Kind::Null) return "NULL";
    if (value.kind == ValueView::Kind::Text) return std::string(value.bytes);
    std::string out;
    appendCsvValue(out, value);
    return out;
}

std::string valueText(const FieldValue& value) {
    ValueView v;
    if (const auto* i = std::get_if<std::int64_t>(&value))
        v = {ValueView::Kind::Integer, *i, 0, {}};
    if (const auto* d = std::get_if<double>(&value)) v = {ValueView::Kind::Real, 0, *d, {}};
    if (const auto* t = std::get_if<std::string>(&value)) v = {ValueView::Kind::Text, 0, 0, *t};
    if (const auto* b = std::get_if<Blob>(&value))
        v = {ValueView::Kind::Blob,
             0,
             0,
             {reinterpret_cast<const char*>(b->bytes.data()), b->bytes.size()}};
    return valueText(v);
}

namespace {

const char* stateKey(RecordState s) {
    return s == RecordState::Deleted ? "deleted" : "normal";
}

// A table's name as a file name: path separators and control characters replaced.
std::string fileNameOf(const std::string& table) {
    std::string name;
    for (char c : table)
        name += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name + ".csv";
}

std::string quotedName(const std::string& name) {
    std::string out = "\"";
    for (char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

[[noreturn]] void sqliteFailed(const std::string& path, sqlite3* db) {
    throw ExportError("Cannot write \"" + path + "\". " + sqlite3_errmsg(db), path,
                      sqlite3_system_errno(db));
}

void bindValue(sqlite3_stmt* s, int at, const ValueView& v) {
    using Kind = ValueView::Kind;
    switch (v.kind) {
        case Kind::Null: sqlite3_bind_null(s, at); return;
        case Kind::Integer: sqlite3_bind_int64(s, at, v.integer); return;
        case Kind::Real: sqlite3_bind_double(s, at, v.real); return;
        case Kind::Text:
            sqlite3_bind_text(s, at, v.bytes.data(), static_cast<int>(v.bytes.size()),
                              SQLITE_STATIC);
            return;
        case Kind::Blob:
            sqlite3_bind_blob(s, at, v.bytes.data(), static_cast<int>(v.bytes.size()),
                              SQLITE_STATIC);
            return;
    }
}

// The start of a row's JSON line up to its state, and each column's key, made once per table.
struct JsonTable {
    std::string head;
    std::vector<std::string> keys;
};

JsonTable jsonTable(const TableShape& table) {
    JsonTable t;
    t.head = "{\"table\":";
    appendJsonString(t.head, table.name);
    if (table.dropped) t.head += ",\"dropped\":true";
    t.head += ",\"state\":\"";
    for (const ColumnShape& c : table.columns) {
        std::string key;
        appendJsonString(key, c.name);
        key += ':';
        t.keys.push_back(std::move(key));
    }
    return t;
}

void appendJsonRow(std::string& out, const JsonTable& table, const RecoveredRowView& row) {
    out += table.head;
    out += stateKey(row.state);
    out += "\",\"source\":\"";
    out += sourceKey(row.source);
    out += "\",\"offset\":";
    appendInteger(out, static_cast<std::int64_t>(row.offset));
    if (row.unreached) out += ",\"unreached\":true";
    out += ",\"rowid\":";
    row.rowid ? appendInteger(out, *row.rowid) : void(out += "null");
    out += ",\"values\":{";
    for (std::size_t c = 0; c < table.keys.size(); ++c) {
        if (c) out += ',';
        out += table.keys[c];
        appendJsonValue(out, c < row.values.size() ? row.values[c] : ValueView{});
    }
    out += "}}\n";
}

[[noreturn]] void cannotWrite(const std::string& name, int error) {
    throw ExportError("Cannot write \"" + name + "\". " + std::strerror(error), name, error);
}

// JSON lines encoded and written on a thread of their own while the carve goes on: on two
// processors the output costs the carve little. Rows travel packed, a megabyte at a time.
class JsonLinesWriter : public RecoveredRowsWriter {
  public:
    JsonLinesWriter(std::FILE* out, std::string name)
        : out_(out), name_(std::move(name)), worker_([this](Batch& batch) { encode(batch); }) {
        buffer_.reserve(kChunk + 4096);
    }
    ~JsonLinesWriter() override {
        try {
            worker_.drain();
        } catch (const ExportError&) {
            // Unfinished: the caller already has the error it finished on, or gives up.
        }
    }
    void table(std::size_t index, const TableShape& table) override {
        worker_.filling().tables.emplace_back(index, jsonTable(table));
    }
    void row(const RecoveredRowView& row) override {
        worker_.filling().rows.append(row);
        if (worker_.filling().rows.bytes() < kBatch) return;
        // A write that failed ends the carve here rather than at its end.
        if (worker_.failed()) worker_.drain();
        worker_.submit();
    }
    void finish() override {
        worker_.drain();
        if (std::fflush(out_) != 0) cannotWrite(name_, errno);
    }
    std::vector<std::string> written() const override { return {}; }

  private:
    static constexpr std::size_t kChunk = 256u << 10;
    static constexpr std::size_t kBatch = 1u << 20;
    // A batch: the tables announced since the last, then rows (of those or of earlier tables).
    struct Batch {
        std::vector<std::pair<std::size_t, JsonTable>> tables;
        PackedRows rows;
        bool empty() const { return tables.empty() && rows.empty(); }
        void clear() {
            tables.clear();
            rows.clear();
        }
    };
    // On the worker's thread.
    void encode(Batch& batch) {
        for (auto& [index, table] : batch.tables) {
            if (tables_.size() <= index) tables_.resize(index + 1);
            tables_[index] = std::move(table);
        }
        batch.rows.forEach([&](const RecoveredRowView& row) {
            appendJsonRow(buffer_, tables_[row.table], row);
            if (buffer_.size() >= kChunk) flush();
        });
        flush();
    }
    void flush() {
        if (!buffer_.empty() &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size())
            cannotWrite(name_, errno);
        buffer_.clear();
    }
    std::FILE* out_;
    std::string name_;
    std::vector<JsonTable> tables_;  // the worker's
    std::string buffer_;             // the worker's
    BatchWorker<Batch> worker_;      // last: its thread ends before the rest goes
};

class CsvTablesWriter : public RecoveredRowsWriter {
  public:
    CsvTablesWriter(std::string folder, bool bom) : folder_(std::move(folder)), bom_(bom) {}
    void table(std::size_t index, const TableShape& table) override {
        if (tables_.size() <= index) tables_.resize(index + 1);
        tables_[index].shape = &table;
    }
    void row(const RecoveredRowView& row) override {
        Table& t = tables_[row.table];
        if (!t.file) open(t);
        line_.clear();
        line_ += stateKey(row.state);
        line_ += ',';
        line_ += sourceKey(row.source);
        line_ += ',';
        appendInteger(line_, static_cast<std::int64_t>(row.offset));
        line_ += ',';
        if (row.rowid) appendInteger(line_, *row.rowid);
        for (const ValueView& v : row.values) {
            line_ += ',';
            appendCsvValue(line_, v);
        }
        line_ += "\r\n";
        named(t, [&] { t.file->write(line_); });
    }
    void finish() override {
        for (Table& t : tables_)
            if (t.file) {
                named(t, [&] { t.file->commit(); });
                written_.push_back(t.file->path());
            }
    }
    std::vector<std::string> written() const override { return written_; }

  private:
    struct Table {
        const TableShape* shape = nullptr;
        std::unique_ptr<StreamedFile> file;
    };
    // A write that fails names its file.
    template <typename Write>
    static void named(Table& t, Write write) {
        try {
            write();
        } catch (const ExportError& e) {
            throw ExportError(t.file->path() + ": " + e.what(), t.file->path(), e.errorNumber());
        }
    }
    // Two tables of one name (a dropped table and the one made again in its place) get two
    // files: the second would otherwise replace the first.
    std::string freeName(const std::string& table) {
        const std::string name = fileNameOf(table);
        std::string free = name;
        for (int n = 2; !used_.insert(free).second; ++n)
            free = name.substr(0, name.size() - 4) + "_" + std::to_string(n) + ".csv";
        return free;
    }
    void open(Table& t) {
        t.file = std::make_unique<StreamedFile>(joinPath(folder_, freeName(t.shape->name)));
        std::string head = bom_ ? kUtf8Bom : "";
        head += "_state,_source,_offset,_rowid";
        for (const ColumnShape& c : t.shape->columns) {
            head += ',';
            appendCsvField(head, c.name);
        }
        head += "\r\n";
        t.file->write(head);
    }
    std::string folder_;
    bool bom_;
    std::vector<Table> tables_;
    std::vector<std::string> written_;
    std::set<std::string> used_;  // file names given
    std::string line_;
};

class SqliteTablesWriter : public RecoveredRowsWriter {
  public:
    explicit SqliteTablesWriter(std::string path) : path_(std::move(path)) {
        if (std::filesystem::exists(path_))
            throw ExportError("Cannot write \"" + path_ + "\". The file exists.", path_, EEXIST);
        sqlite3* raw = nullptr;
        const int opened = sqlite3_open_v2(path_.c_str(), &raw,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        db_.reset(raw);
        created_ = opened == SQLITE_OK;
        if (opened != SQLITE_OK) sqliteFailed(path_, raw);
        exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN");
    }
    ~SqliteTablesWriter() override {
        if (finished_ || !created_) return;
        // Nothing half written stays: the file is the program's own, made by this writer.
        statements_.clear();
        db_.reset();
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    void table(std::size_t index, const TableShape& table) override {
        // Columns without types: values keep the class they were found in.
        std::string create =
            "CREATE TABLE " + quotedName(table.name) + "(_state, _source, _offset, _rowid";
        std::string insert = "INSERT INTO " + quotedName(table.name) + " VALUES(?,?,?,?";
        for (const ColumnShape& c : table.columns) {
            create += ", " + quotedName(c.name);
            insert += ",?";
        }
        exec(create + ")");
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_.get(), (insert + ")").c_str(), -1, &raw, nullptr) != SQLITE_OK)
            sqliteFailed(path_, db_.get());
        if (statements_.size() <= index) statements_.resize(index + 1);
        statements_[index].reset(raw);
    }
    void row(const RecoveredRowView& row) override {
        sqlite3_stmt* stmt = statements_[row.table].get();
        sqlite3_bind_text(stmt, 1, stateKey(row.state), -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, sourceKey(row.source), -1, SQLITE_STATIC);
        sqlite3_bind_int64(stmt, 3, static_cast<sqlite3_int64>(row.offset));
        row.rowid ? void(sqlite3_bind_int64(stmt, 4, *row.rowid))
                  : void(sqlite3_bind_null(stmt, 4));
        const int columns = sqlite3_bind_parameter_count(stmt);
        for (int c = 5; c <= columns; ++c) {
            const auto i = static_cast<std::size_t>(c - 5);
            bindValue(stmt, c, i < row.values.size() ? row.values[i] : ValueView{});
        }
        if (sqlite3_step(stmt) != SQLITE_DONE) sqliteFailed(path_, db_.get());
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
    void finish() override {
        exec("COMMIT");
        statements_.clear();
        if (sqlite3_close(db_.release()) != SQLITE_OK)
            throw ExportError("Cannot write \"" + path_ + "\".", path_, EIO);
        finished_ = true;
    }
    std::vector<std::string> written() const override {
        return finished_ ? std::vector<std::string>{path_} : std::vector<std::string>{};
    }

  private:
    void exec(const std::string& sql) {
        if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            sqliteFailed(path_, db_.get());
    }
    std::string path_;
    std::unique_ptr<sqlite3, CloseDb> db_;
    std::vector<std::unique_ptr<sqlite3_stmt, FinalizeStmt>> statements_;
    bool created_ = false;
    bool finished_ = false;
};

}  // namespace

void appendRecoveredJson(std::string& out, const TableShape& table, const RecoveredRowView& row) {
    appendJsonRow(out, jsonTable(table), row);
}

std::unique_ptr<RecoveredRowsWriter> jsonLinesWriter(std::FILE* out, std::string name) {
    return std::make_unique<JsonLinesWriter>(out, std::move(name));
}

std::unique_ptr<RecoveredRowsWriter> csvTablesWriter(std::string folder, bool forSpreadsheets) {
    return std::make_unique<CsvTablesWriter>(std::move(folder), forSpreadsheets);
}

std::unique_ptr<RecoveredRowsWriter> sqliteTablesWriter(std::string path) {
    return std::make_unique<SqliteTablesWriter>(std::move(path));
}

}  // namespace pc
