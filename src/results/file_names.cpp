#include "file_names.h"

#include <algorithm>
#include <filesystem>

namespace pc {

namespace {

// The last `n` parts of a path, joined by '/'; all of it when it has fewer.
std::string lastParts(const std::vector<std::string>& parts, std::size_t n) {
    std::string out;
    for (std::size_t i = parts.size() - std::min(n, parts.size()); i < parts.size(); ++i) {
        if (!out.empty() && out.back() != '/') out += '/';
        out += parts[i];
    }
    return out;
}

std::vector<std::string> partsOf(const std::string& path) {
    std::vector<std::string> parts;
    for (const auto& p : std::filesystem::path(path).lexically_normal())
        if (!p.empty()) parts.push_back(p.string());
    return parts;
}

}  // namespace

std::vector<std::string> shortFileNames(const std::vector<std::string>& paths) {
    std::vector<std::vector<std::string>> parts;
    std::size_t longest = 0;
    for (const std::string& p : paths) {
        parts.push_back(partsOf(p));
        longest = std::max(longest, parts.back().size());
    }
    std::vector<std::string> names(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        for (std::size_t n = 2; n <= std::max<std::size_t>(longest, 2); ++n) {
            names[i] = lastParts(parts[i], n);
            bool clash = false;
            for (std::size_t j = 0; j < paths.size() && !clash; ++j)
                clash = paths[j] != paths[i] && lastParts(parts[j], n) == names[i];
            if (!clash) break;
        }
    }
    return names;
}

}  // namespace pc
