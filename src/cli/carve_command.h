// `phonecarve carve`: every table (or the named ones) of any SQLite database, live and deleted
// rows.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pc::cli {

enum class CarveFormat { Jsonl, Csv, Sqlite };

struct CarveOptions {
    std::string file;
    std::vector<std::string> tables;  // empty: all
    CarveFormat format = CarveFormat::Jsonl;
    std::optional<std::string> out;  // JSON lines: a file (default standard output); CSV: a
                                     // folder; sqlite: a new database file
    bool allCopies = false;
    // The shadow tables of FTS and R*Tree tables too, their rows raw.
    bool allTables = false;
    bool quiet = false;
};

int runCarveCommand(const CarveOptions& options);

}  // namespace pc::cli
