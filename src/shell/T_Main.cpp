#include "T_Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>

#include "RunCommand.h"
#include "T_Option.h"
#include "Unit8.h"
#include "profile_file.h"
#include "result_columns.h"
#include "scan_run.h"
#include "scanner_for.h"
#include "text_export.h"
#include "update_check.h"

// The icons live in this library's resources; a static library has to load them itself.
static void loadShellResources() {
    Q_INIT_RESOURCE(shell);
}

namespace pc {

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

// Events run at most this often during long work on the window's own thread: often enough to
// feel immediate, rarely enough that the scan keeps its speed.
constexpr qint64 kPumpIntervalMs = 20;

// Sorts of more rows than this show the wait cursor.
constexpr int kLongSortRows = 100000;

// The folder chooser of the recover command.
class PromptedFolder : public FolderChooser {
  public:
    explicit PromptedFolder(Prompter& p) : prompter_(p) {}
    std::optional<std::string> chooseSaveFolder(const std::string& prompt,
                                                const std::string& root) override {
        return prompter_.chooseFolder(prompt, root);
    }

  private:
    Prompter& prompter_;
};

bool blankTitle(const std::string& title) {
    for (unsigned char c : title)
        if (c > ' ') return false;
    return true;
}

}  // namespace

TMain::TMain(MainWindowOptions options, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), prompter_(prompter) {
    loadShellResources();
    setObjectName("Main");
    resize(966, 643);
    buildActions();
    buildToolbar();
    buildCentre();
    buildStatusBar();
    setCommandState(CommandState::Idle);
    form2_ = new TForm2(*this, this);
    form8_ = new TForm8(this);
    FormCreate();
}

TMain::~TMain() = default;

QAction* TMain::action(const char* name, const char* text, const QKeySequence& key,
                       void (TMain::*slot)()) {
    auto* a = new QAction(u(text), this);
    a->setObjectName(name);
    a->setShortcut(key);
    addAction(a);  // the menus are hidden: the window itself carries the shortcuts
    connect(a, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
    return a;
}

void TMain::buildActions() {
    // The main menu's four entries are hidden, so there is no menu bar; what remains are the
    // shortcuts of its items and the hidden items that run the scanners.
    menuBar()->setVisible(false);
    startAction_ = action("N21", "开始扫描", QKeySequence("Alt+S"), &TMain::ToolButton3Click);
    stopAction_ = action("N2", "停止扫描", QKeySequence("Alt+T"), &TMain::ToolButton5Click);
    recoverAction_ = action("N16", "恢复数据", QKeySequence("Alt+R"), &TMain::ToolButton4Click);
    auto* exit = new QAction(u("退出"), this);
    exit->setObjectName("N4");
    exit->setShortcut(QKeySequence("Alt+E"));
    addAction(exit);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    action("N25", "关于", QKeySequence(Qt::Key_F3), &TMain::ToolButton9Click);
    const std::pair<const char*, CategoryCode> scanners[] = {{"Scan11", CategoryCode::Contacts},
                                                             {"scan21", CategoryCode::Sms},
                                                             {"Scan31", CategoryCode::CallLog}};
    for (const auto& [name, code] : scanners) {
        auto* a = new QAction(this);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, c = code] { scanCategory(c); });
    }

    popup_ = new QMenu(this);
    popup_->setObjectName("PopupMenu1");
    auto add = [this](const char* name, const char* text, auto slot) {
        QAction* a = popup_->addAction(u(text));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
    };
    add("N6", "Recover Checked", [this] { ToolButton4Click(); });
    popup_->addSeparator();
    add("SelectAll1", "Select All", [this] { listView_->selectAll(); });
    add("N8", "Check All", [this] { model_->setAllTicks(true); });
    add("N10", "Uncheck All", [this] { model_->setAllTicks(false); });
    auto selectedRows = [this] {
        std::vector<int> rows;
        for (const QModelIndex& i : listView_->selectionModel()->selectedRows())
            rows.push_back(i.row());
        return rows;
    };
    add("N9", "Check Selected", [this, selectedRows] { model_->setTicks(selectedRows(), true); });
    add("N28", "Uncheck Selected",
        [this, selectedRows] { model_->setTicks(selectedRows(), false); });
}

void TMain::buildToolbar() {
    auto* bar = addToolBar(u("工具栏"));
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setFixedHeight(73);
    bar->setIconSize(QSize(48, 48));
    auto button = [&](const char* name, const char* text, const char* icon,
                      std::function<void()> onClick) {
        auto* b = new QToolButton(bar);
        b->setObjectName(name);
        b->setText(u(text));
        b->setIcon(QIcon(QString(":/icons/") + icon + ".svg"));
        b->setIconSize(QSize(48, 48));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setFixedSize(85, 68);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, std::move(onClick));
        bar->addWidget(b);
        return b;
    };
    start_ = button("ToolButton3", "     开始扫描     ", "start", [this] { ToolButton3Click(); });
    stop_ = button("ToolButton5", "停止扫描", "stop", [this] { ToolButton5Click(); });
    recover_ = button("ToolButton4", "恢复数据", "recover", [this] { ToolButton4Click(); });
    bar->addSeparator();
    button("ToolButton8", "帮助", "help", [this] { ToolButton8Click(); });
    button("ToolButton9", "关于", "about", [this] { ToolButton9Click(); });
    bar->addSeparator();
    button("ToolButton2", "退出", "exit", [this] { close(); });
}

void TMain::buildCentre() {
    treeView_ = new QTreeWidget;
    treeView_->setObjectName("TreeView1");
    treeView_->setHeaderHidden(true);
    treeView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    treeView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    treeView_->setStyleSheet("QTreeWidget { background: palette(button); }");
    tree_ = std::make_unique<CategoryTree>(*treeView_);
    connect(treeView_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { TreeView1Click(item); });
    // The list follows the current node however it became current: a click or the keys.
    connect(treeView_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) TreeView1Click(item);
    });

    model_ = new ReportListModel(store_, this);
    listView_ = new QTableView;
    listView_->setObjectName("ListView1");
    listView_->setModel(model_);
    listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView_->setShowGrid(true);
    listView_->setWordWrap(false);
    listView_->verticalHeader()->setVisible(false);
    listView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    listView_->verticalHeader()->setDefaultSectionSize(listView_->fontMetrics().height() + 6);
    listView_->horizontalHeader()->setSectionsMovable(true);
    listView_->horizontalHeader()->setSectionsClickable(true);
    listView_->horizontalHeader()->setSortIndicatorShown(true);
    listView_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(listView_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int logical) { ListView1ColumnClick(logical); });

    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName("Splitter1");
    split->addWidget(treeView_);
    split->addWidget(listView_);
    split->setStretchFactor(1, 1);
    split->setSizes({200, 766});

    logArea_ = new QWidget;
    logArea_->setObjectName("Panel2");
    auto* logLayout = new QVBoxLayout(logArea_);
    logLayout->setContentsMargins(0, 0, 0, 0);
    logLayout->setSpacing(0);
    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(0, 0, 0, 0);
    auto* closeLog = new QToolButton;
    closeLog->setObjectName("SpeedButton1");
    closeLog->setText(u("×"));
    closeLog->setAutoRaise(true);
    closeLog->setFixedHeight(15);
    closeLog->setToolTip("Close Log");
    QFont bold = closeLog->font();
    bold.setBold(true);
    closeLog->setFont(bold);
    connect(closeLog, &QToolButton::clicked, this, &TMain::SpeedButton1Click);
    strip->addStretch();
    strip->addWidget(closeLog);
    logLayout->addLayout(strip);
    logView_ = new QTreeWidget;
    logView_->setObjectName("ListView2");
    logView_->setRootIsDecorated(false);
    logView_->setUniformRowHeights(true);
    logView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    logView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    logView_->setHeaderLabels({u("类型"), u("日期"), u("时间"), u("信息")});
    logView_->setColumnWidth(0, 100);
    logView_->setColumnWidth(1, 80);
    logView_->setColumnWidth(2, 80);
    logView_->header()->setStretchLastSection(true);
    logLayout->addWidget(logView_);

    auto* vertical = new QSplitter(Qt::Vertical);
    vertical->setObjectName("Splitter2");
    vertical->addWidget(split);
    vertical->addWidget(logArea_);
    vertical->setStretchFactor(0, 1);
    vertical->setSizes({470, 100});
    setCentralWidget(vertical);
}

void TMain::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar1");
    bar->setSizeGripEnabled(false);
    // Each part keeps to its own width, the count taking what is left: at any window width no
    // text is drawn over the progress bar.
    for (int i = 0; i < 3; ++i) {
        if (i == 1) {
            progressBar_ = new QProgressBar;
            progressBar_->setObjectName("ProgressBar1");
            progressBar_->setMinimumWidth(120);
            progressBar_->setMaximumWidth(400);
            progressBar_->setTextVisible(false);
            progressBar_->setValue(0);
            bar->addWidget(progressBar_, 2);
            continue;
        }
        panels_[i] = new QLabel;
        panels_[i]->setObjectName(QString("StatusPanel%1").arg(i));
        panels_[i]->setMinimumWidth(i == 0 ? 120 : 0);
        panels_[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        bar->addWidget(panels_[i], i == 0 ? 1 : 3);
    }
    panels_[0]->setAlignment(Qt::AlignCenter);
    panels_[0]->setText(u("就绪"));
}

bool TMain::readSettings() {
    const std::string ini = appDir_ + "config.ini";
    const std::string todayText =
        QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
    title_ = readProfileString(ini, "main", "title", kProductTitle);
    const std::string storedVersion = readProfileString(ini, "main", "ver", "0");
    const std::string lastDate = readProfileString(ini, "main", "date", todayText);
    // A command that waits for a phone to be authorised must not hold the program for ever.
    adbTimeoutSeconds_ = std::atoi(readProfileString(ini, "main", "adbtimeout", "300").c_str());
    if (adbTimeoutSeconds_ <= 0) adbTimeoutSeconds_ = 300;
    server_ = std::make_unique<VendorServer>(
        QUrl(QString::fromStdString(readProfileString(ini, "main", "server", kDefaultServer))),
        options_.httpTimeout);
    installationId_ = readProfileString(ini, "main", "id", "");
    bool written = true;
    if (installationId_.empty()) {
        installationId_ = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
        written = writeProfileString(ini, "main", "id", installationId_);
    }

    if (lastDate != todayText) {
        // Once the window is up; it answers when it answers, the window meanwhile in use.
        updateContext_.emplace(
            UpdateContext{appDir_, todayText, prompter_, *server_, options_.startDetached});
        updatePending_ = true;
        QTimer::singleShot(0, this, [this, storedVersion] {
            UpdateCheck(storedVersion, *updateContext_, [this](bool updaterStarted) {
                updatePending_ = false;
                if (!updaterStarted) return;
                endRequested_ = true;
                if (options_.terminate) options_.terminate();
            });
        });
    }
    if (blankTitle(title_)) title_ = kProductTitle;
    return writeProfileString(ini, "main", "ver", kProgramVersion) &&
           writeProfileString(ini, "main", "date", todayText) && written;
}

void TMain::FormCreate() {
    firstActivation_ = true;
    appDir_ = options_.appDir;
    const bool settingsWritten = readSettings();
    setWindowTitle(QString::fromStdString(title_ + kProgramVersion));
    placeOnScreen();
    log("程序就绪...");
    if (!settingsWritten) log("无法写入配置文件 " + appDir_ + "config.ini");
    state_.ScanHalted = 1;
    pumpClock_.start();
}

// Centred on the screen, and on it whole: at 200% scaling the window's size can pass the
// screen's, and centring alone would put its title bar above the top.
void TMain::placeOnScreen() {
    const QScreen* screen = QApplication::primaryScreen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    const QSize frame = frameGeometry().size() - size();  // title bar and borders
    resize(std::min(width(), free.width() - frame.width()),
           std::min(height(), free.height() - frame.height()));
    QRect placed(QPoint(), size() + frame);
    placed.moveCenter(free.center());
    placed.moveTopLeft(
        QPoint(std::max(placed.left(), free.left()), std::max(placed.top(), free.top())));
    move(placed.topLeft());
}

void TMain::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (state_.ScanHalted == 0) {
        prompter_.message("程序正在扫描中，请先停止扫描！", "提示", MessageIcon::Information);
        return;
    }
    if (prompter_.message("你确定要退出程序吗? ", "提示", MessageIcon::Question, Buttons::YesNo) !=
        Answer::Yes)
        return;
    QCoreApplication::processEvents();
    form8_->show();
    QCoreApplication::processEvents();
    setEnabled(false);
    UsagePing(*server_, installationId_, kProgramVersion, kProductTitle);
    event->accept();
    if (options_.terminate) options_.terminate();
}

void TMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow()) return;
    if (firstActivation_) {
        firstActivation_ = false;
        if (model_->rowCount() == 0) ToolButton3Click();
    }
    setWindowTitle(QString::fromStdString(title_ + kProgramVersion));
}

// ---- commands ----

void TMain::ToolButton3Click() {
    if (!start_->isEnabled()) return;
    form2_->show();
    form2_->raise();
    form2_->activateWindow();
    setEnabled(false);
    form2_->setEnabled(true);
}

void TMain::ToolButton5Click() {
    if (!stop_->isEnabled()) return;
    if (prompter_.message("你确定要终止扫描?", "提示", MessageIcon::Question, Buttons::YesNo) !=
        Answer::Yes)
        return;
    state_.ScanHalted = 1;
    setCommandState(CommandState::Idle);
}

void TMain::ToolButton4Click() {
    if (!recover_->isEnabled()) return;
    PromptedFolder folder(prompter_);
    try {
        const ExportRequest request{globals_.ScanQueue, OutputFormat::Tsv, TextEncoding::Gb18030,
                                    nullptr};
        const ExportReport report =
            exportResults(request, store_, folder, [this] { pumpEvents(); });
        if (report.cancelled) return;
        // Completion is reported only for files written.
        if (report.written.empty())
            prompter_.message("没有可恢复的数据！", "提示", MessageIcon::Information);
        else
            prompter_.message("恢复完成!", "Information", MessageIcon::Information);
    } catch (const ExportError& e) {
        showError(e.what());
    }
}

void TMain::ToolButton8Click() {
    openHelp();
}

void TMain::ToolButton9Click() {
    prompter_.message(std::string(kProductTitle) + kProgramVersion +
                          "\n\n找回安卓手机里的短信、通讯录和通话记录，包括已删除的记录。\n"
                          "只读取数据库文件，从不改写。",
                      "关于", MessageIcon::Information);
}

void TMain::openHelp() {
    if (options_.openUrl)
        options_.openUrl(
            QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/help.html"));
}

int TMain::runHiddenCommand(const std::string& commandLine) {
    CommandWait wait;
    wait.limit = std::chrono::seconds(adbTimeoutSeconds_);
    wait.whileWaiting = [this] {
        if (pumpDue()) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    return RunCommand(commandLine, 0, wait);
}

void TMain::SpeedButton1Click() {
    logArea_->hide();
}

void TMain::TreeView1Click(QTreeWidgetItem* item) {
    if (treeView_->topLevelItemCount() == 0) return;
    const auto tag = CategoryTree::tagOf(item ? item : treeView_->currentItem());
    if (!tag) return;
    setColumns(tag->code);
    model_->showNode(*tag);
}

void TMain::ListView1ColumnClick(int column) {
    // Ascending first; each further click on the same column turns it round.
    sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
    sortColumn_ = column;
    // A long sort shows that the window is busy, not frozen.
    const bool long_ = model_->rowCount() > kLongSortRows;
    if (long_) QApplication::setOverrideCursor(Qt::WaitCursor);
    model_->sortRows(column, sortAscending_);
    if (long_) QApplication::restoreOverrideCursor();
    listView_->horizontalHeader()->setSortIndicator(
        column, sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

// ---- the run ----

void TMain::setColumns(CategoryCode code) {
    model_->setColumns(code);
    const auto& columns = ResultColumns(code);
    QHeaderView* header = listView_->horizontalHeader();
    for (std::size_t i = 0; i < columns.size(); ++i)
        listView_->setColumnWidth(static_cast<int>(i), columns[i].width);
    header->setStretchLastSection(code == CategoryCode::Sms);
}

void TMain::runScanner(CategoryCode code) {
    const char* names[] = {"Scan11", "scan21", "Scan31"};
    if (auto* a = findChild<QAction*>(names[static_cast<int>(code)])) a->trigger();
}

void TMain::scanCategory(CategoryCode code) {
    pumpClock_.restart();
    runQueuedScan(globals_, code, words_, store_, state_);
    model_->flushQueuedRows();
    progressBar_->setValue(static_cast<int>(std::min<std::uint32_t>(progress_, INT32_MAX)));
}

bool TMain::runHasRows() const {
    return std::any_of(globals_.ScanQueue.begin(), globals_.ScanQueue.end(),
                       [this](CategoryCode code) { return store_.count(code) > 0; });
}

void TMain::setRecoverEnabled(bool enabled) {
    recover_->setEnabled(enabled);
    recoverAction_->setEnabled(enabled);
}

// ---- ScanHost ----

void TMain::clearRows() {
    model_->clearRows();
}

void TMain::addCategoryBranch(CategoryCode code) {
    tree_->addCategoryBranch(code);
}

void TMain::setBranchCounts(std::int32_t found, std::int32_t deleted) {
    tree_->setBranchCounts(found, deleted);
}

void TMain::rowAdded(CategoryCode code, std::uint32_t index) {
    model_->queueRow(code, index);
}

void TMain::setStatus(int panel, const std::string& text) {
    panels_[panel == 0 ? 0 : 2]->setText(QString::fromStdString(text));
}

void TMain::log(const std::string& message) {
    const QDateTime now = QDateTime::currentDateTime();
    logRow(now.date().toString("yyyy-MM-dd"), now.time().toString("hh:mm:ss"), message);
}

void TMain::logRow(const QString& date, const QString& time, const std::string& message) {
    auto* row =
        new QTreeWidgetItem(logView_, {"System", date, time, QString::fromStdString(message)});
    logView_->setCurrentItem(row);
    logView_->scrollToItem(row);
}

void TMain::setCommandState(CommandState state) {
    const bool scanning = state == CommandState::Scanning;
    model_->flushQueuedRows();
    start_->setEnabled(!scanning);
    startAction_->setEnabled(!scanning);
    stop_->setEnabled(scanning);
    stopAction_->setEnabled(scanning);
    setRecoverEnabled(!scanning && runHasRows());
}

void TMain::setProgressRange(std::uint32_t maximum) {
    progressBar_->setRange(0, static_cast<int>(std::min<std::uint32_t>(maximum, INT32_MAX)));
}

void TMain::pageReached(std::uint32_t page) {
    progress_ = page;
    pumpEvents();
}

bool TMain::pumpDue() {
    if (pumpClock_.elapsed() < kPumpIntervalMs) return false;
    pumpClock_.restart();
    return true;
}

void TMain::pumpEvents() {
    if (!pumpDue()) return;
    progressBar_->setValue(static_cast<int>(std::min<std::uint32_t>(progress_, INT32_MAX)));
    model_->flushQueuedRows();
    QCoreApplication::processEvents();
}

void TMain::showMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    prompter_.message(text, caption, icon);
}

void TMain::showError(const std::string& text) {
    prompter_.message(text, title_, MessageIcon::Error);
}

}  // namespace pc
