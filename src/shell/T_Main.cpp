#include "T_Main.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "RunCommand.h"
#include "T_Option.h"
#include "Unit8.h"
#include "category_profile.h"
#include "conversations_view.h"
#include "detail_pane.h"
#include "error_words.h"
#include "file_names.h"
#include "list_work.h"
#include "result_columns.h"
#include "row_details.h"
#include "row_search.h"
#include "scan_run.h"
#include "search_bar.h"
#include "table_recovery.h"
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

}  // namespace

TMain::TMain(MainWindowOptions options, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      prompter_(prompter),
      settings_(options_.appDir),
      recoverFlow_(prompter_, store_, settings_, {[this] { pumpEvents(); }, options_.openUrl}) {
    loadShellResources();
    // Millions of messages fit: their bodies are kept compressed.
    store_.keepLongTextsInBlocks(true);
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

TMain::~TMain() {
    // The work reads the store, which goes before the window's children.
    work_->abandon();
}

void TMain::finishListWork() {
    work_->wait();
}

bool TMain::listWorkBusy() const {
    return work_->busy();
}

// Work on the list beyond half a second shows itself: the busy cursor and a moving bar.
void TMain::showListBusy(bool busy) {
    if (busy) {
        busyDelay_->start();
        return;
    }
    busyDelay_->stop();
    if (!busyShown_) return;
    busyShown_ = false;
    QApplication::restoreOverrideCursor();
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    panels_[0]->setText(statusBeforeBusy_);
}

void TMain::listBusyLong() {
    busyShown_ = true;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    progressBar_->setRange(0, 0);
    statusBeforeBusy_ = panels_[0]->text();
    panels_[0]->setText(u("正在整理列表..."));
}

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
}

// The list's context menu: the recover, select and tick commands, and copying.
void TMain::buildListMenu() {
    auto add = [this](const char* name, const char* text, auto slot) {
        QAction* a = popup_->addAction(u(text));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    // Without ticks, everything, as before; with them, only the ticked rows.
    add("N6", "Recover Checked", [this] {
        if (anyTicks())
            recoverChosen();
        else
            ToolButton4Click();
    });
    add("RecoverChosen", "恢复选中", [this] { recoverChosen(); });
    popup_->addSeparator();
    QAction* copy = add("CopyRows", "复制", [this] { copyRows(); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    listView_->addAction(copy);
    tablesView_->addAction(copy);
    add("CopyNumber", "复制号码", [this] { copyNumber(); });
    add("CopyText", "复制内容", [this] { copyText(); });
    popup_->addSeparator();
    // The list shown: a category's or a carved table's.
    add("SelectAll1", "Select All", [this] { shownList()->selectAll(); });
    auto tick = [this](bool all, bool ticked) {
        const std::vector<int> rows = all ? std::vector<int>{} : selectedListRows();
        if (shownList() == tablesView_)
            all ? tablesModel_->setAllTicks(ticked) : tablesModel_->setTicks(rows, ticked);
        else
            all ? model_->setAllTicks(ticked) : model_->setTicks(rows, ticked);
    };
    add("N8", "Check All", [tick] { tick(true, true); });
    add("N10", "Uncheck All", [tick] { tick(true, false); });
    add("N9", "Check Selected", [tick] { tick(false, true); });
    add("N28", "Uncheck Selected", [tick] { tick(false, false); });
    for (QTableView* view : {listView_, tablesView_}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            if (view->model()->rowCount() > 0) popup_->popup(view->viewport()->mapToGlobal(at));
        });
    }
}

QTableView* TMain::shownList() const {
    return listStack_->currentWidget() == tablesView_ ? tablesView_ : listView_;
}

std::vector<int> TMain::selectedListRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : shownList()->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool TMain::anyTicks() const {
    if (!tablesModel_->tickedRows().empty()) return true;
    return std::any_of(kAllCategories, std::end(kAllCategories),
                       [this](CategoryCode code) { return !model_->tickedRows(code).empty(); });
}

std::vector<CategoryCode> TMain::runCategories() const {
    std::vector<CategoryCode> queue;
    for (const CategoryCode code : plan_.ScanQueue)
        if (std::find(queue.begin(), queue.end(), code) == queue.end()) queue.push_back(code);
    return queue;
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

    work_ = new ListWork(options_.inlineListRows, this);
    busyDelay_ = new QTimer(this);
    busyDelay_->setSingleShot(true);
    busyDelay_->setInterval(500);
    connect(busyDelay_, &QTimer::timeout, this, [this] { listBusyLong(); });
    connect(work_, &ListWork::busyChanged, this, [this](bool busy) { showListBusy(busy); });
    connect(work_, &ListWork::failed, this, [this](const QString& what) {
        log("列表操作未完成：" + what.toStdString());
        prompter_.message("列表操作未完成：内存不足。", "提示", MessageIcon::Error);
    });
    model_ = new ReportListModel(store_, work_, this);
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
    connect(listView_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) {
                const auto code = model_->code();
                if (applyingWidths_ || !code) return;
                auto& widths = settings_.columnWidths(*code);
                if (widths.size() <= static_cast<std::size_t>(column))
                    widths.resize(static_cast<std::size_t>(column) + 1, 0);
                widths[static_cast<std::size_t>(column)] = size;
            });
    connect(listView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { showDetails(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        searchBar_->updateMatchCount();
        showDetails();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this] { searchBar_->updateMatchCount(); });

    conversationView_ = new ConversationsView(store_, work_);
    connect(conversationView_, &ConversationsView::currentConversationChanged, this,
            [this] { showThread(); });
    connect(conversationView_, &ConversationsView::refreshed, this, [this] {
        if (listStack_->currentWidget() != conversationView_) return;
        searchBar_->showCount(u("%1 个会话").arg(conversationView_->conversationCount()));
        showThread();
    });

    tablesModel_ = new RecoveredTablesModel(this);
    tablesView_ = new QTableView;
    tablesView_->setObjectName("TablesView");
    tablesView_->setModel(tablesModel_);
    tablesView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tablesView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tablesView_->setWordWrap(false);
    tablesView_->verticalHeader()->setVisible(false);
    tablesView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tablesView_->verticalHeader()->setDefaultSectionSize(listView_->fontMetrics().height() + 6);
    connect(tablesView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid() || current.row() >= tablesModel_->rowCount())
                    return detail_->clear();
                detail_->showTableRow(tables_, tablesModel_->storeIndex(current.row()),
                                      plan_.otherTablesOf);
            });

    timelineModel_ = new TimelineModel(store_, work_, this);
    timelineView_ = new QTableView;
    timelineView_->setObjectName("TimelineView");
    timelineView_->setModel(timelineModel_);
    timelineView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    timelineView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    timelineView_->setWordWrap(false);
    timelineView_->verticalHeader()->setVisible(false);
    timelineView_->horizontalHeader()->setStretchLastSection(true);
    connect(timelineView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { showTimelineDetails(); });
    connect(timelineModel_, &TimelineModel::refreshed, this, [this] {
        if (listStack_->currentWidget() != timelineView_) return;
        searchBar_->showCount(u("%1 条").arg(timelineModel_->rowCount()));
        timelineView_->resizeColumnsToContents();
    });

    listStack_ = new QStackedWidget;
    listStack_->addWidget(listView_);
    listStack_->addWidget(conversationView_);
    listStack_->addWidget(tablesView_);
    listStack_->addWidget(timelineView_);
    detail_ = new DetailPane;
    auto* listAndDetail = new QSplitter(Qt::Vertical);
    listAndDetail->setObjectName("Splitter3");
    listAndDetail->addWidget(listStack_);
    listAndDetail->addWidget(detail_);
    listAndDetail->setStretchFactor(0, 3);
    listAndDetail->setStretchFactor(1, 1);
    listAndDetail->setSizes({330, 110});
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(2);
    searchBar_ = new SearchBar(*model_, *tablesModel_);
    connect(searchBar_, &SearchBar::conversationsToggled, this,
            [this](bool on) { showConversations(on); });
    rightLayout->addWidget(searchBar_);
    rightLayout->addWidget(listAndDetail, 1);

    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName("Splitter1");
    split->addWidget(treeView_);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({200, 766});
    buildListMenu();

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

void TMain::showDetails() {
    const QModelIndex current = listView_->currentIndex();
    const auto code = model_->code();
    if (!current.isValid() || !code || current.row() >= model_->rowCount()) {
        detail_->clear();
        return;
    }
    const std::uint32_t row = model_->storeIndex(current.row());
    detail_->showRow(store_, *code, row, names(),
                     store_.partPath(*code, store_.partOf(*code, row)));
}

void TMain::showTimeline() {
    searchBar_->conversationsButton()->setChecked(false);
    searchBar_->setQueryEnabled(false);
    listStack_->setCurrentWidget(timelineView_);
    detail_->clear();
    timelineModel_->refresh();
}

void TMain::showTimelineDetails() {
    const QModelIndex current = timelineView_->currentIndex();
    if (!current.isValid()) return detail_->clear();
    const MessageRef r = timelineModel_->rowAt(current.row());
    detail_->showRow(store_, r.code, r.row, names(),
                     store_.partPath(r.code, store_.partOf(r.code, r.row)));
}

void TMain::showThread() {
    detail_->showThread(conversationView_->currentThreadHtml());
}

void TMain::showConversations(bool on) {
    searchBar_->setQueryEnabled(!on);
    if (on) {
        listStack_->setCurrentWidget(conversationView_);
        conversationView_->refresh(names());
    } else {
        listStack_->setCurrentWidget(listView_);
        searchBar_->updateMatchCount();
        showDetails();
    }
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
    const bool written = settings_.readMain(kProductTitle, kProgramVersion, kDefaultServer);
    server_ = std::make_unique<VendorServer>(QUrl(QString::fromStdString(settings_.server())),
                                             options_.httpTimeout);
    if (settings_.updateDue()) {
        // Once the window is up; it answers when it answers, the window meanwhile in use.
        updateContext_.emplace(
            UpdateContext{appDir_, settings_.today(), prompter_, *server_, options_.startDetached});
        updatePending_ = true;
        QTimer::singleShot(0, this, [this] {
            UpdateCheck(settings_.storedVersion(), *updateContext_, [this](bool updaterStarted) {
                updatePending_ = false;
                if (!updaterStarted) return;
                endRequested_ = true;
                if (options_.terminate) options_.terminate();
            });
        });
    }
    return written;
}

void TMain::FormCreate() {
    firstActivation_ = true;
    appDir_ = options_.appDir;
    const bool settingsWritten = readSettings();
    setWindowTitle(QString::fromStdString(settings_.title() + kProgramVersion));
    settings_.readLayout();
    if (settings_.width() > 0) resize(settings_.width(), settings_.height());
    placeOnScreen();
    log("程序就绪...");
    if (!settingsWritten) log("无法写入配置文件 " + appDir_ + "config.ini");
    state_.ScanHalted = 1;
    pumpClock_.start();
}

void TMain::rememberFolder(const std::string& folder) {
    settings_.rememberFolder(folder);
}

// Centred on the screen, and on it whole: at 200% scaling the window's size can pass the
// screen's, and centring alone would put its title bar above the top.
void TMain::placeOnScreen() {
    const QScreen* screen = QApplication::primaryScreen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    QSize frame = frameGeometry().size() - size();  // title bar and borders
    // Before the window manager has framed the window, a title bar's worth is kept free.
    if (frame.isEmpty())
        frame = QSize(2 * style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth),
                      style()->pixelMetric(QStyle::PM_TitleBarHeight) +
                          style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth));
    resize(std::min(width(), free.width() - frame.width()),
           std::min(height(), free.height() - frame.height()));
    QRect placed(QPoint(), size() + frame);
    placed.moveCenter(free.center());
    placed.moveTopLeft(
        QPoint(std::max(placed.left(), free.left()), std::max(placed.top(), free.top())));
    move(placed.topLeft());
}

void TMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (placedFramed_) return;
    placedFramed_ = true;
    // Once framed, the window is placed again if its frame put part of it off the screen.
    QTimer::singleShot(200, this, [this] {
        const QScreen* screen = QApplication::primaryScreen();
        if (screen && !screen->availableGeometry().contains(frameGeometry())) placeOnScreen();
    });
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
    settings_.saveLayout(width(), height());
    UsagePing(*server_, settings_.installationId(), kProgramVersion, kProductTitle);
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
    setWindowTitle(QString::fromStdString(settings_.title() + kProgramVersion));
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
    stopAsked_ = runActive_;
    setCommandState(CommandState::Idle);
}

void TMain::ToolButton4Click() {
    if (!recover_->isEnabled()) return;
    recoverFlow_.recover({runCategories(), nullptr, &tables_, nullptr});
}

// The ticked rows of every category and every carved table; without a tick anywhere, the rows
// selected in the list shown.
void TMain::recoverChosen() {
    if (state_.ScanHalted == 0) return;
    RowChoice chosen;
    for (const CategoryCode code : runCategories())
        if (auto rows = model_->tickedRows(code); !rows.empty()) chosen[code] = std::move(rows);
    std::vector<std::uint32_t> tableRows = tablesModel_->tickedRows();
    if (chosen.empty() && tableRows.empty()) {
        const bool tables = shownList() == tablesView_;
        std::vector<std::uint32_t> rows;
        for (int r : selectedListRows())
            rows.push_back(tables ? tablesModel_->storeIndex(r) : model_->storeIndex(r));
        std::sort(rows.begin(), rows.end());  // the order found, as the whole files have them
        if (tables)
            tableRows = std::move(rows);
        else if (model_->code() && !rows.empty())
            chosen[*model_->code()] = std::move(rows);
    }
    if (chosen.empty() && tableRows.empty()) {
        prompter_.message("请先勾选或选中要恢复的记录！", "提示", MessageIcon::Information);
        return;
    }
    std::vector<CategoryCode> queue;
    for (const auto& [code, rows] : chosen)
        queue.push_back(code);
    recoverFlow_.recover({queue, &chosen, tableRows.empty() ? nullptr : &tables_, &tableRows});
}

void TMain::copyRows() {
    const std::vector<int> selected = selectedListRows();
    if (selected.empty()) return;
    CopiedRows copied;
    if (shownList() == tablesView_) {
        for (int r : selected) {
            copied.beginRow();
            for (int c = 0; c < tablesModel_->columnCount(); ++c)
                copied.cell(tablesModel_->cellText(r, c));
        }
    } else {
        const auto code = model_->code();
        if (!code) return;
        std::vector<std::uint32_t> rows;
        for (int r : selected)
            rows.push_back(model_->storeIndex(r));
        copied = copiedRows(store_, *code, rows);
    }
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(copied.text()));
    data->setHtml(QString::fromStdString(copied.html()));
    QApplication::clipboard()->setMimeData(data);
}

// The copy commands take the number, or the text (a message's body, else a name), as the
// category's profile says.
void TMain::copyNumber() {
    copyCell(&CategoryProfile::numberCell);
}

void TMain::copyText() {
    copyCell(&CategoryProfile::textCell);
}

void TMain::copyCell(int CategoryProfile::*cell) {
    const auto code = model_->code();
    const QModelIndex current = listView_->currentIndex();
    if (!code || !current.isValid()) return;
    const RowCells row = store_.rowCells(*code, model_->storeIndex(current.row()));
    const auto at = static_cast<std::size_t>(profileOf(*code).*cell);
    QApplication::clipboard()->setText(QString::fromStdString(std::string(row.cells[at])));
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
    const QString help = QCoreApplication::applicationDirPath() + "/help.html";
    const std::string path = QDir::toNativeSeparators(help).toStdString();
    if (!QFileInfo::exists(help)) {
        prompter_.message("找不到帮助文件：" + path, "提示", MessageIcon::Error);
        return;
    }
    if (options_.openUrl && !options_.openUrl(QUrl::fromLocalFile(help)))
        prompter_.message("无法打开帮助：没有可用的浏览器。\n帮助文件在：" + path, "提示",
                          MessageIcon::Information);
}

int TMain::runHiddenCommand(const std::string& commandLine) {
    CommandWait wait;
    wait.limit = std::chrono::seconds(settings_.adbTimeoutSeconds());
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
    const QTreeWidgetItem* node = item ? item : treeView_->currentItem();
    if (const auto table = CategoryTree::tableTagOf(node)) {
        showTableRows(table->table, table->filter);
        return;
    }
    if (CategoryTree::isTimeline(node)) {
        showTimeline();
        return;
    }
    const auto tag = CategoryTree::tagOf(node);
    if (!tag) return;
    searchBar_->conversationsButton()->setChecked(false);  // a node's rows, not the conversations
    searchBar_->setQueryEnabled(true);
    if (listStack_->currentWidget() != listView_) listStack_->setCurrentWidget(listView_);
    setColumns(tag->code);
    model_->showNode(*tag);
    // A search typed while a carved table was shown narrows this list too.
    searchBar_->showTable(false);
    sortColumn_ = -1;
    listView_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

void TMain::ListView1ColumnClick(int column) {
    if (runActive_) {
        // The rows are still coming; the list is shown anew when the run ends.
        panels_[2]->setText(u("扫描结束后才能排序"));
        listView_->horizontalHeader()->setSortIndicator(
            sortColumn_, sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
        return;
    }
    // Ascending first; each further click on the same column turns it round.
    sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
    sortColumn_ = column;
    model_->sortRows(column, sortAscending_);
    listView_->horizontalHeader()->setSortIndicator(
        column, sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

// ---- the run ----

void TMain::setColumns(CategoryCode code) {
    model_->setColumns(code);
    applyColumnWidths(code);
}

// The widths the user left, else the category's own.
void TMain::applyColumnWidths(CategoryCode code) {
    const auto& columns = listColumns(code);
    const auto& kept = settings_.columnWidths(code);
    applyingWidths_ = true;
    listView_->horizontalHeader()->setStretchLastSection(profileOf(code).longText >= 0);
    for (std::size_t i = 0; i < columns.size(); ++i)
        listView_->setColumnWidth(static_cast<int>(i), i < kept.size() && kept[i] > 0
                                                           ? kept[i]
                                                           : columns[i].column.width);
    applyingWidths_ = false;
}

void TMain::runScans(RunPlan plan) {
    beginRun(std::move(plan));
    for (std::size_t at = 0; at < plan_.ScanQueue.size(); ++at)
        scanQueued(at);
    if (!plan_.otherTablesOf.empty()) carveRun(plan_.otherTablesOf);
    endRun();
}

void TMain::carveTables(const std::string& path) {
    RunPlan plan;
    plan.otherTablesOf = path;
    runScans(std::move(plan));
}

void TMain::beginRun(RunPlan plan) {
    // Work on the old rows ends before they go.
    work_->wait();
    conversationView_->clear();
    timelineModel_->clear();
    plan_ = std::move(plan);
    // Nothing of the run before is shown again: its rows go, the carved tables' too.
    clearRows();
    model_->forgetTicks();
    for (const CategoryCode code : kAllCategories)
        store_.beginCategory(code);
    tables_.clear();
    tablesModel_->setStore(nullptr);
    report_.clear();
    report_.setDuplicates(plan_.duplicates);
    stopAsked_ = false;
    runActive_ = true;
    panels_[0]->setText(u("正在扫描..."));
    panels_[2]->clear();
    // A report of the run shows its files as they were before it read them.
    recoverFlow_.runBegan(plan_);
    // A kind read from several databases: each branch named by its file.
    branchFiles_.assign(plan_.ScanQueue.size(), {});
    for (const CategoryCode code : kAllCategories) {
        std::vector<std::size_t> entries;
        for (std::size_t at = 0; at < plan_.ScanQueue.size(); ++at)
            if (plan_.ScanQueue[at] == code) entries.push_back(at);
        if (entries.size() < 2) continue;
        std::vector<std::string> paths;
        for (std::size_t at : entries)
            paths.push_back(plan_.pathAt(at));
        const std::vector<std::string> names = shortFileNames(paths);
        for (std::size_t i = 0; i < entries.size(); ++i)
            branchFiles_[entries[i]] = names[i];
    }
    for (std::size_t at = 0; at < plan_.ScanQueue.size(); ++at) {
        std::string what = profileOf(plan_.ScanQueue[at]).branch;
        if (!branchFiles_[at].empty()) what += " — " + branchFiles_[at];
        report_.add(std::move(what), plan_.pathAt(at));
    }
    if (!plan_.otherTablesOf.empty()) report_.add("其它表", plan_.otherTablesOf);
}

bool TMain::fileReadable(std::size_t at) {
    RunReport::Item& item = report_.item(at);
    const auto problem = fileProblem(item.path);
    if (!problem) return true;
    item.outcome = RunReport::Outcome::Failed;
    item.reason = *problem;
    log(item.path + ": " + *problem);
    return false;
}

void TMain::scanQueued(std::size_t at) {
    RunReport::Item& item = report_.item(at);
    if (stopAsked_) {
        item.outcome = RunReport::Outcome::NotRun;
        return;
    }
    if (!fileReadable(at)) return;
    const CategoryCode code = plan_.ScanQueue[at];
    currentItem_ = at;
    branchFile_ = branchFiles_[at];
    setColumns(code);
    beginScanView();
    const ScanOutcome outcome = runQueuedScan(plan_, at, words_, store_, state_);
    endScanView();
    currentItem_ = SIZE_MAX;
    if (outcome == ScanOutcome::EndedEarly) {
        item.outcome = RunReport::Outcome::Failed;
        if (item.reason.empty()) item.reason = "扫描未能完成";
        return;
    }
    item.outcome = stopAsked_ ? RunReport::Outcome::Stopped : RunReport::Outcome::Completed;
    item.found = words_.found();
    item.deleted = words_.deleted();
}

void TMain::carveRun(const std::string& path) {
    const std::size_t at = report_.items().size() - 1;
    RunReport::Item& item = report_.item(at);
    if (stopAsked_) {
        item.outcome = RunReport::Outcome::NotRun;
        return;
    }
    if (!fileReadable(at)) return;
    // Run as a scan runs: the progress moves, the window answers and the stop command ends it
    // with what was found.
    currentItem_ = at;
    tablesModel_->setStore(&tables_);
    beginScanView();
    const ScanOutcome outcome = runTableCarve(path, carveWords_, state_);
    endScanView();
    currentItem_ = SIZE_MAX;
    if (outcome == ScanOutcome::EndedEarly) {
        item.outcome = RunReport::Outcome::Failed;
        return;
    }
    item.outcome = stopAsked_ ? RunReport::Outcome::Stopped : RunReport::Outcome::Completed;
    item.found = carveWords_.found();
    item.deleted = carveWords_.deleted();
}

void TMain::endRun() {
    recoverFlow_.runEnded();
    runActive_ = false;
    state_.ScanHalted = 1;
    setCommandState(CommandState::Idle);
    const std::string word = report_.endWord();
    panels_[0]->setText(QString::fromStdString(word));
    panels_[2]->setText(QString::fromStdString(report_.totals()));
    log(word);
    std::size_t dated = 0;
    for (const CategoryCode code : kAllCategories)
        if (profileOf(code).searchDateCell >= 0)
            dated += static_cast<std::size_t>(store_.count(code));
    if (dated > 0) tree_->addTimelineNode(dated);
    // The list shows a node of this run: the branch scanned last, at the top.
    if (QTreeWidgetItem* top = treeView_->topLevelItem(0)) {
        if (!CategoryTree::tagOf(top) && top->childCount() > 0) top = top->child(0);
        treeView_->setCurrentItem(top);
    }
    for (const RunReport::Box& box : report_.endBoxes())
        prompter_.message(box.text, "提示", box.icon);
    setRecoverEnabled(runHasRows());
}

void TMain::addTablesBranch(const RecoveredRowStore& store) {
    tree_->addTablesBranch(store);
}

void TMain::showTableRows(std::size_t table, RowFilter filter) {
    searchBar_->conversationsButton()->setChecked(false);
    tablesModel_->showTable(table, filter);
    listStack_->setCurrentWidget(tablesView_);
    searchBar_->showTable(true);
    detail_->clear();
}

void TMain::scanCategory(CategoryCode code) {
    const auto at = std::find(plan_.ScanQueue.begin(), plan_.ScanQueue.end(), code);
    if (at == plan_.ScanQueue.end()) return;
    beginScanView();
    runQueuedScan(plan_, static_cast<std::size_t>(at - plan_.ScanQueue.begin()), words_, store_,
                  state_);
    endScanView();
}

void TMain::beginScanView() {
    // Events run at the scan's first chance, then every interval: a short scan still lets the
    // window paint its start and take a click on its stop.
    pumpNow_ = true;
}

void TMain::endScanView() {
    model_->flushQueuedRows();
    progressBar_->setValue(static_cast<int>(std::min<std::uint32_t>(progress_, INT32_MAX)));
    progressBar_->setTextVisible(false);
    scanClock_.invalidate();
}

bool TMain::runHasRows() const {
    return tables_.rowCount() > 0 ||
           std::any_of(plan_.ScanQueue.begin(), plan_.ScanQueue.end(),
                       [this](CategoryCode code) { return store_.count(code) > 0; });
}

void TMain::setRecoverEnabled(bool enabled) {
    recover_->setEnabled(enabled);
    recoverAction_->setEnabled(enabled);
}

// ---- ScanHost ----

void TMain::clearRows() {
    model_->clearRows();
    tablesModel_->clear();
}

void TMain::addCategoryBranch(CategoryCode code) {
    // One of several databases of its kind: its branch shows its part of the rows.
    if (branchFile_.empty())
        tree_->addCategoryBranch(code);
    else
        tree_->addCategoryBranch(code, branchFile_,
                                 static_cast<PartIndex>(store_.partCount(code) - 1));
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
    // A scan writes the store and the names go: the list's work waits meanwhile.
    if (scanning) {
        work_->wait();
        work_->hold(true);
    }
    model_->flushQueuedRows();
    // The names view the contacts rows, which a scan replaces: known again once it is over.
    model_->setNames(nullptr);
    searchBar_->setNames(nullptr);
    names_.reset();
    if (!scanning) {
        names_.emplace(store_);
        model_->setNames(&*names_);
        searchBar_->setNames(&*names_);
        const auto [first, last] = daysSpanned(store_);
        searchBar_->setDataDays(QDate::fromString(QString::fromStdString(first), "yyyy-MM-dd"),
                                QDate::fromString(QString::fromStdString(last), "yyyy-MM-dd"));
    }
    searchBar_->conversationsButton()->setEnabled(!scanning && messageCount(store_) > 0);
    if (scanning) searchBar_->conversationsButton()->setChecked(false);
    start_->setEnabled(!scanning);
    startAction_->setEnabled(!scanning);
    stop_->setEnabled(scanning);
    stopAction_->setEnabled(scanning);
    setRecoverEnabled(!scanning && runHasRows());
    if (!scanning) work_->hold(false);
}

void TMain::setProgressRange(std::uint32_t maximum, std::uint32_t stepBytes) {
    progressMax_ = maximum;
    stepBytes_ = stepBytes;
    progress_ = 0;
    scanClock_.start();
    progressBar_->setRange(0, static_cast<int>(std::min<std::uint32_t>(maximum, INT32_MAX)));
    progressBar_->setTextVisible(false);
}

// Scans longer than 2 s say how far they are and about how long is left.
void TMain::setProgressText() {
    constexpr qint64 kQuietMs = 2000;
    if (!scanClock_.isValid() || progressMax_ == 0 || progress_ == 0) return;
    const qint64 elapsed = scanClock_.elapsed();
    if (elapsed < kQuietMs) return;
    const double done = std::min(1.0, double(progress_) / progressMax_);
    const double mb = 1.0 / (1024 * 1024);
    const auto left = static_cast<qint64>(elapsed * (1 - done) / done / 1000 + 0.5);
    progressBar_->setFormat(u("%1% · %2 / %3 MB · 剩余约 %4 秒")
                                .arg(static_cast<int>(done * 100))
                                .arg(double(progress_) * stepBytes_ * mb, 0, 'f', 1)
                                .arg(double(progressMax_) * stepBytes_ * mb, 0, 'f', 1)
                                .arg(left));
    progressBar_->setTextVisible(true);
}

void TMain::pageReached(std::uint32_t page) {
    progress_ = page;
    pumpEvents();
}

bool TMain::pumpDue() {
    if (!std::exchange(pumpNow_, false) && pumpClock_.elapsed() < kPumpIntervalMs) return false;
    pumpClock_.restart();
    return true;
}

void TMain::pumpEvents() {
    if (!pumpDue()) return;
    progressBar_->setValue(static_cast<int>(std::min<std::uint32_t>(progress_, INT32_MAX)));
    setProgressText();
    model_->flushQueuedRows();
    QCoreApplication::processEvents();
}

// What a scan of a run has to say goes into the log and the run's report: the run's end shows it
// once, naming the file, instead of a box for each thing the scan met.
void TMain::showMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    if (runActive_ && currentItem_ != SIZE_MAX) {
        log(text);
        report_.item(currentItem_).reason = text;
        return;
    }
    prompter_.message(text, caption, icon);
}

void TMain::showError(const std::string& text) {
    if (runActive_ && currentItem_ != SIZE_MAX) {
        showMessage(text, {}, MessageIcon::Error);
        return;
    }
    prompter_.message(text, settings_.title(), MessageIcon::Error);
}

}  // namespace pc
