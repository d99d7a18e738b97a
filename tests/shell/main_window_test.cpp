// The window, driven as a person would: the dialog, a run, the tree, the list, the commands.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <set>

#include "T_Main.h"
#include "T_Option.h"
#include "contacts_fixture.h"
#include "fake_adb.h"
#include "phone_acquisition.h"
#include "profile_file.h"
#include "scripted_prompter.h"
#include "sms_fixture.h"
#include "temp_dir.h"
#include "window_fixture.h"
#include "without_file_capabilities.h"

namespace pc {

namespace fx = fixtures;
using testing::ScriptedPrompter;

class MainWindowTest : public QObject {
    Q_OBJECT
    using Fixture = testing::WindowFixture;
    static std::string smsDb(const testing::TempDir& dir, int messages = 120) {
        return testing::WindowFixture::smsDb(dir, messages);
    }
    static std::string contactsDb(const testing::TempDir& dir) {
        return testing::WindowFixture::contactsDb(dir);
    }

  private slots:
    // Frame and status bar included, on whatever screen it is shown (also run on a 1920x1080
    // screen at 200%).
    void theWholeWindowIsOnTheScreen() {
        Fixture f;
        f.window->show();
        QTest::qWait(400);  // framed, and placed again if the frame put it off the screen
        const QRect free = QApplication::primaryScreen()->availableGeometry();
        QVERIFY2(free.contains(f.window->frameGeometry()),
                 qPrintable(QString("%1x%2 at %3,%4 on %5x%6")
                                .arg(f.window->frameGeometry().width())
                                .arg(f.window->frameGeometry().height())
                                .arg(f.window->x())
                                .arg(f.window->y())
                                .arg(free.width())
                                .arg(free.height())));
        auto* bar = f.window->findChild<QStatusBar*>("StatusBar1");
        QVERIFY(bar && bar->isVisible() && bar->height() > 0);
        QVERIFY(free.contains(QRect(bar->mapToGlobal(QPoint()), bar->size())));
    }

    void startsWithTheCaptionSettingsAndCommandStates() {
        Fixture f;
        QCOMPARE(f.window->windowTitle(), QString::fromUtf8("PhoneCarve 安卓手机数据恢复V4.0"));
        // Its size where the screen has room for it, on the screen whole where not.
        const QRect free = QApplication::primaryScreen()->availableGeometry();
        if (free.width() > 1000 && free.height() > 700) QCOMPARE(f.window->size(), QSize(966, 643));
        QVERIFY(f.window->y() >= free.top() && f.window->x() >= free.left());
        QVERIFY(f.child<QToolButton>("ToolButton3")->isEnabled());
        QVERIFY(!f.child<QToolButton>("ToolButton5")->isEnabled());
        QVERIFY(!f.child<QToolButton>("ToolButton4")->isEnabled());
        QCOMPARE(f.child<QToolButton>("ToolButton3")->text(),
                 QString::fromUtf8("     开始扫描     "));
        QCOMPARE(f.window->ScanHalted(), 1);
        const std::string ini = f.dir.file("config.ini");
        QCOMPARE(readProfileString(ini, "main", "ver", ""), std::string("4.0"));
        QVERIFY(!readProfileString(ini, "main", "date", "").empty());
        auto* log = f.child<QTreeWidget>("ListView2");
        QCOMPARE(log->topLevelItemCount(), 1);
        QCOMPARE(log->topLevelItem(0)->text(0), QString("System"));
        QCOMPARE(log->topLevelItem(0)->text(3), QString::fromUtf8("程序就绪..."));
        QCOMPARE(f.child<QLabel>("StatusPanel0")->text(), QString::fromUtf8("就绪"));

        // A title of blanks gives the product title; a title ending in V is followed by 4.0.
        writeProfileString(ini, "main", "title", "   ");
        f.make();
        QCOMPARE(f.window->windowTitle(), QString::fromUtf8("PhoneCarve 安卓手机数据恢复V4.0"));
        writeProfileString(ini, "main", "title", "MyV");
        f.make();
        QCOMPARE(f.window->windowTitle(), QString("MyV4.0"));
    }

    void firstActivationOpensTheDialogOverADisabledWindow() {
        Fixture f;
        f.window->show();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()) || f.window->scanDialog().isVisible());
        QTRY_VERIFY(f.window->scanDialog().isVisible());
        QVERIFY(!f.window->isEnabled());
        QVERIFY(f.window->scanDialog().isEnabled());
        QCOMPARE(f.window->scanDialog().windowTitle(), QString::fromUtf8("选项"));
        QCOMPARE(f.window->scanDialog().size(), QSize(481, 305));
        f.window->scanDialog().close();
        QVERIFY(f.window->isEnabled());
    }

    void pickingAFileTicksTheCategoriesOfItsTables() {
        Fixture f;
        const std::string sms = smsDb(f.dir);
        const std::string contacts = contactsDb(f.dir);
        const auto bytesBefore = testing::readBytes(sms);
        f.prompter.files = {contacts};
        f.window->scanDialog().BitBtn1Click();
        QVERIFY(f.box(1)->isChecked() && !f.box(2)->isChecked() && f.box(3)->isChecked());
        f.prompter.files = {sms};
        f.window->scanDialog().BitBtn1Click();
        QVERIFY(!f.box(1)->isChecked() && f.box(2)->isChecked() && !f.box(3)->isChecked());
        QCOMPARE(f.child<QLineEdit>("Edit7")->text().toStdString(), sms);
        QVERIFY(testing::readBytes(sms) == bytesBefore);  // picking never writes

        testing::writeBytes(f.dir.file("notes.db"), std::vector<std::uint8_t>(4096, 'x'));
        f.prompter.files = {f.dir.file("notes.db")};
        f.window->scanDialog().BitBtn1Click();
        QCOMPARE(f.prompter.shown.back().text, std::string("无效的数据库，请重新选择！"));
        QCOMPARE(f.prompter.shown.back().caption, std::string("提示"));
        QVERIFY(f.child<QLineEdit>("Edit7")->text().isEmpty());
        QVERIFY(f.box(2)->isChecked());  // ticks unchanged
    }

    void refusesARunWithoutAFileOrACategory() {
        Fixture f;
        f.window->scanDialog().BitBtn2Click();
        QCOMPARE(f.prompter.shown.back().text, std::string("请先选择要扫描的文件，再进行扫描 !"));
        QCOMPARE(f.prompter.shown.back().caption, std::string("info"));
        f.child<QLineEdit>("Edit7")->setText(QString::fromStdString(smsDb(f.dir)));
        f.window->scanDialog().BitBtn2Click();
        QCOMPARE(f.prompter.shown.back().text, std::string("请选择要恢复的数据类型！"));
        QVERIFY(f.treeTexts().isEmpty());
    }

    void aRunScansContactsSmsAndCallsInThatOrder() {
        Fixture f;
        f.run(contactsDb(f.dir), std::array<bool, 3>{true, true, true});
        // The newest branch is on top: call log, SMS (which this file lacks), contacts.
        const QStringList tree = f.treeTexts();
        QCOMPARE(tree.size(), 10);
        QVERIFY(tree[9].startsWith(QString::fromUtf8("时间线(")));  // the calls in time order
        QVERIFY(tree[0].startsWith(QString::fromUtf8("通话记录(")));
        QCOMPARE(tree[3], QString::fromUtf8("短信"));
        QVERIFY(tree[6].startsWith(QString::fromUtf8("通讯录(")));
        // One box for the failure, naming the file; then what each scan gave.
        const std::vector<std::string> texts = f.prompter.texts();
        QCOMPARE(texts.size(), std::size_t{2});
        QCOMPARE(texts[0], "失败：" + contactsDb(f.dir) + "\n没有找短信记录，扫描结束！");
        QVERIFY(texts[1].starts_with("扫描完成（1 项失败）\n\n通讯录："));
        QVERIFY(texts[1].find("\n短信：失败，没有找短信记录，扫描结束！\n通话记录：") !=
                std::string::npos);
        QVERIFY(f.child<QToolButton>("ToolButton4")->isEnabled());
        QVERIFY(f.window->isEnabled());
        QVERIFY(!f.window->scanDialog().isVisible());
        // Right after the run the list shows the last category's rows under its columns.
        QCOMPARE(f.headings(),
                 QStringList({"电话", "姓名", "日期", "通话时长(秒)", "类型", "状态"}));
        QCOMPARE(f.child<QTableView>("ListView1")->model()->rowCount(),
                 f.window->store().count(CategoryCode::CallLog));
    }

    void treeClicksFillTheListWithTheNodesRows() {
        Fixture f;
        f.run(smsDb(f.dir));
        const std::int32_t all = f.window->store().count(CategoryCode::Sms);
        std::int32_t deleted = 0;
        for (const auto& r : f.window->store().SmsRecords())
            deleted += r.state == RecordState::Deleted;
        QCOMPARE(f.treeTexts(), QStringList({QString::fromUtf8("短信(%1)").arg(all),
                                             QString::fromUtf8("正常短信(%1)").arg(all - deleted),
                                             QString::fromUtf8("删除短信(%1)").arg(deleted),
                                             QString::fromUtf8("时间线(%1)").arg(all)}));
        auto* tree = f.child<QTreeWidget>("TreeView1");
        QTreeWidgetItem* root = tree->topLevelItem(0);
        f.window->TreeView1Click(root->child(1));
        QCOMPARE(f.headings(), QStringList({"电话", "联系人", "日期", "类型", "状态", "信息"}));
        QCOMPARE(f.column(4).size(), deleted);
        QVERIFY(f.column(4).count(QString::fromUtf8("删除")) == deleted);
        f.window->TreeView1Click(root);
        QCOMPARE(f.column(0).size(), all);
        f.window->TreeView1Click(root->child(0));
        QCOMPARE(f.column(4).count(QString::fromUtf8("正常")), all - deleted);
    }

    void headerClicksSortAscendingFirstThenTurnEachColumnRound() {
        Fixture f;
        f.run(smsDb(f.dir));
        f.window->TreeView1Click(f.child<QTreeWidget>("TreeView1")->topLevelItem(0));
        auto* header = f.child<QTableView>("ListView1")->horizontalHeader();
        auto sortedBy = [&](int column, bool ascending) {
            QStringList cells = f.column(column), expected = cells;
            std::sort(expected.begin(), expected.end());
            if (!ascending) std::reverse(expected.begin(), expected.end());
            return cells == expected && header->sortIndicatorSection() == column &&
                   header->sortIndicatorOrder() ==
                       (ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        };
        f.window->ListView1ColumnClick(2);  // 日期: ascending first
        QVERIFY(sortedBy(2, true));
        f.window->ListView1ColumnClick(2);  // the same column again: descending
        QVERIFY(sortedBy(2, false));
        f.window->ListView1ColumnClick(0);  // 电话: a new column starts ascending
        QVERIFY(sortedBy(0, true));
    }

    // A file that is not there: one box, in the window's words, naming it; the status bar shows
    // this run, not the one before.
    void aMissingFileGivesOneBoxNamingIt() {
        Fixture f;
        f.run(smsDb(f.dir));
        QVERIFY(f.child<QLabel>("StatusPanel2")->text().startsWith(QString::fromUtf8("短信 ")));
        const auto before = f.prompter.shown.size();
        const std::string gone = f.dir.file("gone/mmssms.db");
        f.window->ToolButton3Click();
        f.child<QLineEdit>("Edit7")->setText(QString::fromStdString(gone));
        f.box(2)->setChecked(true);
        f.window->scanDialog().BitBtn2Click();
        QCOMPARE(f.prompter.shown.size(), before + 1);
        QCOMPARE(f.prompter.shown.back().text,
                 "失败：" + gone + "\n无法打开文件: 文件或文件夹不存在");
        QCOMPARE(f.prompter.shown.back().icon, MessageIcon::Error);
        QCOMPARE(f.child<QLabel>("StatusPanel0")->text(), QString::fromUtf8("扫描失败"));
        QVERIFY(f.child<QLabel>("StatusPanel2")->text().isEmpty());
        QCOMPARE(f.window->store().count(CategoryCode::Sms), 0);  // the earlier run's rows went
        QVERIFY(!f.child<QToolButton>("ToolButton4")->isEnabled());
    }

    void stopEndsAScanAtTheNextPageWithTheIdleCommands() {
        Fixture f;
        const std::string big = smsDb(f.dir, 20000);
        f.prompter.answers = {Answer::Yes};
        // The stop command is pressed while the scan lets events run.
        QTimer::singleShot(0, f.window.get(), [&] { f.window->ToolButton5Click(); });
        f.run(big);
        QCOMPARE(f.prompter.shown.front().text, std::string("你确定要终止扫描?"));
        QCOMPARE(f.prompter.shown.front().buttons, Buttons::YesNo);
        QCOMPARE(f.child<QLabel>("StatusPanel0")->text(), QString::fromUtf8("已停止（部分结果）"));
        QVERIFY(f.prompter.texts().back().starts_with("已停止（部分结果）\n\n短信：已停止，找到 "));
        QVERIFY(f.child<QToolButton>("ToolButton3")->isEnabled());
        QVERIFY(!f.child<QToolButton>("ToolButton5")->isEnabled());
        const std::int32_t found = f.window->store().count(CategoryCode::Sms);
        QVERIFY(found < 20000);
        QCOMPARE(f.child<QToolButton>("ToolButton4")->isEnabled(), found > 0);
        QVERIFY(f.treeTexts()[0].startsWith(QString::fromUtf8("短信(%1)").arg(found)));
    }

    void recoverWritesTheFilesOfTheRunsQueue() {
        Fixture f;
        f.run(smsDb(f.dir));
        const std::string out = f.dir.file("out");
        std::filesystem::create_directory(out);
        f.prompter.folders = {out};
        f.window->ToolButton4Click();
        QVERIFY(std::filesystem::exists(out + "/短信.txt"));
        QVERIFY(!std::filesystem::exists(out + "/电话本.txt"));
        QCOMPARE(f.prompter.shown.back().text,
                 "恢复完成!\n\n" + out + "/短信.txt：" +
                     std::to_string(f.window->store().count(CategoryCode::Sms)) + " 条");
        QCOMPARE(f.prompter.shown.back().caption, std::string("Information"));
        const auto count = f.prompter.shown.size();
        f.prompter.folders = {std::nullopt};  // cancelled: nothing, not even a message
        f.window->ToolButton4Click();
        QCOMPARE(f.prompter.shown.size(), count);
    }

    void aTreeClickDuringAScanNeverMixesItsRowsWithTheScans() {
        Fixture f;
        const std::string big = smsDb(f.dir, 20000);
        std::int32_t atClick = -1;
        std::set<int> shownLater;
        auto* list = f.child<QTableView>("ListView1");
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (atClick >= 0) shownLater.insert(list->model()->rowCount());
        });
        watch.start(0);
        QTimer::singleShot(0, f.window.get(), [&] {
            atClick = f.window->store().count(CategoryCode::Sms);
            f.window->TreeView1Click(f.child<QTreeWidget>("TreeView1")->topLevelItem(0));
        });
        f.run(big);
        watch.stop();
        QVERIFY(atClick >= 0);
        QVERIFY(atClick < f.window->store().count(CategoryCode::Sms));
        // Rows the scan found after the click never joined the node's while it ran.
        QVERIFY(!shownLater.empty());
        QCOMPARE(*shownLater.begin(), atClick);
        // At the run's end the list shows the current node of this run, whole.
        auto* tree = f.child<QTreeWidget>("TreeView1");
        QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
        QCOMPARE(list->model()->rowCount(), f.window->store().count(CategoryCode::Sms));
    }

    void keepsItsHiddenCommandsShortcutsAndContextMenu() {
        Fixture f;
        const std::pair<const char*, QKeySequence> shortcuts[] = {
            {"N21", QKeySequence("Alt+S")},
            {"N2", QKeySequence("Alt+T")},
            {"N16", QKeySequence("Alt+R")},
            {"N4", QKeySequence("Alt+E")},
            {"N25", QKeySequence(Qt::Key_F3)}};
        for (const auto& [name, key] : shortcuts)
            QCOMPARE(f.child<QAction>(name)->shortcut(), key);
        for (const char* name : {"Scan11", "scan21", "Scan31"})
            QVERIFY(f.child<QAction>(name));
        QStringList items;
        for (QAction* a : f.child<QMenu>("PopupMenu1")->actions())
            items << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(items, QStringList({"Recover Checked", "恢复选中", "-", "复制", "复制号码",
                                     "复制内容", "-", "Select All", "Check All", "Uncheck All",
                                     "Check Selected", "Uncheck Selected"}));
        // The tick commands act on the listed rows, which nothing else reads.
        f.run(smsDb(f.dir));
        auto* list = f.child<QTableView>("ListView1");
        list->selectionModel()->select(list->model()->index(1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f.child<QAction>("N9")->trigger();  // Check Selected
        QVERIFY(!f.window->reportList().ticked(0) && f.window->reportList().ticked(1));
        f.child<QAction>("N8")->trigger();  // Check All
        QVERIFY(f.window->reportList().ticked(0));
        f.child<QAction>("N28")->trigger();  // Uncheck Selected
        QVERIFY(f.window->reportList().ticked(0) && !f.window->reportList().ticked(1));
        f.child<QAction>("N10")->trigger();  // Uncheck All
        QVERIFY(!f.window->reportList().ticked(0));
        f.child<QAction>("SelectAll1")->trigger();
        QCOMPARE(list->selectionModel()->selectedRows().size(), list->model()->rowCount());

        f.child<QToolButton>("ToolButton8")->click();
        QCOMPARE(f.opened.size(), std::size_t{1});
        QVERIFY(f.opened[0].toLocalFile().endsWith("help.html"));
        // Nothing to open it with: where the file is, said.
        f.openWorks = false;
        f.child<QToolButton>("ToolButton8")->click();
        QVERIFY(f.prompter.shown.back().text.starts_with(
            "无法打开帮助：没有可用的浏览器。\n帮助文件在："));
        QVERIFY(f.prompter.shown.back().text.ends_with("help.html"));
    }

    void reportsAConfigFileThatCannotBeWrittenAndStillStarts() {
        Fixture f;
        std::filesystem::remove(f.dir.file("config.ini"));
        std::filesystem::create_directory(f.dir.file("config.ini"));  // cannot be written as a file
        f.make();
        auto* log = f.child<QTreeWidget>("ListView2");
        QCOMPARE(log->topLevelItemCount(), 2);
        QVERIFY(log->topLevelItem(1)->text(3).contains("config.ini"));
        QCOMPARE(f.window->ScanHalted(), 1);
    }

    void phoneModeCopiesScansAndRemovesTheDatabases() {
        Fixture f;
        const std::string phone = f.dir.file("phone");
        std::filesystem::create_directory(phone);
        std::filesystem::copy_file(smsDb(f.dir), phone + "/mmssms.db");
        std::filesystem::copy_file(contactsDb(f.dir), phone + "/contacts2.db");
        testing::FakeAdb adb(phone);
        f.child<QRadioButton>("RadioButton4")->click();
        QVERIFY(f.box(4)->isChecked() && f.box(5)->isChecked() && f.box(6)->isChecked());
        QVERIFY(!f.box(1)->isEnabled() && !f.child<QLineEdit>("Edit7")->isEnabled());
        // Started from another folder: nothing is made there.
        const std::string elsewhere = f.dir.file("elsewhere");
        std::filesystem::create_directory(elsewhere);
        const auto started = std::filesystem::current_path();
        std::filesystem::current_path(elsewhere);
        f.window->scanDialog().BitBtn2Click();
        std::filesystem::current_path(started);
        QVERIFY(std::filesystem::is_empty(elsewhere));
        QVERIFY(f.prompter.texts().back().starts_with("扫描完成！\n"));
        QCOMPARE(f.treeTexts().size(), 10);
        QVERIFY(std::filesystem::is_directory(f.window->AppDir() + "Temp"));
        QVERIFY(!std::filesystem::exists(f.window->AppDir() + "Temp/contacts2.db"));
        QVERIFY(!std::filesystem::exists(f.window->AppDir() + "Temp/mmssms.db"));
    }

    void phoneModeWithoutAdbSaysSo() {
        Fixture f;
        const char* path = std::getenv("PATH");
        const std::string kept = path ? path : "";
        ::setenv("PATH", f.dir.file("no-programs").c_str(), 1);
        f.window->ToolButton3Click();
        f.child<QRadioButton>("RadioButton4")->click();
        f.window->scanDialog().BitBtn2Click();
        ::setenv("PATH", kept.c_str(), 1);
        QCOMPARE(f.prompter.shown.back().text, std::string(kAdbMissing));
        QVERIFY(f.prompter.shown.back().text.starts_with("找不到 adb 程序"));
        QVERIFY(f.window->scanDialog().isVisible());
        QVERIFY(!std::filesystem::exists(f.window->AppDir() + "zk.tmp"));
    }

    void phoneModeWithoutAPhoneKeepsTheDialogOpen() {
        Fixture f;
        testing::FakeAdb adb(f.dir.file("nothing"), "fail");
        f.window->ToolButton3Click();
        f.child<QRadioButton>("RadioButton4")->click();
        f.window->scanDialog().BitBtn2Click();
        QCOMPARE(f.prompter.shown.back().text,
                 std::string("程序无法访问手机，请确认手机是否Root，并且要打开\"USB调试\""));
        QCOMPARE(f.prompter.shown.back().caption, std::string("提示"));
        QCOMPARE(f.prompter.shown.back().icon, MessageIcon::None);
        QVERIFY(f.window->scanDialog().isVisible());
        QVERIFY(!f.window->isEnabled());
    }

    void aHangingAdbIsEndedAfterTheLimitWithTheWindowPainted() {
        Fixture f;
        writeProfileString(f.dir.file("config.ini"), "main", "adbtimeout", "1");
        f.make();
        testing::FakeAdb adb(f.dir.file("nothing"), "hang");
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);
        f.child<QRadioButton>("RadioButton4")->click();
        QElapsedTimer clock;
        clock.start();
        f.window->scanDialog().BitBtn2Click();
        // The shell command ended after a second: nothing is pulled, the message follows.
        QVERIFY(clock.elapsed() < 4000);
        QVERIFY(ticks > 10);
        QCOMPARE(f.prompter.shown.back().text,
                 std::string("程序无法访问手机，请确认手机是否Root，并且要打开\"USB调试\""));
    }

    void recoverShowsTheErrorAndNoCompletionWhenAFileCannotBeWritten() {
        Fixture f;
        f.run(smsDb(f.dir));
        const std::string out = f.dir.file("out");
        std::filesystem::create_directories(out + "/短信.txt");  // a folder where the file goes
        f.prompter.folders = {out};
        f.window->ToolButton4Click();
        QCOMPARE(f.prompter.shown.back().text,
                 "恢复失败：无法写入 " + out + "/短信.txt\n这是一个文件夹, 不是文件");
        QCOMPARE(f.prompter.shown.back().icon, MessageIcon::Error);
        for (const auto& s : f.prompter.shown)
            QVERIFY(!s.text.starts_with("恢复完成!"));
    }

    // Picking, scanning each category and copying from a phone: none of them writes to a
    // source, even one whose write-ahead log still holds changes, nor creates anything beside it.
    void everyOperationLeavesAReadOnlySourceAsItWas() {
        Fixture f;
        const std::string source = f.dir.file("source");
        std::filesystem::create_directory(source);
        fixtures::SmsDbOptions o;
        o.messages = 50;
        o.shape.wal = true;
        o.shape.keepWalFrames = true;
        fixtures::buildSmsDatabase(source + "/mmssms.db", o);
        std::filesystem::copy_file(contactsDb(f.dir), source + "/contacts2.db");
        auto contents = [&] {
            std::map<std::string, std::vector<std::uint8_t>> files;
            for (const auto& e : std::filesystem::directory_iterator(source))
                files[e.path().filename().string()] = testing::readBytes(e.path().string());
            return files;
        };
        for (const auto& e : std::filesystem::directory_iterator(source))
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_read);
        std::filesystem::permissions(
            source, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        const auto before = contents();
        {
            testing::WithoutFileCapabilities asAnyUser;
            for (const char* name : {"mmssms.db", "contacts2.db"})
                f.run(source + "/" + name, std::array<bool, 3>{true, true, true});
            testing::FakeAdb adb(source);
            f.child<QRadioButton>("RadioButton4")->click();
            f.window->scanDialog().BitBtn2Click();
            QVERIFY(f.prompter.texts().back().starts_with("扫描完成！\n"));
        }
        QVERIFY(contents() == before);
        std::filesystem::permissions(source, std::filesystem::perms::owner_all);
    }

    void theLogAreaClosesForGood() {
        Fixture f;
        f.window->show();
        QWidget* area = f.child<QTreeWidget>("ListView2")->parentWidget();
        QVERIFY(area->isVisible());
        f.child<QToolButton>("SpeedButton1")->click();
        QVERIFY(!area->isVisible());
        f.window->log("still logged");
        QCOMPARE(f.child<QTreeWidget>("ListView2")->topLevelItemCount(), 2);
    }
};

}  // namespace pc

QTEST_MAIN(pc::MainWindowTest)
#include "main_window_test.moc"
