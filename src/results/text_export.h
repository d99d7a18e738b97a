// The recover command's files: one per category of the last run's queue, every row of it (or the
// rows chosen), in the recover command's own format (fields joined by TAB, CR LF after each line,
// no header, GB18030 text, GBK for every GBK character), or as CSV or JSON lines. Files are
// written as they are made, in chunks, so a file of millions of rows never lies whole in memory.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "result_store.h"
#include "row_format.h"

namespace pc {

enum class TextEncoding { Gb18030, Utf8 };

// One export line of a record, CR LF included, in UTF-8.
std::string exportLine(const ResultStore& store, CategoryCode code, std::uint32_t index);
void appendExportLine(std::string& out, const ResultStore& store, CategoryCode code,
                      std::uint32_t index);

std::string encodeText(std::string_view utf8, TextEncoding encoding);

// Rows in one format and encoding, appended as they come to a buffer the caller writes out: for
// the export files (`files`: TSV is then the recover command's own lines) and for standard
// output (TSV escaped, a line per row). Its own buffer is reused: nothing is allocated per row.
class RowEncoder {
  public:
    RowEncoder(OutputFormat format, TextEncoding encoding, bool files);
    void header(std::string& out, CategoryCode code);
    void row(std::string& out, const ResultStore& store, CategoryCode code, std::uint32_t index);

  private:
    void put(std::string& out);
    OutputFormat format_;
    TextEncoding encoding_;
    bool files_;
    std::string line_;
};

// Where the files go; the window asks the user, the command line has --out.
class FolderChooser {
  public:
    virtual ~FolderChooser() = default;
    // The chosen folder, or nullopt when the user cancelled.
    virtual std::optional<std::string> chooseSaveFolder(const std::string& prompt,
                                                        const std::string& root) = 0;
};

// A file that could not be created or written. The text is the command line's; the window says it
// in its own words from the file and the system's error number (0 where there is none).
class ExportError : public std::runtime_error {
  public:
    explicit ExportError(const std::string& text, std::string path = {}, int errnoValue = 0)
        : std::runtime_error(text), path_(std::move(path)), errno_(errnoValue) {}
    const std::string& path() const { return path_; }
    int errorNumber() const { return errno_; }

  private:
    std::string path_;
    int errno_;
};

// A file written as it is made: into a temporary file beside the target, a megabyte at a time,
// renamed over the target once whole. A write that fails, or a file dropped unfinished, leaves
// no half file and loses no older one.
class StreamedFile {
  public:
    // Throws ExportError when the temporary file cannot be created.
    explicit StreamedFile(std::string path);
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;
    ~StreamedFile();

    // Appends bytes; throws ExportError when they cannot be written.
    void write(std::string_view bytes);
    // Writes what is left and puts the file in place; throws ExportError.
    void commit();
    const std::string& path() const { return path_; }

  private:
    void flush();
    std::string path_, temp_;
    int fd_ = -1;
    std::string buffer_;
};

// Writes a small file whole, the same way.
void writeWholeFile(const std::string& path, std::string_view bytes);

// The rows chosen of each category; a category it does not name has none.
using RowChoice = std::map<CategoryCode, std::vector<std::uint32_t>>;

struct ExportRequest {
    std::vector<CategoryCode> queue;
    // Tsv: the recover command's own files; Csv and Jsonl as the command line writes them.
    OutputFormat format = OutputFormat::Tsv;
    TextEncoding encoding = TextEncoding::Gb18030;  // JSON lines are always UTF-8
    const RowChoice* chosen = nullptr;              // nullptr: every row
};

struct WrittenFile {
    std::string path;
    std::uint64_t rows = 0;
};

struct ExportReport {
    bool cancelled = false;
    std::vector<WrittenFile> written;  // in queue order
};

// The files an export into `folder` would write: one per category of the queue with rows.
std::vector<std::string> exportFiles(const ExportRequest& request, const ResultStore& store,
                                     const std::string& folder);

// Writes the files of the request into a folder the chooser gives. Stops at the first file that
// fails, with an ExportError; files written before it stay. `pump` runs now and then so a window
// stays responsive.
ExportReport exportResults(const ExportRequest& request, const ResultStore& store,
                           FolderChooser& chooser, const std::function<void()>& pump = {});
// The same into `folder`.
ExportReport exportResultsTo(const ExportRequest& request, const ResultStore& store,
                             const std::string& folder, const std::function<void()>& pump = {});

// The folder with exactly one separator before a file name.
std::string joinPath(const std::string& folder, std::string_view name);

}  // namespace pc
