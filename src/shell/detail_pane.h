// The pane under the list: the current row whole (the message with its line breaks, the contact's
// name, where it was found), or the current conversation as a chat.
#pragma once

#include <QTextBrowser>

#include <string>

#include "contact_names.h"
#include "recovered_row_store.h"
#include "result_store.h"

namespace pc {

class DetailPane : public QTextBrowser {
    Q_OBJECT
  public:
    explicit DetailPane(QWidget* parent = nullptr);

    // Row `index` of `code` in `store`, found in the database `file`; `names` name its number.
    void showRow(const ResultStore& store, CategoryCode code, std::uint32_t index,
                 const ContactNames* names, const std::string& file);
    // Row `index` of the carved tables in `store`, found in the database `file`.
    void showTableRow(const RecoveredRowStore& store, std::uint32_t index, const std::string& file);
    // A conversation as a chat; empty: nothing.
    void showThread(const std::string& html);
};

}  // namespace pc
