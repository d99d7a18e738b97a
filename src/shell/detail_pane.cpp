#include "detail_pane.h"

#include "row_details.h"

namespace pc {

DetailPane::DetailPane(QWidget* parent) : QTextBrowser(parent) {
    setObjectName("DetailPane");
    setOpenLinks(false);
}

void DetailPane::showRow(const ResultStore& store, CategoryCode code, std::uint32_t index,
                         const ContactNames* names, const std::string& file) {
    setPlainText(QString::fromStdString(rowDetails(store, code, index, names, file)));
}

void DetailPane::showTableRow(const RecoveredRowStore& store, std::uint32_t index,
                              const std::string& file) {
    setPlainText(QString::fromStdString(tableRowDetails(store, index, file)));
}

void DetailPane::showThread(const std::string& html) {
    if (html.empty())
        clear();
    else
        setHtml(QString::fromStdString(html));
}

}  // namespace pc
