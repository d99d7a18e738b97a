// The recover command's files: one per category of the last run's queue, every row of it, fields
// joined by TAB, CR LF after each line, no header, GB18030 text (GBK for every GBK character).
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "result_store.h"

namespace pc {

enum class TextEncoding { Gb18030, Utf8 };

// "电话本.txt", "短信.txt", "通话记录.txt".
const char* exportFileName(CategoryCode code);

// One export line of a record, CR LF included, in UTF-8.
std::string exportLine(const ResultStore& store, CategoryCode code, std::uint32_t index);

std::string encodeText(std::string_view utf8, TextEncoding encoding);

// Where the files go; the window asks the user, the command line has --out.
class FolderChooser {
  public:
    virtual ~FolderChooser() = default;
    // The chosen folder, or nullopt when the user cancelled.
    virtual std::optional<std::string> chooseSaveFolder(const std::string& prompt,
                                                        const std::string& root) = 0;
};

// A file that could not be created or written; the text is what the user is shown.
class ExportError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Writes a whole file at once. The default puts the bytes in a temporary file beside the target
// and renames it over the target, so a failed write never leaves a half file or loses the old one.
using WholeFileWriter = std::function<void(const std::string& path, std::string_view bytes)>;
void writeWholeFile(const std::string& path, std::string_view bytes);

struct ExportReport {
    bool cancelled = false;
    std::vector<std::string> written;  // full paths, in queue order
};

// Writes the files of `queue`. Stops at the first file that fails, with an ExportError; files
// written before it stay. `pump` runs between lines so a window stays responsive.
ExportReport exportResults(const std::vector<CategoryCode>& queue, const ResultStore& store,
                           FolderChooser& chooser, TextEncoding encoding,
                           const std::function<void()>& pump = {},
                           const WholeFileWriter& writer = writeWholeFile);

// The folder with exactly one separator before a file name.
std::string joinPath(const std::string& folder, std::string_view name);

}  // namespace pc
