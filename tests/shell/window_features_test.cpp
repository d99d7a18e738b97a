// What people look for in the window once a scan is done: finding rows, reading one whole, the
// conversations, copying, recovering some rows or in another format, several files or a folder at
// once, progress, and a window that remembers how it was left.
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "altered_files.h"
#include "contact_names.h"
#include "date_field.h"
#include "file_digest.h"
#include "message_stores.h"
#include "profile_file.h"
#include "sqlite_db.h"
#include "text_codec.h"
#include "text_export.h"
#include "window_fixture.h"
#include "without_file_capabilities.h"

namespace pc {

using Fixture = testing::WindowFixture;
namespace fs = std::filesystem;

namespace {

constexpr const char* kBody = "第一行\n第二行 😊 Tea & <b>";
// 2021-03-04 10:00:00 at UTC+8.
constexpr std::int64_t kDateMs = 1614823200000;

struct Linked {
    std::string sms, contacts, name, number;
};

// A contacts2.db and an mmssms.db whose first message was with the first contact, and has a body
// of two lines with an emoji.
Linked linkedDatabases(const std::string& folder) {
    fs::create_directories(folder);
    Linked l{folder + "/mmssms.db", folder + "/contacts2.db", {}, {}};
    fixtures::ContactsDbOptions c;
    c.contacts = 30;
    const fixtures::ContactsFixture contacts = fixtures::buildContactsDatabase(l.contacts, c);
    // A contact whose number no other live contact has: the name is then the one shown.
    auto holders = [&](const std::string& number) {
        return std::count_if(contacts.live.begin(), contacts.live.end(), [&](const auto& k) {
            return std::any_of(k.phones.begin(), k.phones.end(), [&](const std::string& p) {
                return phoneKey(p) == phoneKey(number);
            });
        });
    };
    for (const fixtures::Contact& k : contacts.live)
        if (!k.name.empty() && !k.phones.empty() && holders(k.phones.front()) == 1) {
            l.name = k.name;
            l.number = k.phones.front();
            break;
        }
    fixtures::CallsDbOptions calls;
    calls.currentLayout = false;
    calls.calls = 20;
    fixtures::buildCallsDatabase(l.contacts, calls, true);
    fixtures::SmsDbOptions o;
    o.messages = 80;
    o.seed = 5;
    fixtures::buildSmsDatabase(l.sms, o);
    fixtures::SqliteDb db(l.sms);
    const auto first = db.query("SELECT min(_id) FROM sms");
    db.query("UPDATE sms SET body = ?, address = ?, date = ? WHERE _id = ?",
             {std::string(kBody), l.number, kDateMs, first.at(0).at(0)});
    return l;
}

}  // namespace

class WindowFeaturesTest : public QObject {
    Q_OBJECT

  private slots:
    void searchFiltersTheListAndCountsTheMatches() {
        Fixture f;
        const Linked l = linkedDatabases(f.dir.file("db"));
        runBoth(f, l);
        showSms(f);
        auto* search = f.child<QLineEdit>("SearchEdit");
        auto* count = f.child<QLabel>("MatchCount");
        const int all = listRows(f);
        QCOMPARE(count->text(), QString::fromUtf8("共 %1 条").arg(all));

        search->setText(QString::fromUtf8("第二行"));
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(f.column(5), QStringList{QString::fromUtf8(kBody)});
        QCOMPARE(count->text(), QString::fromUtf8("找到 1 / %1 条").arg(all));

        // The contact's name is not in the message, yet it finds it.
        search->setText(QString::fromStdString(l.name));
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(f.column(5).contains(QString::fromUtf8(kBody)));

        search->setText("no such text at all");
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(listRows(f), 0);
        QCOMPARE(count->text(), QString::fromUtf8("找到 0 / %1 条").arg(all));
        search->clear();
        QTest::keyClick(search, Qt::Key_Return);

        f.child<QComboBox>("StateBox")->setCurrentIndex(2);  // 删除
        const QStringList states = f.column(4);
        QVERIFY(!states.isEmpty() && states.size() < all);
        QCOMPARE(states.count(QString::fromUtf8("删除")), states.size());
        QCOMPARE(listRows(f),
                 static_cast<int>(std::count_if(
                     f.window->store().SmsRecords().begin(), f.window->store().SmsRecords().end(),
                     [](const PSMSvalue& m) { return m.state == RecordState::Deleted; })));
        f.child<QComboBox>("StateBox")->setCurrentIndex(0);

        // Dates typed as people type them, the range narrowing at Enter.
        auto* from = f.child<DateField>("DateFrom");
        auto* to = f.child<DateField>("DateTo");
        for (const auto& [field, typed] : {std::pair{from, "2021/3/4"}, {to, "2021年3月4日"}}) {
            field->edit()->setText(QString::fromUtf8(typed));  // keyClicks takes ASCII only
            QTest::keyClick(field->edit(), Qt::Key_Return);
        }
        QCOMPARE(from->date(), QDate(2021, 3, 4));
        QCOMPARE(to->date(), QDate(2021, 3, 4));
        QVERIFY(f.column(5).contains(QString::fromUtf8(kBody)));
        for (const QString& date : f.column(2))
            QVERIFY2(date.startsWith("2021-03-04"), qPrintable(date));
        // Not a date: the range stays as it was.
        const int narrowed = listRows(f);
        to->edit()->setText("2021-13-40");
        QTest::keyClick(to->edit(), Qt::Key_Return);
        QCOMPARE(to->date(), QDate(2021, 3, 4));
        QCOMPARE(listRows(f), narrowed);
        // One click on each clear button: 不限.
        for (DateField* field : {from, to}) {
            auto* clear = field->edit()->findChild<QToolButton*>();
            QVERIFY(clear);
            QTest::mouseClick(clear, Qt::LeftButton);
            QVERIFY(!field->date().isValid());
        }
        QCOMPARE(listRows(f), all);
    }

    // The calendars open where the messages and calls lie, not at 1970; a day picked there is
    // the bound.
    void theCalendarsOpenAtTheDataAndPickADay() {
        Fixture f;
        const Linked l = linkedDatabases(f.dir.file("db"));
        runBoth(f, l);
        showSms(f);
        QStringList days;  // of the messages and the calls
        for (const PSMSvalue& m : f.window->store().SmsRecords())
            days
                << QString::fromUtf8(m.date.data(), static_cast<qsizetype>(m.date.size())).left(10);
        for (const PCallValue& c : f.window->store().CallLogRecords())
            days
                << QString::fromUtf8(c.date.data(), static_cast<qsizetype>(c.date.size())).left(10);
        days.removeIf([](const QString& day) { return day < "2000"; });
        days.sort();
        auto* from = f.child<DateField>("DateFrom");
        auto* to = f.child<DateField>("DateTo");
        from->openCalendar();
        QCOMPARE(from->calendar()->selectedDate().toString("yyyy-MM-dd"), days.first());
        QCOMPARE(from->calendar()->yearShown(), days.first().left(4).toInt());
        QTest::keyClick(from->calendar()->findChild<QTableView*>("qt_calendar_calendarview"),
                        Qt::Key_Return);
        QCOMPARE(from->date().toString("yyyy-MM-dd"), days.first());
        QCOMPARE(from->edit()->text(), days.first());
        to->openCalendar();
        QCOMPARE(to->calendar()->selectedDate().toString("yyyy-MM-dd"), days.last());
        to->calendar()->hide();
        QCOMPARE(listRows(f), static_cast<int>(f.column(2).size()));
    }

    // The work a million rows make is done off the window's thread: what it made is shown when
    // ready, never over a node shown since, and a new run waits for it rather than pull the rows
    // from under it.
    void sortsSearchesAndGroupingRunOffTheWindowsThread() {
        Fixture f;
        f.inlineListRows = 0;
        f.make();
        const Linked l = linkedDatabases(f.dir.file("db"));
        runBoth(f, l);
        showSms(f);
        auto* count = f.child<QLabel>("MatchCount");
        const int all = listRows(f);

        f.window->ListView1ColumnClick(2);  // 日期
        auto sortedByDate = [&] {
            const QStringList dates = f.column(2);
            return std::is_sorted(dates.begin(), dates.end()) && dates.first() != dates.last();
        };
        QTRY_VERIFY(sortedByDate());
        auto* search = f.child<QLineEdit>("SearchEdit");
        search->setText(QString::fromUtf8("第二行"));
        QTest::keyClick(search, Qt::Key_Return);
        QTRY_COMPARE(count->text(), QString::fromUtf8("找到 1 / %1 条").arg(all));
        QCOMPARE(f.column(5), QStringList{QString::fromUtf8(kBody)});
        search->clear();
        QTest::keyClick(search, Qt::Key_Return);
        QTRY_COMPARE(listRows(f), all);

        // A sort asked for on one node, another node shown before it is done.
        f.window->ListView1ColumnClick(5);
        auto* tree = f.child<QTreeWidget>("TreeView1");
        QTreeWidgetItem* deleted = nullptr;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (CategoryTree::tagOf(tree->topLevelItem(i))->code == CategoryCode::Sms)
                deleted = tree->topLevelItem(i)->child(1);
        QVERIFY(deleted);
        tree->setCurrentItem(deleted);
        f.window->finishListWork();
        QApplication::processEvents();
        const std::vector<std::uint32_t> found =
            f.window->store().rowsMatching({CategoryCode::Sms, RowFilter::Deleted});
        QCOMPARE(listRows(f), static_cast<int>(found.size()));
        for (int r = 0; r < listRows(f); ++r)
            QCOMPARE(f.window->reportList().storeIndex(r), found[static_cast<std::size_t>(r)]);

        auto* button = f.child<QToolButton>("ConversationButton");
        button->click();
        QTRY_VERIFY(count->text().endsWith(QString::fromUtf8("个会话")));
        QVERIFY(f.child<QTextBrowser>("DetailPane")
                    ->toPlainText()
                    .contains(QRegularExpression("\\d{4}-\\d{2}-\\d{2}")));

        // A new run while a sort is under way.
        showSms(f);
        f.window->ListView1ColumnClick(5);
        runBoth(f, l);
        showSms(f);
        QTRY_COMPARE(listRows(f), all);
        QCOMPARE(f.window->lastRun().endWord(), std::string("扫描完成"));
    }

    // "联系人" beside the number: the name the run's contacts give it; sorted by it, descending
    // puts the named messages first.
    void theMessagesListNamesTheirContacts() {
        Fixture f;
        const Linked l = linkedDatabases(f.dir.file("db"));
        runBoth(f, l);
        showSms(f);
        QCOMPARE(f.headings(), QStringList({QString::fromUtf8("电话"), QString::fromUtf8("联系人"),
                                            QString::fromUtf8("日期"), QString::fromUtf8("类型"),
                                            QString::fromUtf8("状态"), QString::fromUtf8("信息")}));
        const int row = static_cast<int>(f.column(5).indexOf(QString::fromUtf8(kBody)));
        QVERIFY(row >= 0);
        QCOMPARE(f.column(1)[row], QString::fromStdString(l.name));
        const ContactNames names(f.window->store());
        for (int r = 0; r < listRows(f); ++r)
            QCOMPARE(f.column(1)[r].toStdString(),
                     std::string(names.nameOf(f.column(0)[r].toStdString())));
        f.window->ListView1ColumnClick(1);
        f.window->ListView1ColumnClick(1);
        const QStringList named = f.column(1);
        QVERIFY(!named.first().isEmpty() && named.last().isEmpty());
        QVERIFY(std::is_sorted(named.begin(), named.end(), [](const QString& a, const QString& b) {
            return utf8ToGb18030(a.toStdString()) > utf8ToGb18030(b.toStdString());
        }));
    }

    void theDetailPaneShowsTheWholeRowAndWhereItWasFound() {
        Fixture f;
        const Linked l = linkedDatabases(f.dir.file("db"));
        runBoth(f, l);
        showSms(f);
        auto* list = f.child<QTableView>("ListView1");
        const int row = static_cast<int>(f.column(5).indexOf(QString::fromUtf8(kBody)));
        QVERIFY(row >= 0);
        list->setCurrentIndex(list->model()->index(row, 0));
        const QString text = f.child<QTextBrowser>("DetailPane")->toPlainText();
        QVERIFY2(text.contains(QString::fromUtf8(kBody)), qPrintable(text));
        QVERIFY(text.contains(QString::fromUtf8("电话: ") + QString::fromStdString(l.number)));
        QVERIFY(text.contains(QString::fromUtf8("联系人: ") + QString::fromStdString(l.name)));
        QVERIFY(text.contains(QString::fromStdString(l.sms)));
        QVERIFY(text.contains(QRegularExpression(QString::fromUtf8("偏移 [1-9][0-9]*"))));
    }

    void conversationsGroupByNumberNewestFirstWithDeletedMarked() {
        Fixture f;
        const Linked l = linkedDatabases(f.dir.file("db"));
        runBoth(f, l);
        auto* button = f.child<QToolButton>("ConversationButton");
        QVERIFY(button->isEnabled());
        button->click();
        auto* view = f.child<QTableView>("ConversationView");
        QVERIFY(view->isVisibleTo(f.window.get()));
        QAbstractItemModel* m = view->model();
        QSet<QString> numbers;
        int messages = 0, deleted = 0, withDeleted = -1;
        QString previous = "9999";
        for (int r = 0; r < m->rowCount(); ++r) {
            numbers << m->index(r, 0).data().toString();
            QVERIFY(m->index(r, 2).data().toString() <= previous);  // newest first
            previous = m->index(r, 2).data().toString();
            messages += m->index(r, 3).data().toInt();
            deleted += m->index(r, 4).data().toInt();
            if (withDeleted < 0 && m->index(r, 4).data().toInt() > 0) withDeleted = r;
            if (m->index(r, 0).data().toString() == QString::fromStdString(l.number))
                QCOMPARE(m->index(r, 1).data().toString(), QString::fromStdString(l.name));
        }
        QCOMPARE(numbers.size(), m->rowCount());
        QCOMPARE(messages, f.window->store().count(CategoryCode::Sms));
        QVERIFY(deleted > 0 && withDeleted >= 0);

        view->setCurrentIndex(m->index(withDeleted, 0));
        const QString thread = f.child<QTextBrowser>("DetailPane")->toPlainText();
        QVERIFY(thread.contains(QString::fromUtf8("[已删除]")));
        const QRegularExpression stamp("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}");
        QStringList dates;
        for (auto it = stamp.globalMatch(thread); it.hasNext();)
            dates << it.next().captured();
        QCOMPARE(dates.size(), m->index(withDeleted, 3).data().toInt());
        QStringList sorted = dates;
        sorted.sort();
        QCOMPARE(dates, sorted);  // in time order

        // A tree node shows its rows again.
        f.window->TreeView1Click(f.child<QTreeWidget>("TreeView1")->topLevelItem(0));
        QVERIFY(!button->isChecked());
        QVERIFY(f.child<QTableView>("ListView1")->isVisibleTo(f.window.get()));
    }

    void copyCommandsAndRecoverChosenTakeOnlyThoseRows() {
        Fixture f;
        f.run(Fixture::smsDb(f.dir, 40));
        showSms(f);
        auto* list = f.child<QTableView>("ListView1");
        auto* selection = list->selectionModel();
        selection->select(list->model()->index(0, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->select(list->model()->index(2, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1].split('\t').value(0), f.column(0)[2]);

        selection->setCurrentIndex(list->model()->index(2, 0), QItemSelectionModel::NoUpdate);
        f.child<QAction>("CopyNumber")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), f.column(0)[2]);
        f.child<QAction>("CopyText")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), f.column(5)[2]);

        // A tick on row 1 wins over the selection.
        list->model()->setData(list->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
        const std::string out = f.dir.file("chosen");
        fs::create_directory(out);
        f.prompter.folders = {out};
        f.child<QAction>("RecoverChosen")->trigger();
        const std::uint32_t index = f.window->reportList().storeIndex(1);
        QCOMPARE(testing::readText(out + "/短信.txt"),
                 encodeText(exportLine(f.window->store(), CategoryCode::Sms, index),
                            TextEncoding::Gb18030));
        QCOMPARE(f.prompter.shown.back().text, "恢复完成!\n\n" + out + "/短信.txt：1 条");
    }

    // Fields with a TAB, a line break or quotes are quoted the way spreadsheets read TAB text,
    // and an HTML table goes beside the text.
    void copyQuotesFieldsAndGivesAnHtmlTable() {
        Fixture f;
        const std::string path = f.dir.file("notes.db");
        {
            fixtures::SqliteDb db(path);
            db.exec(
                "CREATE TABLE notes(title TEXT, n INT);"
                "INSERT INTO notes VALUES('two\nlines, a \"quote\"\tand a tab <b>', 7);");
        }
        f.window->carveTables(path);
        auto* tree = f.child<QTreeWidget>("TreeView1");
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        auto* view = f.child<QTableView>("TablesView");
        view->selectAll();
        f.child<QAction>("CopyRows")->trigger();
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        QCOMPARE(copied->text(),
                 QString::fromUtf8("\"two\nlines, a \"\"quote\"\"\tand a tab <b>\"\t7\t正常\n"));
        QVERIFY(copied->hasHtml());
        QVERIFY(copied->html().contains(
            QString::fromUtf8("<td>two<br>lines, a &quot;quote&quot;\tand a tab &lt;b&gt;</td>"
                              "<td>7</td><td>正常</td>")));
    }

    // Ticks in three categories and a carved table: each written, and the box lists every file
    // with its rows.
    void recoverChosenTakesTheTicksOfEveryCategoryAndTable() {
        Fixture f;
        const Linked l = linkedDatabases(f.dir.file("db"));
        f.prompter.files = {l.contacts};
        f.window->scanDialog().BitBtn1Click();
        f.child<QCheckBox>("CheckBoxOther")->setChecked(true);
        f.window->scanDialog().BitBtn2Click();
        auto* tree = f.child<QTreeWidget>("TreeView1");
        auto* list = f.child<QTableView>("ListView1");
        auto tick = [](QTableView* view, std::initializer_list<int> rows) {
            for (int r : rows)
                view->model()->setData(view->model()->index(r, 0), Qt::Checked, Qt::CheckStateRole);
        };
        const auto branch = [&](const char* text) {
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                if (tree->topLevelItem(i)->text(0).startsWith(QString::fromUtf8(text)))
                    return tree->topLevelItem(i);
            return static_cast<QTreeWidgetItem*>(nullptr);
        };
        tree->setCurrentItem(branch("通讯录("));
        tick(list, {0});
        tree->setCurrentItem(branch("通话记录("));
        tick(list, {1, 2});
        QTreeWidgetItem* tables = branch("其它表");
        for (int i = 0; i < tables->childCount(); ++i)
            if (tables->child(i)->text(0).startsWith("data("))
                tree->setCurrentItem(tables->child(i));
        const std::string table = tree->currentItem()->text(0).section('(', 0, 0).toStdString();
        tick(f.child<QTableView>("TablesView"), {0, 1, 2});
        const std::string out = f.dir.file("chosen");
        fs::create_directory(out);
        f.prompter.exports = {ExportChoice{OutputFormat::Csv, false}};
        f.prompter.folders = {out};
        f.child<QAction>("RecoverChosen")->trigger();
        const std::string done = f.prompter.shown.back().text;
        QVERIFY2(done.starts_with("恢复完成!\n"), done.c_str());
        for (const auto& [file, rows] :
             {std::pair{outputFileName(OutputFormat::Csv, CategoryCode::Contacts), 1},
              std::pair{outputFileName(OutputFormat::Csv, CategoryCode::CallLog), 2},
              std::pair{"其它表/" + table + ".csv", 3}}) {
            QVERIFY2(done.find("\n" + out + "/" + file + "：" + std::to_string(rows) + " 条") !=
                         std::string::npos,
                     done.c_str());
            // A header line, then the rows.
            QCOMPARE(
                QString::fromStdString(testing::readText(out + "/" + file)).count(QString("\r\n")) -
                    1,
                rows);
        }
        QVERIFY(!fs::exists(out + "/" + outputFileName(OutputFormat::Csv, CategoryCode::Sms)));
    }

    // A folder that takes no files: the box names the file and says why, in the window's words.
    void recoveryIntoAReadOnlyFolderSaysWhy() {
        Fixture f;
        f.run(Fixture::smsDb(f.dir, 40));
        const std::string out = f.dir.file("locked");
        fs::create_directory(out);
        fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
        f.prompter.folders = {out};
        {
            testing::WithoutFileCapabilities asAnyUser;
            f.window->ToolButton4Click();
        }
        QCOMPARE(f.prompter.shown.back().text, "恢复失败：无法写入 " + out + "/短信.txt\n没有权限");
        QCOMPARE(f.prompter.shown.back().icon, MessageIcon::Error);
        fs::permissions(out, fs::perms::owner_all);
    }

    void recoverWritesTheChosenFormatAsksBeforeOverwritingAndOpensTheFolder() {
        Fixture f;
        f.run(Fixture::smsDb(f.dir, 40));
        const std::string out = f.dir.file("out");
        fs::create_directory(out);
        f.prompter.exports = {ExportChoice{OutputFormat::Csv, true}};
        f.prompter.folders = {out};
        f.window->ToolButton4Click();
        const std::string csv = out + "/" + outputFileName(OutputFormat::Csv, CategoryCode::Sms);
        QVERIFY(testing::readText(csv).rfind(headerLine(OutputFormat::Csv, CategoryCode::Sms), 0) ==
                0);
        QCOMPARE(f.opened.back(), QUrl::fromLocalFile(QString::fromStdString(out)));
        // For spreadsheets: the byte order mark and the list's headings.
        const std::string excel = f.dir.file("excel");
        fs::create_directory(excel);
        f.prompter.exports = {ExportChoice{OutputFormat::SpreadsheetCsv, false}};
        f.prompter.folders = {excel};
        f.window->ToolButton4Click();
        QVERIFY(testing::readText(excel + "/短信.csv")
                    .starts_with("\xEF\xBB\xBF电话,日期,类型,状态,信息,来源,偏移\r\n"));

        // One Excel workbook.
        const std::string book = f.dir.file("book");
        fs::create_directory(book);
        f.prompter.exports = {ExportChoice{OutputFormat::Tsv, false, true}};
        f.prompter.folders = {book};
        f.window->ToolButton4Click();
        QVERIFY(fs::file_size(book + "/PhoneCarve.xlsx") > 0);
        QVERIFY(f.prompter.shown.back().text.starts_with("恢复完成!"));
        QVERIFY(f.prompter.shown.back().text.find(book + "/PhoneCarve.xlsx") != std::string::npos);

        // The report of the run, opened in the browser, with the file's SHA-256 from before the
        // run and now.
        const std::string reports = f.dir.file("reports");
        fs::create_directory(reports);
        f.prompter.exports = {ExportChoice{OutputFormat::Tsv, true, false, true}};
        f.prompter.folders = {reports};
        f.window->ToolButton4Click();
        const std::string index = reports + "/PhoneCarve 报告/index.html";
        QVERIFY2(f.prompter.shown.back().text.starts_with("恢复完成!\n\n" + index),
                 f.prompter.shown.back().text.c_str());
        QCOMPARE(f.opened.back(), QUrl::fromLocalFile(QString::fromStdString(index)));
        const std::string html = testing::readText(index);
        const std::string sha = factsOf(f.dir.file("mmssms.db")).sha256;
        QVERIFY(html.find(sha) != html.rfind(sha));
        QVERIFY(html.find("<td>一致</td>") != std::string::npos);
        QVERIFY(fs::exists(reports + "/PhoneCarve 报告/sms-1.html"));

        f.openWorks = false;  // no file manager: where the files are, said
        f.prompter.exports = {ExportChoice{OutputFormat::Csv, true}};
        f.prompter.folders = {out};
        f.prompter.answers = {Answer::Yes};  // replace the files
        f.window->ToolButton4Click();
        QCOMPARE(f.prompter.shown.back().text,
                 "无法打开文件夹：没有可用的文件管理器。\n文件已保存在：" + out);
        f.openWorks = true;

        // The same again: asked first; "No" leaves the file as it was.
        testing::writeBytes(csv, {'k', 'e', 'p', 't'});
        f.prompter.exports = {ExportChoice{OutputFormat::Csv, false}};
        f.prompter.folders = {out};
        f.prompter.answers = {Answer::No};
        f.window->ToolButton4Click();
        QVERIFY(f.prompter.shown.back().text.find("已存在") != std::string::npos);
        QCOMPARE(testing::readText(csv), std::string("kept"));
        f.prompter.exports = {ExportChoice{OutputFormat::Jsonl, false}};
        f.prompter.folders = {out};
        f.window->ToolButton4Click();  // a new file: nothing to ask
        QVERIFY(f.prompter.shown.back().text.starts_with("恢复完成!\n\n"));
        QVERIFY(fs::exists(out + "/" + outputFileName(OutputFormat::Jsonl, CategoryCode::Sms)));
        // Cancelling the format asks nothing more and writes nothing.
        const auto shown = f.prompter.shown.size();
        f.prompter.exports = {std::nullopt};
        f.window->ToolButton4Click();
        QCOMPARE(f.prompter.shown.size(), shown);
    }

    // A phone's file-system dump: the providers' databases are read, a copy elsewhere is not,
    // and every category stays in the tree.
    void aFolderScanFindsThePhonesDatabases() {
        Fixture f;
        const std::string dump = f.dir.file("dump");
        const Linked l =
            linkedDatabases(dump + "/data/data/com.android.providers.telephony/databases");
        fs::create_directories(dump + "/data/data/com.android.providers.contacts/databases");
        fs::rename(l.contacts,
                   dump + "/data/data/com.android.providers.contacts/databases/contacts2.db");
        fs::create_directories(dump + "/sdcard/backup");
        fixtures::SmsDbOptions other;
        other.messages = 7;
        fixtures::buildSmsDatabase(dump + "/sdcard/backup/mmssms.db", other);

        // A copy of the backup with the same bytes: read once.
        fs::create_directories(dump + "/sdcard/copy");
        fs::copy_file(dump + "/sdcard/backup/mmssms.db", dump + "/sdcard/copy/mmssms.db");

        f.prompter.folders = {dump};
        f.child<QPushButton>("BitBtn12")->click();
        for (int n = 1; n <= 3; ++n)
            QVERIFY(f.box(n)->isChecked());
        const QString copy = QString::fromStdString(dump + "/sdcard/copy/mmssms.db");
        QVERIFY(f.logMessages().contains(
            QString::fromUtf8("与已找到的数据库内容相同, 不重复扫描: ") + copy));
        f.window->scanDialog().BitBtn2Click();
        // Each database its own branch, named by its file where a kind has more than one.
        auto* tree = f.child<QTreeWidget>("TreeView1");
        QCOMPARE(tree->topLevelItemCount(), 5);  // and the timeline
        QVERIFY(tree->topLevelItem(1)->text(0).startsWith(
            QString::fromUtf8("短信 — backup/mmssms.db(")));
        QVERIFY(tree->topLevelItem(2)->text(0).startsWith(
            QString::fromUtf8("短信 — databases/mmssms.db(")));
        for (CategoryCode code : {CategoryCode::Contacts, CategoryCode::Sms, CategoryCode::CallLog})
            QVERIFY(f.window->store().count(code) > 0);
        // The backup's branch lists its own rows, each with its own file.
        tree->setCurrentItem(tree->topLevelItem(1));
        auto& list = f.window->reportList();
        const int backupRows = list.rowCount();
        QVERIFY(backupRows >= 7 && backupRows < 20);
        QCOMPARE(f.window->store().count(CategoryCode::Sms) - backupRows,
                 tree->topLevelItem(2)->text(0).section('(', 1).chopped(1).toInt());
        const std::uint32_t row = list.storeIndex(0);
        const ResultStore& store = f.window->store();
        QCOMPARE(store.partPath(CategoryCode::Sms, store.partOf(CategoryCode::Sms, row)),
                 dump + "/sdcard/backup/mmssms.db");
        // The run's end says what each database gave, and which one was a duplicate.
        const std::string done = f.prompter.texts().back();
        QVERIFY(done.starts_with("扫描完成！\n"));
        QVERIFY(done.find("短信 — backup/mmssms.db：") != std::string::npos);
        QVERIFY(done.find(copy.toStdString()) != std::string::npos);

        // A folder without them says so and keeps the dialog as it was.
        f.prompter.folders = {f.dir.file("dump/sdcard/nothing")};
        fs::create_directories(f.dir.file("dump/sdcard/nothing"));
        f.window->ToolButton3Click();
        f.child<QPushButton>("BitBtn12")->click();
        QVERIFY(f.prompter.shown.back().text.find("没有找到") != std::string::npos);
    }

    // The apps' stores in a phone's folder: found and ticked, their branches and rows, and the
    // run's messages and calls together in time order under "时间线".
    void theAppsStoresAndTheTimeline() {
        Fixture f;
        const std::string dump = f.dir.file("dump/data/data");
        fs::create_directories(dump + "/com.android.providers.telephony/databases");
        fs::create_directories(dump + "/com.whatsapp/databases");
        fixtures::StoreOptions o{fixtures::AndroidSchema::mms_aosp14, {}, 3, 6, 7, false};
        fixtures::buildMmsStore(dump + "/com.android.providers.telephony/databases/mmssms.db", o);
        o.schema = fixtures::AndroidSchema::whatsapp_new;
        fixtures::buildWhatsAppStore(dump + "/com.whatsapp/databases/msgstore.db", o);
        f.prompter.folders = {f.dir.file("dump")};
        f.child<QPushButton>("BitBtn12")->click();
        QVERIFY(f.child<QCheckBox>("CheckBox7")->isChecked());  // 彩信
        QVERIFY(f.child<QCheckBox>("CheckBox9")->isChecked());  // WhatsApp
        f.window->scanDialog().BitBtn2Click();
        const QStringList tree = f.treeTexts();
        QVERIFY2(tree.filter(QRegularExpression(QString::fromUtf8("^彩信\\(\\d+\\)$"))).size() == 1,
                 qPrintable(tree.join('|')));
        QVERIFY(tree.filter(QRegularExpression("^WhatsApp\\(\\d+\\)$")).size() == 1);
        const std::size_t rows =
            static_cast<std::size_t>(f.window->store().count(CategoryCode::Mms) +
                                     f.window->store().count(CategoryCode::WhatsApp) +
                                     f.window->store().count(CategoryCode::Sms));
        QVERIFY(tree.contains(QString::fromUtf8("时间线(%1)").arg(rows)));

        auto* view = f.child<QTreeWidget>("TreeView1");
        f.window->TreeView1Click(view->topLevelItem(view->topLevelItemCount() - 1));
        auto* timeline = f.child<QTableView>("TimelineView");
        QTRY_COMPARE(static_cast<std::size_t>(timeline->model()->rowCount()), rows);
        QSet<QString> kinds;
        QString last;
        for (int r = 0; r < timeline->model()->rowCount(); ++r) {
            const QString date = timeline->model()->index(r, 0).data().toString();
            if (!date.isEmpty()) {
                QVERIFY2(date >= last, qPrintable(date + " after " + last));
                last = date;
            }
            kinds.insert(timeline->model()->index(r, 1).data().toString());
        }
        QVERIFY(kinds.contains(QString::fromUtf8("彩信")) && kinds.contains("WhatsApp"));
        // A row's details, the message whole.
        timeline->setCurrentIndex(timeline->model()->index(0, 0));
        QVERIFY(!f.child<QTextBrowser>("DetailPane")->toPlainText().isEmpty());
    }

    // A table whose schema names no root page: its rows, on pages nothing reaches, are live, and
    // the details say why.
    void rowsOnPagesNothingReachesAreLiveAndSaidSo() {
        Fixture f;
        const std::string base = f.dir.file("base.db");
        fixtures::buildAlterationBase(base);
        const std::string path = f.dir.file("altered.db");
        for (const fixtures::AlteredFile& a : fixtures::alteredCopies(base, f.dir.path().string()))
            if (a.name == "root_zero") testing::writeBytes(path, a.bytes);
        f.window->carveTables(path);
        auto* tree = f.child<QTreeWidget>("TreeView1");
        QTreeWidgetItem* tables = tree->topLevelItem(tree->topLevelItemCount() - 1);
        QTreeWidgetItem* a = nullptr;
        for (int i = 0; i < tables->childCount(); ++i)
            if (tables->child(i)->text(0).startsWith("a(")) a = tables->child(i);
        QVERIFY(a);
        QCOMPARE(a->child(1)->text(0), QString::fromUtf8("删除(0)"));
        f.window->TreeView1Click(a);
        auto* view = f.child<QTableView>("TablesView");
        QVERIFY(view->model()->rowCount() > 0);
        view->setCurrentIndex(view->model()->index(0, 0));
        const QString details = f.child<QTextBrowser>("DetailPane")->toPlainText();
        QVERIFY2(details.contains(QString::fromUtf8("未被引用的页")), qPrintable(details));
        QVERIFY(details.contains(QString::fromUtf8("状态: 正常")));
        // The log names the structure that disagreed, and the pages found without it.
        const QStringList log = f.logMessages();
        QVERIFY2(!log.filter(QString::fromUtf8("表 a 的根页 (0)")).isEmpty(),
                 qPrintable(log.join('|')));
        QVERIFY(!log.filter(QString::fromUtf8("个表页没有被任何结构引用")).isEmpty());
    }

    void severalPickedFilesEachReadForTheirCategories() {
        Fixture f;
        const Linked l = linkedDatabases(f.dir.file("db"));
        const std::string notADb = f.dir.file("notes.db");
        testing::writeBytes(notADb, {'n', 'o', 't', ' ', 'a', ' ', 'd', 'b'});
        f.prompter.fileSets = {{l.sms, notADb, l.contacts}};
        f.window->scanDialog().BitBtn1Click();
        for (int n = 1; n <= 3; ++n)
            QVERIFY(f.box(n)->isChecked());
        QVERIFY(f.logMessages().contains(QString::fromUtf8("无效的数据库: ") +
                                         QString::fromStdString(notADb)));
        f.window->scanDialog().BitBtn2Click();
        QCOMPARE(f.window->runPlan().SourcePaths[0], l.contacts);
        QCOMPARE(f.window->runPlan().SourcePaths[1], l.sms);
        QCOMPARE(f.window->runPlan().SourcePaths[2], l.contacts);
        QCOMPARE(f.treeTexts().size(), 10);  // the three branches and the timeline
    }

    // A database of none of the three: its own tables, each with its normal and deleted rows,
    // under "其它表", shown with the table's own columns; the categories' branches stay apart.
    void aFileOfNoneOfTheThreeShowsItsOwnTables() {
        Fixture f;
        const std::string path = f.dir.file("notes.db");
        {
            fixtures::SqliteDb db(path);
            db.exec(
                "PRAGMA secure_delete=0; CREATE TABLE notes(title TEXT, n INT);"
                "INSERT INTO notes VALUES('kept one', 1), ('gone one', 2), ('kept two', 3);"
                "DELETE FROM notes WHERE n = 2;");
        }
        f.prompter.files.push_back(path);
        f.window->scanDialog().BitBtn1Click();
        QVERIFY(f.child<QCheckBox>("CheckBoxOther")->isChecked());
        for (int n = 1; n <= 3; ++n)
            QVERIFY(!f.box(n)->isChecked());
        f.window->scanDialog().BitBtn2Click();
        QCOMPARE(f.treeTexts(), QStringList({QString::fromUtf8("其它表"), "notes(3)"}));
        auto* tree = f.child<QTreeWidget>("TreeView1");
        QTreeWidgetItem* notes = tree->topLevelItem(0)->child(0);
        QCOMPARE(notes->child(0)->text(0), QString::fromUtf8("正常(2)"));
        QCOMPARE(notes->child(1)->text(0), QString::fromUtf8("删除(1)"));

        tree->setCurrentItem(notes->child(1));
        auto* view = f.child<QTableView>("TablesView");
        QVERIFY(view->isVisible() || !f.window->isVisible());
        QAbstractItemModel* model = view->model();
        QCOMPARE(model->columnCount(), 3);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("title"));
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data().toString(), QString("gone one"));
        QCOMPARE(model->index(0, 1).data().toString(), QString("2"));
        QCOMPARE(model->index(0, 2).data().toString(), QString::fromUtf8("删除"));
        tree->setCurrentItem(notes);
        QCOMPARE(model->rowCount(), 3);

        // The search bar narrows the table's rows and counts them, the dates aside.
        auto* search = f.child<QLineEdit>("SearchEdit");
        auto* count = f.child<QLabel>("MatchCount");
        QCOMPARE(count->text(), QString::fromUtf8("共 3 条"));
        QVERIFY(!f.child<DateField>("DateFrom")->isEnabled());
        search->setText("KEPT");
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(count->text(), QString::fromUtf8("找到 2 / 3 条"));
        f.child<QComboBox>("StateBox")->setCurrentIndex(2);  // 删除
        QCOMPARE(model->rowCount(), 0);
        search->clear();
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data().toString(), QString("gone one"));
        QCOMPARE(count->text(), QString::fromUtf8("找到 1 / 3 条"));
    }

    // "其它表" runs as a scan runs: the progress moves, the stop command is there while it runs,
    // and a stop ends it with the rows found so far, said as a partial result.
    void theCarveOfEveryTableShowsProgressAndStops() {
        Fixture f;
        const std::string path = f.dir.file("many.db");
        {
            fixtures::SqliteDb db(path);
            db.exec("PRAGMA page_size=1024; CREATE TABLE notes(title TEXT, n INT); BEGIN;");
            for (int i = 0; i < 20000; ++i)
                db.query("INSERT INTO notes VALUES(?, ?)",
                         {"note " + std::to_string(i), std::int64_t{i}});
            db.exec("COMMIT;");
        }
        auto* stop = f.child<QToolButton>("ToolButton5");
        auto* bar = f.child<QProgressBar>("ProgressBar1");
        bool stopWasThere = false;
        int barMaximum = 0;
        // Pressed at the carve's first chance to let events run, and confirmed.
        f.prompter.answers = {Answer::Yes};
        QTimer::singleShot(0, [&] {
            stopWasThere = stop->isEnabled();
            barMaximum = bar->maximum();
            f.window->ToolButton5Click();
        });
        f.window->carveTables(path);
        QVERIFY(stopWasThere);
        QVERIFY(barMaximum > 100);
        QVERIFY(!stop->isEnabled());
        QCOMPARE(f.child<QLabel>("StatusPanel0")->text(), QString::fromUtf8("已停止（部分结果）"));
        const QStringList tree = f.treeTexts();
        QCOMPARE(tree.size(), 2);
        const int shown = tree[1].mid(6).chopped(1).toInt();  // "notes(N)"
        QVERIFY2(shown < 20000, qPrintable(tree[1]));
        QVERIFY(f.logMessages().back().contains(QString::fromUtf8("部分结果")));

        // Run to its end, every row is there.
        f.window->carveTables(path);
        QCOMPARE(f.child<QLabel>("StatusPanel0")->text(), QString::fromUtf8("扫描完成"));
        QVERIFY(f.treeTexts().contains("notes(20000)"));
    }

    void longScansShowPercentMegabytesAndTimeLeft() {
        Fixture f;
        auto* bar = f.child<QProgressBar>("ProgressBar1");
        f.window->setProgressRange(100, 4096);
        f.window->pageReached(50);
        QVERIFY(!bar->isTextVisible());  // quiet for the first 2 s
        QTest::qWait(2100);
        f.window->pageReached(50);
        QVERIFY(bar->isTextVisible());
        QVERIFY2(QRegularExpression(QString::fromUtf8("^50% · 0\\.2 / 0\\.4 MB · 剩余约 [23] 秒$"))
                     .match(bar->text())
                     .hasMatch(),
                 qPrintable(bar->text()));
    }

    void theWindowRemembersFoldersSizeAndColumnWidths() {
        Fixture f;
        const std::string ini = f.dir.file("config.ini");
        writeProfileString(ini, "main", "server", "http://127.0.0.1:9/");  // no ping waits
        f.make();
        const std::string db = Fixture::smsDb(f.dir, 20);
        f.run(db);
        f.child<QTableView>("ListView1")->setColumnWidth(0, 222);
        const std::string out = f.dir.file("out");
        fs::create_directory(out);
        f.prompter.folders = {out};
        f.window->ToolButton4Click();
        f.window->resize(700, 450);
        f.prompter.answers = {Answer::Yes};
        f.window->close();

        f.make();
        QCOMPARE(f.window->size(), QSize(700, 450));
        f.prompter.startFolders.clear();
        f.run(db);
        QCOMPARE(f.prompter.startFolders.front(), f.dir.path().string());
        QCOMPARE(f.child<QTableView>("ListView1")->columnWidth(0), 222);
        f.prompter.folders = {std::nullopt};
        f.window->ToolButton4Click();
        QCOMPARE(f.prompter.startFolders.back(), out);
    }

  private:
    static void runBoth(Fixture& f, const Linked& l) {
        f.prompter.fileSets = {{l.sms, l.contacts}};
        f.window->scanDialog().BitBtn1Click();
        f.window->scanDialog().BitBtn2Click();
    }
    static void showSms(Fixture& f) {
        auto* tree = f.child<QTreeWidget>("TreeView1");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (CategoryTree::tagOf(tree->topLevelItem(i))->code == CategoryCode::Sms)
                tree->setCurrentItem(tree->topLevelItem(i));
    }
    static int listRows(Fixture& f) {
        return f.child<QTableView>("ListView1")->model()->rowCount();
    }
};

}  // namespace pc

QTEST_MAIN(pc::WindowFeaturesTest)
#include "window_features_test.moc"
