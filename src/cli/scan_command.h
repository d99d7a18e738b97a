// `phonecarve scan`: the categories given, in the order contacts, SMS, call log.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "result_types.h"
#include "row_format.h"
#include "run_sources.h"
#include "text_export.h"

namespace pc::cli {

struct ScanOptions {
    RunSources sources;
    std::optional<std::string> out;
    OutputFormat format = OutputFormat::Tsv;
    bool workbook = false;  // --format xlsx: one workbook in --out, written once the scans are done
    std::optional<TextEncoding> encoding;  // default: GB18030 for --out tsv files, else UTF-8
    bool quiet = false;
    bool allCopies = false;
    std::int64_t utcOffsetSeconds = 8 * 3600;
};

// kOutputLost: rows found could not be written (a full disk, a closed pipe).
enum ExitStatus { kAllScanned = 0, kSomethingFailed = 1, kUsageError = 2, kOutputLost = 2 };

int runScanCommand(const ScanOptions& options);

}  // namespace pc::cli
