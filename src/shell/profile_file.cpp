#include "profile_file.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "ascii_case.h"
#include "text_export.h"

namespace pc {

namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::optional<std::string> sectionOf(const std::string& line) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
    return asciiLower(trim(t.substr(1, t.size() - 2)));
}

// The key of a key=value line, lower-cased, or nullopt for any other line.
std::optional<std::string> keyOf(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return asciiLower(trim(line.substr(0, eq)));
}

}  // namespace

std::string readProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& fallback) {
    const std::string wantedSection = asciiLower(section), wantedKey = asciiLower(key);
    bool inSection = false;
    for (const std::string& line : readLines(path)) {
        if (const auto s = sectionOf(line)) {
            inSection = *s == wantedSection;
        } else if (inSection && keyOf(line) == wantedKey) {
            return trim(line.substr(line.find('=') + 1));
        }
    }
    return fallback;
}

bool writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    std::vector<std::string> lines = readLines(path);
    const std::string wantedSection = asciiLower(section), wantedKey = asciiLower(key);
    const std::string entry = key + "=" + value;
    bool inSection = false, placed = false;
    std::size_t sectionEnd = lines.size();
    bool sectionFound = false;
    for (std::size_t i = 0; i < lines.size() && !placed; ++i) {
        if (const auto s = sectionOf(lines[i])) {
            if (inSection) sectionEnd = i;
            inSection = *s == wantedSection;
            sectionFound = sectionFound || inSection;
        } else if (inSection && keyOf(lines[i]) == wantedKey) {
            lines[i] = entry;
            placed = true;
        }
    }
    if (!placed) {
        if (!sectionFound) {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        } else {
            // After the section's last key, before the blank lines that end it.
            std::size_t at = sectionEnd;
            while (at > 0 && trim(lines[at - 1]).empty())
                --at;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
        }
    }
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    try {
        writeWholeFile(path, text);
        return true;
    } catch (const ExportError&) {
        return false;  // the caller reports it
    }
}

}  // namespace pc
