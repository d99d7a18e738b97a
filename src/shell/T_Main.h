// The main window: toolbar, category tree, report list, log list, status bar with progress. It
// owns the result store and the run globals, shows what the scanners report, and keeps the scan
// state that the start, stop and recover commands follow.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <QUrl>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "category_tree.h"
#include "contact_names.h"
#include "conversation_list_model.h"
#include "program_version.h"
#include "prompter.h"
#include "recover_flow.h"
#include "recovered_tables_model.h"
#include "report_list_model.h"
#include "result_store.h"
#include "run_plan.h"
#include "run_report.h"
#include "scan_host.h"
#include "scan_run_target.h"
#include "text_export.h"
#include "timeline_model.h"
#include "update_check.h"
#include "vendor_server.h"
#include "window_settings.h"
#include "window_words.h"

class QAction;
class QLabel;
class QStackedWidget;
class QTextBrowser;
class QMenu;
class QProgressBar;
class QTableView;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pc {

class ConversationsView;
class ListWork;
class DetailPane;
class SearchBar;
struct CategoryProfile;

class TForm2;
class TForm8;

struct MainWindowOptions {
    std::string appDir;  // where config.ini lives, with a trailing separator
    // The system's handler for web pages and files; false when none could open it.
    std::function<bool(const QUrl&)> openUrl;
    // Starts a program without waiting for it (the updater); false when it could not start.
    std::function<bool(const std::string& program)> startDetached;
    // Ends the program: every window closes.
    std::function<void()> terminate;
    std::chrono::milliseconds httpTimeout{std::chrono::seconds(10)};
    // Sorting, searching or grouping fewer rows than this is done at once on the window's thread.
    std::size_t inlineListRows = 50000;
};

inline constexpr const char* kProductTitle = "PhoneCarve 安卓手机数据恢复V";

class TMain : public QMainWindow, public ScanHost, public ScanRunTarget {
    Q_OBJECT
  public:
    TMain(MainWindowOptions options, Prompter& prompter, QWidget* parent = nullptr);
    ~TMain() override;

    // Commands.
    void ToolButton3Click();   // start: shows the scan-source dialog
    void ToolButton5Click();   // stop
    void ToolButton4Click();   // recover: export the last run's categories
    void ToolButton8Click();   // help
    void ToolButton9Click();   // about
    void SpeedButton1Click();  // closes the log area
    void TreeView1Click(QTreeWidgetItem* item);
    void ListView1ColumnClick(int column);
    void copyRows();       // Ctrl+C: the selected rows as TAB text
    void copyNumber();     // the current row's number
    void copyText();       // the current row's message text (a name for the others)
    void recoverChosen();  // "恢复选中": the ticked rows, else the selected ones
    void showConversations(bool on);

    TForm2& scanDialog() { return *form2_; }
    const ResultStore& store() const { return store_; }
    ReportListModel& reportList() { return *model_; }
    // Sorts, searches and groupings asked for are done and shown.
    void finishListWork();
    bool listWorkBusy() const;
    std::uint8_t ScanHalted() const { return state_.ScanHalted; }
    const std::string& AppDir() const { return appDir_; }

    // ScanHost
    void clearRows() override;
    void addCategoryBranch(CategoryCode code) override;
    void setBranchCounts(std::int32_t found, std::int32_t deleted) override;
    void rowAdded(CategoryCode code, std::uint32_t index) override;
    void setStatus(int panel, const std::string& text) override;
    void log(const std::string& message) override;
    void setCommandState(CommandState state) override;
    void setProgressRange(std::uint32_t maximum, std::uint32_t stepBytes) override;
    void pageReached(std::uint32_t page) override;
    void pumpEvents() override;
    void showMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    void showError(const std::string& text) override;
    void addTablesBranch(const RecoveredRowStore& store) override;

    // ScanRunTarget
    const RunPlan& runPlan() const override { return plan_; }
    Prompter& prompter() override { return prompter_; }
    void clearTree() override { tree_->clearTree(); }
    void runScans(RunPlan plan) override;
    // A run of the carve of every table of `path` alone.
    void carveTables(const std::string& path);
    // Whether the run found rows: what the recover command would write.
    bool runHasRows() const;
    void setRecoverEnabled(bool enabled);
    const RunReport& lastRun() const { return report_; }
    void setMainWindowEnabled(bool enabled) override { setEnabled(enabled); }
    void openHelp() override;
    const std::string& appDir() const override { return appDir_; }
    int runHiddenCommand(const std::string& commandLine) override;

    // True when the update check started the updater: the program ends.
    bool endRequested() const { return endRequested_; }
    // True while the day's update check waits for the server's answer.
    bool updateCheckPending() const { return updatePending_; }
    const std::string& installationId() const { return settings_.installationId(); }

    // ScanRunTarget, the window's settings
    std::string lastFolder() const override { return settings_.lastFolder(); }
    void rememberFolder(const std::string& folder) override;

  protected:
    void changeEvent(QEvent* event) override;  // FormActivate
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;  // FormClose

  private:
    void copyCell(int CategoryProfile::*cell);  // a cell of the current row, to the clipboard
    void showTableRows(std::size_t table, RowFilter filter);
    void showTimeline();
    void showTimelineDetails();
    void FormCreate();
    void placeOnScreen();
    bool placedFramed_ = false;
    void buildToolbar();
    void buildActions();
    void buildCentre();
    void buildStatusBar();
    void buildListMenu();
    void showDetails();
    void showThread();
    void applyColumnWidths(CategoryCode code);
    void setProgressText();
    // The list shown (a category's or a carved table's) and its selected rows.
    QTableView* shownList() const;
    std::vector<int> selectedListRows() const;
    bool anyTicks() const;
    // The categories of the run, each once, in its order.
    std::vector<CategoryCode> runCategories() const;
    bool readSettings();  // false when config.ini could not be written
    // One category's scan of the plan (the hidden menu items Scan11, scan21, Scan31).
    void scanCategory(CategoryCode code);
    // A run: its start lets the earlier run's rows go; its end says how it went.
    void beginRun(RunPlan plan);
    void scanQueued(std::size_t at);
    void carveRun(const std::string& path);
    void endRun();
    // The run's item `at` cannot start: its file cannot be read. True when it can.
    bool fileReadable(std::size_t at);
    void setColumns(CategoryCode code);
    // Around a scan: events run at its first chance; then its last rows and progress shown.
    void beginScanView();
    void endScanView();
    // True at most every 20 ms: events then run during long work on the window's thread.
    bool pumpDue();
    void logRow(const QString& date, const QString& time, const std::string& message);
    const ContactNames* names() const { return names_ ? &*names_ : nullptr; }
    void showListBusy(bool busy);
    void listBusyLong();
    QAction* action(const char* name, const char* text, const QKeySequence& key,
                    void (TMain::*slot)());

    MainWindowOptions options_;
    Prompter& prompter_;
    std::string appDir_;
    WindowSettings settings_;
    bool endRequested_ = false;
    bool updatePending_ = false;
    std::unique_ptr<VendorServer> server_;
    std::optional<UpdateContext> updateContext_;  // while the day's update check may answer
    TForm8* form8_ = nullptr;
    bool firstActivation_ = true;
    bool sortAscending_ = true;
    int sortColumn_ = -1;

    ResultStore store_;
    RunPlan plan_;  // the last run's
    ScanState state_;
    WindowWords words_{*this};  // a scan's events as this window shows them
    RecoveredRowStore tables_;  // the rows of the last carve of every table
    CarveWords carveWords_{*this, tables_};
    QElapsedTimer pumpClock_;
    bool pumpNow_ = false;  // the next pumpDue() is true whatever the clock says
    std::uint32_t progress_ = 0;
    QElapsedTimer scanClock_;  // since the current scan's pages began
    std::uint32_t progressMax_ = 0;
    std::uint32_t stepBytes_ = 0;
    std::optional<ContactNames> names_;  // the run's contacts, once no scan is running
    RecoverFlow recoverFlow_;
    bool applyingWidths_ = false;
    RunReport report_;  // the current or last run
    bool runActive_ = false;
    bool stopAsked_ = false;                // in this run
    std::size_t currentItem_ = SIZE_MAX;    // of report_, while it runs
    std::vector<std::string> branchFiles_;  // each queue entry's file as its branch names it
    std::string branchFile_;                // of the scan starting

    QToolButton* start_ = nullptr;
    QToolButton* stop_ = nullptr;
    QToolButton* recover_ = nullptr;
    QAction* startAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QAction* recoverAction_ = nullptr;
    QTreeWidget* treeView_ = nullptr;
    std::unique_ptr<CategoryTree> tree_;
    QTableView* listView_ = nullptr;
    ListWork* work_ = nullptr;  // the list's sorts, searches and groupings
    QTimer* busyDelay_ = nullptr;
    bool busyShown_ = false;
    QString statusBeforeBusy_;
    ReportListModel* model_ = nullptr;
    SearchBar* searchBar_ = nullptr;
    QStackedWidget* listStack_ = nullptr;
    QTableView* tablesView_ = nullptr;    // the rows of a table of the "其它表" branch
    QTableView* timelineView_ = nullptr;  // "时间线": the run's messages and calls in time order
    TimelineModel* timelineModel_ = nullptr;
    RecoveredTablesModel* tablesModel_ = nullptr;
    ConversationsView* conversationView_ = nullptr;
    DetailPane* detail_ = nullptr;
    QTreeWidget* logView_ = nullptr;
    QWidget* logArea_ = nullptr;
    QLabel* panels_[3] = {};
    QProgressBar* progressBar_ = nullptr;
    QMenu* popup_ = nullptr;
    TForm2* form2_ = nullptr;
};

}  // namespace pc
