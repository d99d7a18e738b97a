// The daily update check, the usage ping and the closing sequence, against a server of ours.
#include <QElapsedTimer>
#include <QLocale>
#include <QTimer>
#include <QtTest>

#include <filesystem>

#include "T_Main.h"
#include "T_Option.h"
#include "profile_file.h"
#include "scripted_prompter.h"
#include "sms_fixture.h"
#include "temp_dir.h"
#include "test_http_server.h"

namespace pc {

using testing::ScriptedPrompter;
using testing::TestHttpServer;

class UpdateCheckTest : public QObject {
    Q_OBJECT

    struct Fixture {
        testing::TempDir dir;
        ScriptedPrompter prompter;
        TestHttpServer server;
        std::vector<std::string> started;
        int terminated = 0;
        std::unique_ptr<TMain> window;

        std::string ini() const { return dir.file("config.ini"); }
        // config.ini as an earlier day left it: the check runs at this start.
        void earlierDay(const std::string& ver = "4.0") {
            writeProfileString(ini(), "main", "date", "1999-01-01");
            writeProfileString(ini(), "main", "ver", ver);
            writeProfileString(ini(), "main", "server", server.base().toStdString());
        }
        void start(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
            MainWindowOptions o;
            o.appDir = dir.path().string() + "/";
            o.startDetached = [this](const std::string& p) {
                started.push_back(p);
                return true;
            };
            o.terminate = [this] { ++terminated; };
            o.httpTimeout = timeout;
            window = std::make_unique<TMain>(o, prompter);
        }
        // Lets the window's events run until the day's check has its answer.
        void answered() { QTRY_VERIFY_WITH_TIMEOUT(!window->updateCheckPending(), 15000); }
        std::string today() const {
            return QLocale::system()
                .toString(QDate::currentDate(), QLocale::ShortFormat)
                .toStdString();
        }
    };

  private slots:
    void aNewerVersionIsOfferedAndStartsTheUpdater() {
        Fixture f;
        f.earlierDay("4.0");
        f.server.body = "[ADver]\r\nlastver=4.1\r\n";
        f.prompter.answers = {Answer::Yes};
        f.start();
        f.answered();
        QCOMPARE(f.server.requests.size(), 1);
        QVERIFY(f.server.requests[0].startsWith("GET /update/version.txt HTTP/1.1"));
        QVERIFY(
            f.server.requests[0].contains("User-Agent: Mozilla/3.0 (compatible; Indy Library)"));
        QVERIFY(f.server.requests[0].contains("Accept: text/html, */*"));
        QCOMPARE(f.prompter.shown.size(), std::size_t{1});
        QCOMPARE(f.prompter.shown[0].text,
                 std::string("当前程序最新版本是4.1,你现在的版本是4.0,是否要更新？"));
        QCOMPARE(f.prompter.shown[0].caption, std::string("更新"));
        QCOMPARE(f.prompter.shown[0].icon, MessageIcon::Question);
        QCOMPARE(f.started, std::vector<std::string>{f.dir.file("update")});
        QCOMPARE(f.terminated, 1);
        QVERIFY(f.window->endRequested());
        QCOMPARE(testing::readText(f.dir.file("updatever.ini")),
                 std::string("[ADver]\r\nlastver=4.1\r\n"));
        QCOMPARE(readProfileString(f.ini(), "main", "date", ""), f.today());
    }

    void theSameVersionOrNoAnswerOffersNothing() {
        struct Case {
            TestHttpServer::Mode mode;
            QByteArray body;
            std::string stored;
        };
        for (const Case& c : {Case{TestHttpServer::Mode::Answer, "[ADver]\nlastver=4.0\n", "4.0"},
                              Case{TestHttpServer::Mode::Answer, "[ADver]\nlastver=3.9\n", "4.0"},
                              Case{TestHttpServer::Mode::Answer, "no section here", "0"},
                              Case{TestHttpServer::Mode::Answer, "[ADver]\nlastver=x\n", "abc"},
                              Case{TestHttpServer::Mode::NotFound, "", "0"}}) {
            Fixture f;
            f.earlierDay(c.stored);
            f.server.mode = c.mode;
            f.server.body = c.body;
            f.start();
            f.answered();
            QVERIFY(f.prompter.shown.empty());
            QCOMPARE(f.terminated, 0);
            QCOMPARE(readProfileString(f.ini(), "main", "date", ""), f.today());
            QCOMPARE(readProfileString(f.ini(), "main", "ver", ""), std::string("4.0"));
        }
    }

    void aTextThatIsNotANumberCountsAsZero() {
        Fixture f;
        f.earlierDay("not a version");
        f.server.body = "[ADver]\nlastver=4.1\n";
        f.start();
        f.answered();
        QCOMPARE(f.prompter.shown.size(), std::size_t{1});  // 4.1 against 0: offered, answered No
        QCOMPARE(f.terminated, 0);
    }

    void theSecondStartOfTheDaySendsNoRequest() {
        Fixture f;
        f.earlierDay();
        f.server.body = "[ADver]\nlastver=4.0\n";
        f.start();
        f.answered();
        f.start();
        f.answered();
        QCOMPARE(f.server.requests.size(), 1);
        Fixture first;  // the very first start has no "date": no check either
        writeProfileString(first.ini(), "main", "server", first.server.base().toStdString());
        first.start();
        QCOMPARE(first.server.requests.size(), 0);
    }

    void anOldVersionFileIsReplacedOnlyByASuccessfulDownload() {
        Fixture f;
        testing::writeBytes(f.dir.file("updatever.ini"), {'o', 'l', 'd'});
        f.earlierDay();
        f.server.mode = TestHttpServer::Mode::NotFound;
        f.start();
        f.answered();
        QCOMPARE(testing::readText(f.dir.file("updatever.ini")), std::string("old"));
        f.earlierDay();
        f.server.mode = TestHttpServer::Mode::Answer;
        f.server.body = "[ADver]\nlastver=4.0\n";
        f.start();
        f.answered();
        QCOMPARE(testing::readText(f.dir.file("updatever.ini")),
                 std::string("[ADver]\nlastver=4.0\n"));
    }

    // The check waits for its answer on the window's own loop: the window is up and in use at
    // once, whatever the server does.
    void aSilentOrMissingServerDoesNotHoldTheStart() {
        Fixture silent;
        silent.earlierDay();
        silent.server.mode = TestHttpServer::Mode::Silent;
        QElapsedTimer clock;
        clock.start();
        silent.start();  // the full ten seconds of the server's limit
        silent.window->show();
        QVERIFY(clock.elapsed() < 1000);
        QTRY_COMPARE(silent.server.requests.size(), 1);
        QVERIFY(silent.window->updateCheckPending());
        QVERIFY(clock.elapsed() < 2000);  // events ran meanwhile: the request went out
        QVERIFY(silent.prompter.shown.empty());

        Fixture missing;  // nothing listens there
        writeProfileString(missing.ini(), "main", "date", "1999-01-01");
        writeProfileString(missing.ini(), "main", "server", "http://127.0.0.1:9/");
        missing.start();
        missing.answered();
        QCOMPARE(readProfileString(missing.ini(), "main", "date", ""), missing.today());
        QVERIFY(missing.window->windowTitle().endsWith("4.0"));
    }

    // With the day's update check still unanswered, too: the program ends all the same.
    void aSilentServerHoldsTheClosingTwoSecondsAtMost() {
        for (const bool checkPending : {false, true}) {
            Fixture f;
            writeProfileString(f.ini(), "main", "server", f.server.base().toStdString());
            if (checkPending) f.earlierDay();
            f.server.mode = TestHttpServer::Mode::Silent;
            f.start();
            f.window->show();
            if (checkPending) QTRY_COMPARE(f.server.requests.size(), 1);
            f.prompter.answers = {Answer::Yes};
            QElapsedTimer clock;
            clock.start();
            f.window->close();
            QCOMPARE(f.terminated, 1);
            f.window.reset();  // the program ends: nothing it holds may keep it longer
            QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
            QCOMPARE(f.server.requests.size(), checkPending ? 2 : 1);
        }
    }

    void closingAsksThenShowsTheNoticePingsAndEnds() {
        Fixture f;
        writeProfileString(f.ini(), "main", "server", f.server.base().toStdString());
        f.start();
        const std::string id = f.window->installationId();
        QCOMPARE(id.size(), std::size_t{36});
        QCOMPARE(readProfileString(f.ini(), "main", "id", ""), id);
        f.window->show();

        f.prompter.answers = {Answer::No};
        f.window->close();
        QCOMPARE(f.prompter.shown.back().text, std::string("你确定要退出程序吗? "));
        QCOMPARE(f.prompter.shown.back().buttons, Buttons::YesNo);
        QVERIFY(f.window->isVisible());
        QVERIFY(f.window->isEnabled());
        QCOMPARE(f.server.requests.size(), 0);

        f.prompter.answers = {Answer::Yes};
        f.window->close();
        QCOMPARE(f.terminated, 1);
        QVERIFY(!f.window->isEnabled());
        auto* notice = f.window->findChild<QWidget*>("Form8");
        QVERIFY(notice && notice->isVisible());
        QCOMPARE(notice->size(), QSize(281, 63));
        QCOMPARE(f.server.requests.size(), 1);
        const QByteArray line = f.server.requests[0].left(f.server.requests[0].indexOf("\r\n"));
        QVERIFY(line.startsWith("GET /count/count.asp?id=" + QByteArray::fromStdString(id) +
                                "&version=4.0&software_name="));
        const QUrlQuery query(QUrl::fromEncoded(line.mid(4, line.lastIndexOf(' ') - 4)));
        QCOMPARE(query.queryItemValue("software_name", QUrl::FullyDecoded),
                 QString::fromUtf8("PhoneCarve 安卓手机数据恢复V"));
    }

    void closingIsRefusedWhileAScanRuns() {
        Fixture f;
        f.start();
        fixtures::SmsDbOptions o;
        o.messages = 20000;
        o.wordIndex = false;
        fixtures::buildSmsDatabase(f.dir.file("mmssms.db"), o);
        QTimer::singleShot(0, f.window.get(), [&] { f.window->close(); });
        f.prompter.files = {f.dir.file("mmssms.db")};
        f.window->scanDialog().BitBtn1Click();
        f.window->scanDialog().BitBtn2Click();
        QCOMPARE(f.prompter.shown.front().text, std::string("程序正在扫描中，请先停止扫描！"));
        QCOMPARE(f.terminated, 0);
        QCOMPARE(f.window->store().count(CategoryCode::Sms) > 0, true);  // the scan went on
    }
};

}  // namespace pc

QTEST_MAIN(pc::UpdateCheckTest)
#include "update_check_test.moc"
