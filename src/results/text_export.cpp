#include "text_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text_codec.h"
#include "unique_fd.h"

namespace pc {

const char* exportFileName(CategoryCode code) {
    switch (code) {
        case CategoryCode::Contacts: return "电话本.txt";
        case CategoryCode::Sms: return "短信.txt";
        case CategoryCode::CallLog: return "通话记录.txt";
    }
    return "";
}

std::string exportLine(const ResultStore& store, CategoryCode code, std::uint32_t index) {
    std::string line;
    bool first = true;
    for (std::string_view cell : store.rowCells(code, index)) {
        if (!first) line += '\t';
        line += cell;
        first = false;
    }
    line += "\r\n";
    return line;
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
    throw ExportError("Cannot create file \"" + path + "\". " + std::strerror(error));
}

}  // namespace

void writeWholeFile(const std::string& path, std::string_view bytes) {
    const std::string temp = path + ".partial";
    UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) cannotCreate(path, errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::unlink(temp.c_str());
            throw ExportError("Stream write error");
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
        ::unlink(temp.c_str());
        throw ExportError("Stream write error");
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        cannotCreate(path, error);
    }
}

ExportReport exportResults(const std::vector<CategoryCode>& queue, const ResultStore& store,
                           FolderChooser& chooser, TextEncoding encoding,
                           const std::function<void()>& pump, const WholeFileWriter& writer) {
    ExportReport report;
    const auto folder = chooser.chooseSaveFolder("请选择保存目录:", "/");
    if (!folder) {
        report.cancelled = true;
        return report;
    }
    for (CategoryCode code : queue) {
        const auto rows = static_cast<std::uint32_t>(store.count(code));
        if (rows == 0) continue;  // an older file of that name stays as it is
        std::string text;
        for (std::uint32_t i = 0; i < rows; ++i) {
            if (pump) pump();
            text += exportLine(store, code, i);
        }
        const std::string path = joinPath(*folder, exportFileName(code));
        writer(path, encodeText(text, encoding));
        report.written.push_back(path);
    }
    return report;
}

}  // namespace pc
