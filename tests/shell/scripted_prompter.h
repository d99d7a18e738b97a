// A prompter that answers from a script and remembers every message, so window tests run alone.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "prompter.h"

namespace pc::testing {

struct Shown {
    std::string text;
    std::string caption;
    MessageIcon icon;
    Buttons buttons;
};

class ScriptedPrompter : public Prompter {
  public:
    Answer message(const std::string& text, const std::string& caption, MessageIcon icon,
                   Buttons buttons) override {
        shown.push_back({text, caption, icon, buttons});
        if (buttons == Buttons::Ok) return Answer::Ok;
        if (answers.empty()) return Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::string> openDatabaseFiles(const std::string& folder) override {
        startFolders.push_back(folder);
        if (!fileSets.empty()) {
            auto set = fileSets.front();
            fileSets.pop_front();
            return set;
        }
        const auto one = next(files);
        return one ? std::vector<std::string>{*one} : std::vector<std::string>{};
    }
    std::optional<std::string> chooseFolder(const std::string&, const std::string& root) override {
        startFolders.push_back(root);
        return next(folders);
    }
    std::optional<ExportChoice> chooseExport() override {
        if (exports.empty()) return ExportChoice{};
        const auto c = exports.front();
        exports.pop_front();
        return c;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Shown& s : shown)
            out.push_back(s.text);
        return out;
    }

    std::vector<Shown> shown;
    std::deque<Answer> answers;  // for Yes/No questions; none left: No
    std::deque<std::optional<std::string>> files;
    std::deque<std::optional<std::string>> folders;
    std::deque<std::vector<std::string>> fileSets;    // answered before `files`
    std::deque<std::optional<ExportChoice>> exports;  // none left: the GBK files
    std::vector<std::string> startFolders;            // where each picker opened

  private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& q) {
        if (q.empty()) return std::nullopt;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

}  // namespace pc::testing
