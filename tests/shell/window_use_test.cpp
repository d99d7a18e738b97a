// The window as people use it: the faults that misled them, each driven through the real widgets.
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "fake_adb.h"
#include "window_fixture.h"

namespace pc {

using Fixture = testing::WindowFixture;

class WindowUseTest : public QObject {
    Q_OBJECT

  private slots:
    // The two mode buttons stand in two frames and are still one choice: a file scan after a
    // look at the phone mode never runs adb.
    void theScanModeIsOneChoice() {
        Fixture f;
        auto* file = f.child<QRadioButton>("RadioButton3");
        auto* phone = f.child<QRadioButton>("RadioButton4");
        phone->click();
        QVERIFY(phone->isChecked() && !file->isChecked());
        f.window->scanDialog().close();
        f.window->ToolButton3Click();  // the dialog again
        QVERIFY(phone->isChecked() != file->isChecked());
        file->click();
        QVERIFY(file->isChecked() && !phone->isChecked());
        testing::FakeAdb adb(f.dir.file("phone"));
        f.run(Fixture::smsDb(f.dir));
        QVERIFY(!std::filesystem::exists(adb.log()));
        QVERIFY(f.window->store().count(CategoryCode::Sms) > 0);
    }

    // A run that found nothing leaves nothing to recover, whatever an earlier run found.
    void recoverIsOfferedOnlyForWhatTheRunFound() {
        Fixture f;
        f.run(Fixture::smsDb(f.dir));
        auto* recover = f.child<QToolButton>("ToolButton4");
        QVERIFY(recover->isEnabled());
        testing::writeBytes(f.dir.file("empty.db"), {});
        f.prompter.answers.clear();
        f.run(f.dir.file("empty.db"), std::array<bool, 3>{true, false, true});
        QVERIFY(!recover->isEnabled());
        const auto shown = f.prompter.shown.size();
        f.window->ToolButton4Click();
        QCOMPARE(f.prompter.shown.size(), shown);  // no folder asked for, nothing reported
    }

    void aDatabaseCutShortIsSaidInTheLog() {
        Fixture f;
        const std::string path = Fixture::smsDb(f.dir);
        auto bytes = testing::readBytes(path);
        const std::uint32_t pages = static_cast<std::uint32_t>(bytes.size() / 4096) + 5;
        for (int i = 0; i < 4; ++i)
            bytes[28 + i] = static_cast<std::uint8_t>(pages >> (24 - 8 * i));
        testing::writeBytes(path, bytes);
        f.run(path);
        QVERIFY(f.logMessages().contains(QString::fromUtf8("文件不完整: 缺少 5 页 (20480 字节)")));
    }

    void theListFollowsTheNodeTheKeysMoveTo() {
        Fixture f;
        f.run(Fixture::smsDb(f.dir));
        auto* tree = f.child<QTreeWidget>("TreeView1");
        tree->setFocus();
        tree->setCurrentItem(tree->topLevelItem(0));
        const int all = f.child<QTableView>("ListView1")->model()->rowCount();
        QTest::keyClick(tree, Qt::Key_Down);  // to 正常短信
        QCOMPARE(tree->currentItem(), tree->topLevelItem(0)->child(0));
        const QStringList states = f.column(4);
        QVERIFY(states.size() < all);
        QCOMPARE(states.count(QString::fromUtf8("正常")), states.size());
    }

    void theLogGivesEveryRowsDateAlike() {
        Fixture f;
        f.run(Fixture::smsDb(f.dir));
        auto* log = f.child<QTreeWidget>("ListView2");
        QVERIFY(log->topLevelItemCount() > 2);
        const QRegularExpression date("^\\d{4}-\\d{2}-\\d{2}$"), time("^\\d{2}:\\d{2}:\\d{2}$");
        for (int i = 0; i < log->topLevelItemCount(); ++i) {
            QVERIFY2(date.match(log->topLevelItem(i)->text(1)).hasMatch(),
                     qPrintable(log->topLevelItem(i)->text(1)));
            QVERIFY(time.match(log->topLevelItem(i)->text(2)).hasMatch());
        }
    }

    // At any width the count's text stays clear of the progress bar.
    void theStatusPanelsDoNotOverlap() {
        Fixture f;
        f.window->show();
        for (int width : {966, 700, 1400}) {
            f.window->resize(width, 600);
            QCoreApplication::processEvents();
            const QRect bar = f.child<QProgressBar>("ProgressBar1")->geometry();
            for (const char* panel : {"StatusPanel0", "StatusPanel2"})
                QVERIFY2(!f.child<QLabel>(panel)->geometry().intersects(bar), panel);
        }
    }
};

}  // namespace pc

QTEST_MAIN(pc::WindowUseTest)
#include "window_use_test.moc"
