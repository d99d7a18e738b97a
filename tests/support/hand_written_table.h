// A database whose rows a test writes by hand, column by column, and then scans with one scanner.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "android_db.h"
#include "scan_runner.h"
#include "temp_dir.h"

namespace pc::testing {

template <typename Scanner>
class HandWrittenTable : public ::testing::Test {
  protected:
    using Value = fixtures::Value;

    HandWrittenTable(CategoryCode code, std::string table)
        : code_(code), table_(std::move(table)) {}

    // The table as Android creates it.
    void create(fixtures::AndroidSchema schema, const fixtures::DbShape& shape = {}) {
        db_ = fixtures::createAndroidDb(path(), schema, shape);
        columns_ = fixtures::tableColumns(*db_, table_);
    }
    // The table as `sql` creates it; deleted rows keep their bytes, as phones before Android 9 did.
    void create(const std::string& sql) {
        db_ = std::make_unique<fixtures::SqliteDb>(path());
        db_->exec("PRAGMA secure_delete=OFF");
        db_->exec(sql);
        columns_ = fixtures::tableColumns(*db_, table_);
    }
    // One row: `values` by column name, `fallback` for every other column.
    void add(const std::map<std::string, Value>& values,
             const std::function<Value(const std::string& column)>& fallback) {
        std::vector<Value> row;
        for (const std::string& c : columns_) {
            const auto given = values.find(c);
            row.push_back(given != values.end() ? given->second : fallback(c));
        }
        fixtures::insertRow(*db_, table_, row);
    }
    fixtures::SqliteDb& db() { return *db_; }
    // Closes the database and scans it.
    ScanRun& scan() {
        db_.reset();
        runScan(run_, scanner_, code_, path());
        return run_;
    }
    std::string path() const { return dir_.file(table_ + ".db"); }

    ScanRun run_;
    Scanner scanner_;

  private:
    CategoryCode code_;
    std::string table_;
    TempDir dir_;
    std::unique_ptr<fixtures::SqliteDb> db_;
    std::vector<std::string> columns_;
};

}  // namespace pc::testing
