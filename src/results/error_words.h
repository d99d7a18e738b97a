// What went wrong with a file, in the window's words: the system's error texts are English.
#pragma once

#include <optional>
#include <string>

namespace pc {

// The cause behind an errno value, in Chinese ("没有写入权限", "磁盘空间不足", ...); the system's
// own text for a value without words of ours.
std::string errorWords(int errnoValue);

// Why the file at `path` cannot be read as a database file ("无法打开文件: 文件或文件夹不存在",
// a folder, a pipe), in those words; nullopt when it can be opened and is a regular file.
std::optional<std::string> fileProblem(const std::string& path);

}  // namespace pc
