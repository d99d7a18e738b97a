#include "T_Option.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <filesystem>

#include "SQLiteTable3.h"
#include "category_profile.h"
#include "phone_acquisition.h"
#include "scanner_for.h"

namespace pc {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

// Blanks and control characters at either end do not count as a path.
bool blank(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > ' ') return false;
    return true;
}

}  // namespace

TForm2::TForm2(ScanRunTarget& target, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      target_(target) {
    setObjectName("Form2");
    setWindowTitle(u("选项"));
    buildLayout();
    setFixedSize(481, 305);
    RadioButton3Click();
}

void TForm2::buildLayout() {
    auto* top = new QHBoxLayout;
    auto* heading = new QLabel(u("选择扫描方式"));
    heading->setObjectName("Label10");
    auto* help = new QLabel(u("<a href=\"help\" style=\"color:blue\">使用帮助</a>"));
    help->setObjectName("Label4");
    help->setCursor(Qt::PointingHandCursor);
    connect(help, &QLabel::linkActivated, this, [this] { target_.openHelp(); });
    top->addWidget(heading);
    top->addStretch();
    top->addWidget(help);

    auto* fileGroup = new QFrame;
    fileGroup->setFrameShape(QFrame::StyledPanel);
    auto* fileLayout = new QVBoxLayout(fileGroup);
    radioFile_ = new QRadioButton(u("扫描数据库文件"));
    radioFile_->setObjectName("RadioButton3");
    pick_ = new QPushButton(u("数据库文件"));
    pick_->setObjectName("BitBtn11");
    pickFolder_ = new QPushButton(u("文件夹"));
    pickFolder_->setObjectName("BitBtn12");
    pickFolder_->setToolTip(
        u("在文件夹 (如手机的文件系统备份) 中查找 mmssms.db、contacts2.db 和 calllog.db"));
    path_ = new QLineEdit;
    path_->setObjectName("Edit7");
    auto* pickRow = new QHBoxLayout;
    pickRow->addWidget(pick_);
    pickRow->addWidget(pickFolder_);
    pickRow->addWidget(path_);
    fileLayout->addWidget(radioFile_);
    fileLayout->addLayout(pickRow);

    auto* phoneGroup = new QFrame;
    phoneGroup->setFrameShape(QFrame::StyledPanel);
    auto* phoneLayout = new QVBoxLayout(phoneGroup);
    radioPhone_ = new QRadioButton(u("从手机中扫描"));
    radioPhone_->setObjectName("RadioButton4");
    phoneLayout->addWidget(radioPhone_);

    auto* fileBoxes = new QHBoxLayout;
    auto* phoneBoxes = new QHBoxLayout;
    auto* fileStores = new QHBoxLayout;
    auto* phoneStores = new QHBoxLayout;
    // The phone's own three (CheckBox1..3 for a database file, 4..6 for the phone), then the
    // stores of messages joined from several tables on a line of their own (7.. and 10..).
    constexpr std::size_t kFirstStores = 3;
    for (std::size_t i = 0; i < std::size(boxes_); ++i) {
        const std::size_t c = i % kCategoryCount;
        const bool phone = i >= kCategoryCount;
        boxes_[i] = new QCheckBox(u(profileOf(kAllCategories[c]).branch));
        const std::size_t number = c < kFirstStores
                                       ? c + 1 + (phone ? kFirstStores : 0)
                                       : 2 * kFirstStores + 1 + (c - kFirstStores) +
                                             (phone ? kCategoryCount - kFirstStores : 0);
        boxes_[i]->setObjectName(QString("CheckBox%1").arg(number));
        QHBoxLayout* line = c < kFirstStores ? (phone ? phoneBoxes : fileBoxes)
                                             : (phone ? phoneStores : fileStores);
        line->addWidget(boxes_[i]);
    }
    otherTables_ = new QCheckBox(u("其它表"));
    otherTables_->setObjectName("CheckBoxOther");
    otherTables_->setToolTip(u("恢复所选数据库文件中所有的表 (任何 SQLite 数据库)"));
    fileBoxes->addWidget(otherTables_);
    fileLayout->addLayout(fileBoxes);
    fileLayout->addLayout(fileStores);
    phoneLayout->addLayout(phoneBoxes);
    phoneLayout->addLayout(phoneStores);

    auto* note = new QLabel(u("注:选择“从手机中扫描”,手机必须Root,并且要打开“USB调试\""));
    note->setObjectName("Label3");
    note->setStyleSheet("color: red; font-weight: bold;");
    auto* scan = new QPushButton(u("扫描"));
    scan->setObjectName("BitBtn2");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(note);
    bottom->addStretch();
    bottom->addWidget(scan);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(fileGroup);
    layout->addWidget(phoneGroup);
    layout->addLayout(bottom);

    // One choice, though the two buttons stand in two frames.
    auto* mode = new QButtonGroup(this);
    mode->setExclusive(true);
    mode->addButton(radioFile_);
    mode->addButton(radioPhone_);
    radioFile_->setChecked(true);
    connect(radioFile_, &QRadioButton::clicked, this, &TForm2::RadioButton3Click);
    connect(radioPhone_, &QRadioButton::clicked, this, &TForm2::RadioButton4Click);
    connect(pick_, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
    connect(pickFolder_, &QPushButton::clicked, this, &TForm2::BitBtn12Click);
    connect(scan, &QPushButton::clicked, this, &TForm2::BitBtn2Click);
}

void TForm2::RadioButton3Click() {
    if (!radioFile_->isChecked()) return;
    pick_->setEnabled(true);
    pickFolder_->setEnabled(true);
    path_->setEnabled(true);
    for (const CategoryCode code : kAllCategories) {
        fileBox(code)->setEnabled(true);
        phoneBox(code)->setChecked(false);
        phoneBox(code)->setEnabled(false);
    }
    otherTables_->setEnabled(true);
}

void TForm2::RadioButton4Click() {
    if (!radioPhone_->isChecked()) return;
    pick_->setEnabled(false);
    pickFolder_->setEnabled(false);
    path_->setEnabled(false);
    for (const CategoryCode code : kAllCategories) {
        phoneBox(code)->setChecked(true);
        phoneBox(code)->setEnabled(true);
        fileBox(code)->setChecked(false);
        fileBox(code)->setEnabled(false);
    }
    otherTables_->setChecked(false);
    otherTables_->setEnabled(false);
}

void TForm2::BitBtn1Click() {
    const std::vector<std::string> picked =
        target_.prompter().openDatabaseFiles(target_.lastFolder());
    if (picked.empty()) return;
    target_.rememberFolder(std::filesystem::path(picked.front()).parent_path().string());
    picked_ = {};
    pickedText_.clear();
    otherTables_->setChecked(false);
    if (picked.size() > 1) {
        if (!takeFound(sortDatabases(picked), u("%1 个文件").arg(picked.size())))
            target_.prompter().message("无效的数据库，请重新选择！", "提示", MessageIcon::Error);
        return;
    }
    path_->setText(QString::fromStdString(picked.front()));
    // A database left in write-ahead-log mode needs no header change: nothing here writes to
    // the file, and the SQLite layer reads it as a private copy with the markers set to 1.
    if (!checkPickedDatabase(picked.front())) {
        target_.prompter().message("无效的数据库，请重新选择！", "提示", MessageIcon::Error);
        path_->clear();
    }
}

void TForm2::BitBtn12Click() {
    const auto folder =
        target_.prompter().chooseFolder("请选择要查找数据库的文件夹:", target_.lastFolder());
    if (!folder) return;
    target_.rememberFolder(*folder);
    picked_ = {};
    pickedText_.clear();
    otherTables_->setChecked(false);
    if (!takeFound(findDatabasesIn(*folder), QString::fromStdString(*folder)))
        target_.prompter().message(kNoDatabaseInFolder, "提示", MessageIcon::Error);
}

bool TForm2::takeFound(FoundDatabases found, const QString& shown) {
    for (const std::string& file : found.duplicates)
        target_.log("与已找到的数据库内容相同, 不重复扫描: " + file);
    for (const std::string& file : found.unreadable)
        target_.log("无效的数据库: " + file);
    if (!found.any()) {
        path_->clear();
        return false;
    }
    for (const CategoryCode code : kAllCategories) {
        fileBox(code)->setChecked(found.found(code));
        for (const std::string& file : found.paths[index(code)])
            target_.log(std::string("找到") + profileOf(code).branch + "数据库: " + file);
    }
    picked_ = std::move(found);
    pickedText_ = shown;
    path_->setText(shown);
    return true;
}

bool TForm2::checkPickedDatabase(const std::string& path) {
    try {
        TSQLiteDatabase db(path);
        if (db.HasTable("data")) {
            fileBox(CategoryCode::Contacts)->setChecked(true);
            fileBox(CategoryCode::CallLog)->setChecked(true);
            fileBox(CategoryCode::Sms)->setChecked(false);
        }
        if (db.HasTable("sms")) {
            fileBox(CategoryCode::Contacts)->setChecked(false);
            fileBox(CategoryCode::CallLog)->setChecked(false);
            fileBox(CategoryCode::Sms)->setChecked(true);
        }
        // A Samsung logs.db: the call log alone.
        const bool samsungLogs = !db.HasTable("calls") && db.HasTable("logs");
        if (samsungLogs) {
            fileBox(CategoryCode::Contacts)->setChecked(false);
            fileBox(CategoryCode::CallLog)->setChecked(true);
            fileBox(CategoryCode::Sms)->setChecked(false);
        }
        // The stores of messages joined from several tables: ticked where the file holds them.
        bool anyStore = false;
        for (const CategoryCode code : kAllCategories)
            if (index(code) >= index(CategoryCode::Mms)) {
                const bool holds = holdsCategory(db, code);
                fileBox(code)->setChecked(holds);
                anyStore = anyStore || holds;
            }
        // A database of none of these: its own tables are what it holds.
        const bool none = !db.HasTable("data") && !db.HasTable("sms") && !db.HasTable("calls") &&
                          !samsungLogs && !anyStore;
        if (none)
            for (const CategoryCode code : kAllCategories)
                fileBox(code)->setChecked(false);
        if (anyStore && !db.HasTable("sms"))
            for (const CategoryCode code :
                 {CategoryCode::Contacts, CategoryCode::Sms, CategoryCode::CallLog})
                fileBox(code)->setChecked(false);
        otherTables_->setChecked(none);
        return true;
    } catch (const ESQLiteException&) {
        return false;  // the file is not a database SQLite can read; the user is told so
    }
}

void TForm2::BitBtn2Click() {
    target_.clearTree();
    target_.clearRows();
    RunPlan run;
    bool tables = false;  // the picked file's own tables too
    if (!radioPhone_->isChecked()) {
        if (blank(path_->text())) {
            target_.prompter().message("请先选择要扫描的文件，再进行扫描 !", "info",
                                       MessageIcon::Error);
            return;
        }
        // Several files or a folder: each category reads every file that holds it; a category
        // ticked that none holds reads the first, as a single file's would.
        const bool several = !pickedText_.isEmpty() && path_->text() == pickedText_;
        tables = otherTables_->isChecked() && !several;
        std::string path = path_->text().toStdString();
        if (several)
            for (const auto& files : picked_.paths)
                if (!files.empty()) {
                    path = files.front();
                    break;
                }
        for (const CategoryCode code : kAllCategories) {
            if (!fileBox(code)->isChecked()) continue;
            if (!several || !picked_.found(code))
                run.queue(code, path);
            else
                for (const std::string& file : picked_.paths[index(code)])
                    run.queue(code, file);
        }
        if (several) run.duplicates = picked_.duplicates;
        if (tables) run.otherTablesOf = path_->text().toStdString();
    } else {
        if (!adbFound(target_.appDir())) {
            target_.prompter().message(kAdbMissing, "提示", MessageIcon::Error);
            return;
        }
        auto copies = acquireFromPhone(target_.appDir(), [this](const std::string& command) {
            return target_.runHiddenCommand(command);
        });
        if (!copies) {
            target_.prompter().message(kPhoneUnreachable, "提示", MessageIcon::None);
            return;
        }
        PerCategory<bool> ticked{};
        for (const CategoryCode code : kAllCategories)
            ticked[index(code)] = phoneBox(code)->isChecked();
        for (const CategoryCode code : storesMissing(ticked, *copies))
            target_.log(std::string("手机中没有") + profileOf(code).branch + "的数据库，不扫描");
        run = phoneRun(ticked, std::move(*copies));
    }
    if (run.ScanQueue.empty() && !tables) {
        target_.prompter().message("请选择要恢复的数据类型！", "提示", MessageIcon::Error);
        return;
    }
    close();
    target_.runScans(std::move(run));
}

void TForm2::closeEvent(QCloseEvent* event) {
    target_.setMainWindowEnabled(true);
    event->accept();
}

}  // namespace pc
