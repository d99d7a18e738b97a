// The recover command as the window runs it: the format and the folder asked for, existing files
// overwritten only when the user agrees, the files written while the window keeps painting, and
// what happened said.
#pragma once

#include <QUrl>

#include <functional>
#include <string>
#include <vector>

#include "prompter.h"
#include "result_store.h"
#include "text_export.h"
#include "window_settings.h"

namespace pc {

class RecoverFlow {
  public:
    struct Faces {
        std::function<void()> pump;                     // lets the window paint meanwhile
        std::function<void(const QUrl&)> openUrl;       // may be empty
        std::function<void(const std::string&)> error;  // the application's error report
    };
    RecoverFlow(Prompter& prompter, const ResultStore& store, WindowSettings& settings, Faces faces)
        : prompter_(prompter), store_(store), settings_(settings), faces_(std::move(faces)) {}

    // Writes the rows of `queue`'s categories (those `chosen` names, when given).
    void recover(const std::vector<CategoryCode>& queue, const RowChoice* chosen);

  private:
    Prompter& prompter_;
    const ResultStore& store_;
    WindowSettings& settings_;
    Faces faces_;
};

}  // namespace pc
