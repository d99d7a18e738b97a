// phonecarve: recovers text messages, contacts and call logs, live and deleted, from Android
// databases, for scripts and batch use.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <clocale>
#include <iostream>

#include "carve_command.h"
#include "category_profile.h"
#include "program_version.h"
#include "report_command.h"
#include "scan_command.h"

namespace {

std::vector<std::string> categoryKeys() {
    std::vector<std::string> keys;
    for (pc::CategoryCode code : pc::kAllCategories)
        keys.emplace_back(pc::profileOf(code).key);
    return keys;
}

constexpr const char* kVersion = pc::kProgramVersion;

// The databases a command reads: files, a folder or the phone. `categories` and the phone's
// options need --phone.
void addSources(CLI::App* command, pc::cli::RunSources& s, std::vector<std::string>& categories) {
    command->add_option("--contacts", s.contacts, "contacts2.db to recover contacts from")
        ->check(CLI::ExistingFile);
    command->add_option("--sms", s.sms, "mmssms.db to recover text messages from")
        ->check(CLI::ExistingFile);
    command
        ->add_option("--calls", s.calls,
                     "contacts2.db (Android 6 and older), calllog.db or a Samsung's logs.db to "
                     "recover the call log from")
        ->check(CLI::ExistingFile);
    command->add_option("--mms", s.mms, "mmssms.db to recover MMS messages from")
        ->check(CLI::ExistingFile);
    command
        ->add_option("--google-messages", s.googleMessages,
                     "bugle_db (Google Messages) to recover its messages from")
        ->check(CLI::ExistingFile);
    command
        ->add_option("--whatsapp", s.whatsapp,
                     "msgstore.db (WhatsApp) to recover its messages from; names come from wa.db "
                     "beside it")
        ->check(CLI::ExistingFile);
    command
        ->add_option("--folder", s.folder,
                     "a folder such as a copy of a phone's file system: every mmssms.db, "
                     "contacts2.db and calllog.db under it")
        ->check(CLI::ExistingDirectory);
    auto* phone = command->add_flag("--phone", s.phone,
                                    "copy mmssms.db and contacts2.db from a rooted phone over adb "
                                    "(USB debugging on) and scan them");
    command
        ->add_option("--categories", categories,
                     "with --phone: what to scan of the copies (default: contacts,sms,calls)")
        ->delimiter(',')
        ->check(CLI::IsMember(categoryKeys()))
        ->needs(phone);
    command
        ->add_option("--adb-timeout", s.adbTimeoutSeconds,
                     "with --phone: seconds an adb command may run (default 300)")
        ->check(CLI::PositiveNumber)
        ->needs(phone);
}

// The phone's categories as listed; all when none are.
void takeCategories(const std::vector<std::string>& categories, pc::cli::RunSources& s) {
    if (categories.empty()) return;
    for (pc::CategoryCode code : pc::kAllCategories)
        s.phoneCategories[pc::index(code)] = std::find(categories.begin(), categories.end(),
                                                       pc::profileOf(code).key) != categories.end();
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    CLI::App app{
        "PhoneCarve: recovers text messages, contacts and call logs, live and deleted, "
        "from Android databases. Source files are only ever read.",
        "phonecarve"};
    app.set_version_flag("--version", std::string("phonecarve ") + kVersion);
    app.require_subcommand(1);

    pc::cli::ScanOptions o;
    auto* scan = app.add_subcommand("scan", "Scan databases and print or save what they hold");
    std::vector<std::string> categories;
    addSources(scan, o.sources, categories);
    scan->add_option("--out", o.out,
                     "folder for the files (短信.txt ...); without it rows go to standard output");
    std::string format = "tsv";
    scan->add_option("--format", format,
                     "tsv (the recover command's files), csv, jsonl, or xlsx (one Excel "
                     "workbook, PhoneCarve.xlsx, in --out)")
        ->check(CLI::IsMember({"tsv", "csv", "jsonl", "xlsx"}));
    bool excel = false;
    scan->add_flag("--excel", excel,
                   "CSV for spreadsheet programs: UTF-8 with a byte order mark and Chinese "
                   "headings (implies --format csv)");
    std::string encoding;
    scan->add_option("--encoding", encoding,
                     "gbk or utf-8 (default: gbk for --out tsv files, utf-8 otherwise)")
        ->check(CLI::IsMember({"gbk", "utf-8"}));
    scan->add_flag("--all-copies", o.allCopies,
                   "list every copy of a row found (stale copies of live rows, repeated deleted "
                   "rows), each with its own state and offset, not each row once");
    double utcOffset = 8;
    scan->add_option("--utc-offset", utcOffset,
                     "hours from UTC at which dates are shown (default 8)")
        ->check(CLI::Range(-14.0, 14.0));
    scan->add_flag("-q,--quiet", o.quiet, "print only errors on standard error");

    pc::cli::CarveOptions c;
    auto* carve = app.add_subcommand(
        "carve",
        "Every table of any SQLite database: live rows and the deleted rows its bytes hold");
    carve->add_option("file", c.file, "the database (its -wal and -journal are read with it)")
        ->required()
        ->check(CLI::ExistingFile);
    carve->add_option("--table", c.tables, "only this table (may be given more than once)");
    std::string carveFormat = "jsonl";
    carve
        ->add_option("--format", carveFormat,
                     "jsonl (default), csv (a file per table in --out) or sqlite (a new "
                     "database at --out)")
        ->check(CLI::IsMember({"jsonl", "csv", "sqlite"}));
    carve->add_option("--out", c.out,
                      "jsonl: a new file (default: standard output); csv: a folder; sqlite: a new "
                      "database file");
    carve->add_flag("--all-copies", c.allCopies,
                    "list every copy of a row found, not each row once");
    carve->add_flag("--all-tables", c.allTables,
                    "list the shadow tables of full-text (FTS) and R*Tree tables too, their rows "
                    "as stored (the virtual tables' rows are listed under their own names)");
    carve->add_flag("-q,--quiet", c.quiet, "print only errors on standard error");

    pc::cli::ReportOptions r;
    auto* report = app.add_subcommand(
        "report", "Scan databases and write an HTML report a reader can check and hand on");
    std::vector<std::string> reportCategories;
    addSources(report, r.sources, reportCategories);
    report->add_option("--out", r.out, "folder for index.html and its pages")->required();
    report->add_option("--title", r.title, "the report's title");
    report->add_option("--examiner", r.examiner, "who made the report");
    double reportOffset = 8;
    report
        ->add_option("--utc-offset", reportOffset,
                     "hours from UTC at which dates are shown (default 8)")
        ->check(CLI::Range(-14.0, 14.0));
    report->add_flag("-q,--quiet", r.quiet, "print only errors on standard error");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return pc::cli::kUsageError;
    }

    if (report->parsed()) {
        if (const std::string problem = pc::cli::sourcesProblem(r.sources); !problem.empty()) {
            std::cerr << problem << "\n";
            return pc::cli::kUsageError;
        }
        takeCategories(reportCategories, r.sources);
        r.utcOffsetSeconds = static_cast<std::int64_t>(reportOffset * 3600);
        r.version = kVersion;
        for (int i = 0; i < argc; ++i)
            r.command += (i ? " " : "") + std::string(argv[i]);
        return pc::cli::runReportCommand(r);
    }
    if (carve->parsed()) {
        c.format = carveFormat == "csv"      ? pc::cli::CarveFormat::Csv
                   : carveFormat == "sqlite" ? pc::cli::CarveFormat::Sqlite
                                             : pc::cli::CarveFormat::Jsonl;
        if (c.format != pc::cli::CarveFormat::Jsonl && !c.out) {
            std::cerr << "--format " << carveFormat << " needs --out\n";
            return pc::cli::kUsageError;
        }
        return pc::cli::runCarveCommand(c);
    }
    o.utcOffsetSeconds = static_cast<std::int64_t>(utcOffset * 3600);
    using pc::OutputFormat;
    o.format = format == "csv"     ? OutputFormat::Csv
               : format == "jsonl" ? OutputFormat::Jsonl
                                   : OutputFormat::Tsv;
    o.workbook = format == "xlsx";
    if (o.workbook && (!o.out || excel)) {
        std::cerr << "--format xlsx needs --out\n";
        return pc::cli::kUsageError;
    }
    if (excel) {
        if (scan->count("--format") > 0 && format != "csv") {
            std::cerr << "--excel writes CSV: leave out --format " << format << "\n";
            return pc::cli::kUsageError;
        }
        if (encoding == "gbk") {
            std::cerr << "--excel is always UTF-8\n";
            return pc::cli::kUsageError;
        }
        o.format = OutputFormat::SpreadsheetCsv;
    }
    if (!encoding.empty())
        o.encoding = encoding == "gbk" ? pc::TextEncoding::Gb18030 : pc::TextEncoding::Utf8;
    if (o.format == OutputFormat::Jsonl && o.encoding == pc::TextEncoding::Gb18030) {
        std::cerr << "--format jsonl is always UTF-8\n";
        return pc::cli::kUsageError;
    }
    if (const std::string problem = pc::cli::sourcesProblem(o.sources); !problem.empty()) {
        std::cerr << problem << "\n" << scan->help();
        return pc::cli::kUsageError;
    }
    takeCategories(categories, o.sources);
    return pc::cli::runScanCommand(o);
}
