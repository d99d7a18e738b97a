#include "text_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "category_profile.h"
#include "text_codec.h"
#include "unique_fd.h"

namespace pc {

void appendExportLine(std::string& out, const ResultStore& store, CategoryCode code,
                      std::uint32_t index) {
    bool first = true;
    for (std::string_view cell : store.rowCells(code, index)) {
        if (!first) out += '\t';
        out += cell;
        first = false;
    }
    out += "\r\n";
}

std::string exportLine(const ResultStore& store, CategoryCode code, std::uint32_t index) {
    std::string line;
    appendExportLine(line, store, code, index);
    return line;
}

RowEncoder::RowEncoder(OutputFormat format, TextEncoding encoding, bool files)
    : format_(format),
      // JSON lines and spreadsheets' CSV are always UTF-8.
      encoding_(format == OutputFormat::Jsonl || format == OutputFormat::SpreadsheetCsv
                    ? TextEncoding::Utf8
                    : encoding),
      files_(files) {
}

void RowEncoder::put(std::string& out) {
    if (encoding_ == TextEncoding::Gb18030)
        appendGb18030(out, line_);
    else
        out += line_;
}

void RowEncoder::header(std::string& out, CategoryCode code) {
    line_ = headerLine(format_, code);
    put(out);
}

void RowEncoder::row(std::string& out, const ResultStore& store, CategoryCode code,
                     std::uint32_t index) {
    line_.clear();
    if (files_ && format_ == OutputFormat::Tsv)
        appendExportLine(line_, store, code, index);
    else
        appendRow(line_, format_, store, code, index);
    put(out);
}

std::string encodeText(std::string_view utf8, TextEncoding encoding) {
    return encoding == TextEncoding::Gb18030 ? utf8ToGb18030(utf8) : std::string(utf8);
}

std::string joinPath(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

namespace {

[[noreturn]] void cannotCreate(const std::string& path, int error) {
    throw ExportError("Cannot create file \"" + path + "\". " + std::strerror(error), path, error);
}

}  // namespace

namespace {

constexpr std::size_t kChunk = 1u << 20;

}  // namespace

StreamedFile::StreamedFile(std::string path) : path_(std::move(path)), temp_(path_ + ".partial") {
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) cannotCreate(path_, errno);
    buffer_.reserve(kChunk);
}

StreamedFile::~StreamedFile() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(temp_.c_str());
}

void StreamedFile::write(std::string_view bytes) {
    buffer_ += bytes;
    if (buffer_.size() >= kChunk) flush();
}

void StreamedFile::flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw ExportError("Stream write error", path_, n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

void StreamedFile::commit() {
    flush();
    const int fd = std::exchange(fd_, -1);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp_.c_str());
        throw ExportError("Stream write error", path_, error);
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp_.c_str());
        cannotCreate(path_, error);
    }
}

void writeWholeFile(const std::string& path, std::string_view bytes) {
    StreamedFile file(path);
    file.write(bytes);
    file.commit();
}

namespace {

// The rows of `code` an export writes: the chosen ones, or all.
std::vector<std::uint32_t> rowsOf(const ExportRequest& request, const ResultStore& store,
                                  CategoryCode code) {
    if (request.chosen) {
        const auto it = request.chosen->find(code);
        return it == request.chosen->end() ? std::vector<std::uint32_t>{} : it->second;
    }
    std::vector<std::uint32_t> all(static_cast<std::size_t>(store.count(code)));
    for (std::uint32_t i = 0; i < all.size(); ++i)
        all[i] = i;
    return all;
}

}  // namespace

std::vector<std::string> exportFiles(const ExportRequest& request, const ResultStore& store,
                                     const std::string& folder) {
    std::vector<std::string> files;
    for (CategoryCode code : request.queue)
        if (!rowsOf(request, store, code).empty())
            files.push_back(joinPath(folder, outputFileName(request.format, code)));
    return files;
}

ExportReport exportResultsTo(const ExportRequest& request, const ResultStore& store,
                             const std::string& folder, const std::function<void()>& pump) {
    ExportReport report;
    RowEncoder encoder(request.format, request.encoding, true);
    std::string encoded;
    for (CategoryCode code : request.queue) {
        const auto rows = rowsOf(request, store, code);
        if (rows.empty()) continue;  // an older file of that name stays as it is
        StreamedFile file(joinPath(folder, outputFileName(request.format, code)));
        encoded.clear();
        encoder.header(encoded, code);
        std::size_t done = 0;
        for (std::uint32_t row : rows) {
            if (pump && ++done % 4096 == 0) pump();
            encoder.row(encoded, store, code, row);
            if (encoded.size() >= kChunk) {
                file.write(encoded);
                encoded.clear();
            }
        }
        file.write(encoded);
        file.commit();
        report.written.push_back({file.path(), rows.size()});
    }
    return report;
}

ExportReport exportResults(const ExportRequest& request, const ResultStore& store,
                           FolderChooser& chooser, const std::function<void()>& pump) {
    const auto folder = chooser.chooseSaveFolder("请选择保存目录:", "/");
    if (!folder) return {true, {}};
    return exportResultsTo(request, store, *folder, pump);
}

}  // namespace pc
