// Real message boxes and pickers, with the captions, icons and buttons they are given.
#pragma once

#include "prompter.h"

class QWidget;

namespace pc {

class QtPrompter : public Prompter {
  public:
    explicit QtPrompter(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    Answer message(const std::string& text, const std::string& caption, MessageIcon icon,
                   Buttons buttons) override;
    std::vector<std::string> openDatabaseFiles(const std::string& folder) override;
    std::optional<std::string> chooseFolder(const std::string& prompt,
                                            const std::string& root) override;
    std::optional<ExportChoice> chooseExport() override;

  private:
    QWidget* owner_;
};

}  // namespace pc
