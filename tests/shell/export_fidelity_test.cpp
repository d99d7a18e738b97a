// The recover command's files against the command line's for the same rows, byte for byte, in
// every format; JSON lines read back by Qt's JSON parser and CSV by a reader of RFC 4180, with
// the characters that break naive writers inside the fields.
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <filesystem>

#include "scan_command.h"
#include "sqlite_db.h"
#include "text_export.h"
#include "window_fixture.h"

namespace pc {

using Fixture = testing::WindowFixture;
namespace fs = std::filesystem;

namespace {

const std::string kTricky = "He said \"hi\", \\path\\\ttab\r\nline 2 😊 € \x01 end";
const std::string kTrickyAddress = "+86 \"138\",0013";

// RFC 4180: fields split by commas, quoted fields may hold commas, quotes doubled and line breaks;
// records end in CR LF.
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            records.back().push_back(field);
            field.clear();
            wasQuoted = false;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.back().push_back(field);
            field.clear();
            wasQuoted = false;
            records.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    if (records.back().empty()) records.pop_back();
    return records;
}

}  // namespace

class ExportFidelityTest : public QObject {
    Q_OBJECT

  private slots:
    void theWindowWritesTheCommandLinesBytesInEveryFormat() {
        for (const OutputFormat format :
             {OutputFormat::Tsv, OutputFormat::Csv, OutputFormat::Jsonl}) {
            Fixture f;
            const auto [sms, contacts] = trickyDatabases(f);
            f.prompter.fileSets = {{sms, contacts}};
            f.window->scanDialog().BitBtn1Click();
            f.window->scanDialog().BitBtn2Click();
            const std::string window = f.dir.file("window"), cli = f.dir.file("cli");
            fs::create_directory(window);
            f.prompter.exports = {ExportChoice{format, false}};
            f.prompter.folders = {window};
            f.window->ToolButton4Click();

            cli::ScanOptions o;
            o.sources.contacts = contacts;
            o.sources.sms = sms;
            o.sources.calls = contacts;
            o.out = cli;
            o.format = format;
            o.quiet = true;
            QCOMPARE(cli::runScanCommand(o), 0);
            int files = 0;
            // The fixtures hold the phone's own three.
            for (CategoryCode code :
                 {CategoryCode::Contacts, CategoryCode::Sms, CategoryCode::CallLog}) {
                const std::string name = outputFileName(format, code);
                QVERIFY2(fs::exists(window + "/" + name), name.c_str());
                QVERIFY2(
                    testing::readBytes(window + "/" + name) == testing::readBytes(cli + "/" + name),
                    name.c_str());
                ++files;
            }
            QCOMPARE(files, 3);
        }
    }

    void jsonLinesReadBackWithEveryCharacterInPlace() {
        Fixture f;
        const auto [sms, contacts] = trickyDatabases(f);
        f.run(sms);
        const std::string out = f.dir.file("out");
        fs::create_directory(out);
        f.prompter.exports = {ExportChoice{OutputFormat::Jsonl, false}};
        f.prompter.folders = {out};
        f.window->ToolButton4Click();
        const QList<QByteArray> lines =
            QByteArray::fromStdString(
                testing::readText(out + "/" +
                                  outputFileName(OutputFormat::Jsonl, CategoryCode::Sms)))
                .split('\n');
        int rows = 0, tricky = 0;
        for (const QByteArray& line : lines) {
            if (line.isEmpty()) continue;
            QJsonParseError error{};
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
            const QJsonObject row = doc.object();
            QCOMPARE(row["category"].toString(), QString("sms"));
            QVERIFY(row["offset"].isDouble());
            ++rows;
            if (row["body"].toString().toStdString() == kTricky) {
                QCOMPARE(row["address"].toString().toStdString(), kTrickyAddress);
                QCOMPARE(row["state"].toString(), QString("normal"));
                ++tricky;
            }
        }
        QCOMPARE(rows, f.window->store().count(CategoryCode::Sms));
        QCOMPARE(tricky, 1);
    }

    void csvReadsBackAsTheRowsWere() {
        Fixture f;
        const auto [sms, contacts] = trickyDatabases(f);
        f.run(sms);
        const std::string out = f.dir.file("out");
        fs::create_directory(out);
        f.prompter.exports = {ExportChoice{OutputFormat::Csv, false}};
        f.prompter.folders = {out};
        f.window->ToolButton4Click();
        const auto records = readCsv(
            testing::readText(out + "/" + outputFileName(OutputFormat::Csv, CategoryCode::Sms)));
        QCOMPARE(records.size(),
                 static_cast<std::size_t>(f.window->store().count(CategoryCode::Sms)) + 1);
        const std::vector<std::string> header{"address", "date",   "type",  "state",
                                              "body",    "source", "offset"};
        QVERIFY(records[0] == header);
        for (std::size_t r = 1; r < records.size(); ++r) {
            QCOMPARE(records[r].size(), header.size());
            const RowCells row =
                f.window->store().rowCells(CategoryCode::Sms, static_cast<std::uint32_t>(r - 1));
            for (std::size_t c = 0; c < row.size; ++c)
                QCOMPARE(records[r][c], row.isNull(c) ? std::string() : std::string(row.cells[c]));
        }
        QVERIFY(std::any_of(records.begin(), records.end(),
                            [](const auto& rec) { return rec[4] == kTricky; }));
    }

  private:
    static std::pair<std::string, std::string> trickyDatabases(Fixture& f) {
        // Enough messages that the window's store seals several blocks of bodies.
        const std::string sms = Fixture::smsDb(f.dir, 1500);
        const std::string contacts = Fixture::contactsDb(f.dir);
        fixtures::SqliteDb db(sms);
        const auto first = db.query("SELECT min(_id) FROM sms");
        db.query("UPDATE sms SET body = ?, address = ? WHERE _id = ?",
                 {kTricky, kTrickyAddress, first.at(0).at(0)});
        return {sms, contacts};
    }
};

}  // namespace pc

QTEST_MAIN(pc::ExportFidelityTest)
#include "export_fidelity_test.moc"
