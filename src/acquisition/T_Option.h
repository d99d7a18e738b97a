// The scan-source dialog: a database file or a phone, the categories, and the run that scans them.
#pragma once

#include <QWidget>

#include "database_files.h"
#include "scan_run_target.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pc {

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    TForm2(ScanRunTarget& target, QWidget* parent = nullptr);

    void BitBtn1Click();   // pick database files
    void BitBtn12Click();  // pick a folder to search for the phone's databases
    void BitBtn2Click();   // the run
    void RadioButton3Click();
    void RadioButton4Click();

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose

  private:
    void buildLayout();
    bool checkPickedDatabase(const std::string& path);
    // Shows what was found and ticks its categories; false when nothing was.
    bool takeFound(FoundDatabases found, const QString& shown);
    // The boxes of a category: for a database file, and for the phone.
    QCheckBox* fileBox(CategoryCode code) const { return boxes_[index(code)]; }
    QCheckBox* phoneBox(CategoryCode code) const { return boxes_[kCategoryCount + index(code)]; }

    ScanRunTarget& target_;
    QRadioButton* radioFile_;
    QRadioButton* radioPhone_;
    QPushButton* pick_;
    QPushButton* pickFolder_;
    QLineEdit* path_;
    QCheckBox* boxes_[2 * kCategoryCount];
    QCheckBox* otherTables_ = nullptr;  // every table of the picked file, into "其它表"
    // Several files or a folder: the file of each category, while the path box shows `pickedText_`.
    FoundDatabases picked_;
    QString pickedText_;
};

}  // namespace pc
