#include "shell/report_command.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include <QGuiApplication>
#include <QTemporaryDir>

#include "data/context.h"
#include "data/dates.h"
#include "fees/fee_reports.h"
#include "shell/cli.h"
#include "shell/settings.h"
#include "ui/report/page_file.h"

namespace mg::shell {
namespace {

void errorLine(std::FILE* err, std::string_view text) {
    std::fprintf(err, "marrowgate: report: %.*s (usage: %s)\n", static_cast<int>(text.size()), text.data(), kReportUsage);
    std::fflush(err);
}

// A YYYY-MM-DD text: the date, or why it is none.
struct IsoDate {
    std::optional<int32_t> day;
    std::string wrong;
};

IsoDate isoDate(const std::string& s) {
    const IsoDate notOfTheForm{std::nullopt, "\"" + s + "\" is not a date of the form YYYY-MM-DD"};
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') return notOfTheForm;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (s[i] < '0' || s[i] > '9') return notOfTheForm;
    const int y = std::stoi(s.substr(0, 4)), m = std::stoi(s.substr(5, 2)), d = std::stoi(s.substr(8, 2));
    const IsoDate noSuchDay{std::nullopt, "\"" + s + "\" is not a date"};
    if (y < 1801) return {std::nullopt, "\"" + s + "\" is not a date the practice can hold (the year 1801 or later)"};
    if (m < 1 || m > 12 || d < 1) return noSuchDay;
    const int32_t day = dates::dateFromMDY(m, d, y);
    if (dates::toIsoDate(day) != s) return noSuchDay;  // 29 February 2026, 31 April and the like
    return {day, {}};
}

// The PDF to standard output: written to a file of its own first (the writer needs one),
// then copied.
bool pdfToStream(const std::vector<std::string>& pages, std::FILE* out, std::string& error) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        error = "no temporary folder for the PDF";
        return false;
    }
    const std::string file = dir.filePath("report.pdf").toStdString();
    if (!report::exportPdf(pages, file, error)) return false;
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0) {
        error = "standard output could not be written";
        return false;
    }
    return true;
}

// The report engine measures texts with the platform's fonts: a Qt GUI application is needed,
// and on a machine without a display the offscreen platform serves. Made for the one command
// and gone before it returns (left to the static destructors, it would outlive parts of Qt).
std::unique_ptr<QGuiApplication> makeGuiApplication() {
    if (QCoreApplication::instance()) return nullptr;
    // Qt's note that a login without a runtime folder (a service, ssh, cron) falls back to
    // one of its own is no news to the user of a command: it is left out, every other
    // message of Qt's is kept.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& where, const QString& text) {
        if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, where, text)));
        std::fflush(stderr);
    });
#if !defined(_WIN32) && !defined(__APPLE__)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    static int argc = 1;
    static char name[] = "marrowgate";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int runReportCommand(const std::vector<std::string>& args, const db::Settings& settings, std::string_view settingsFile,
                     std::FILE* out, std::FILE* err) {
    if (args.size() < 2) {
        errorLine(err, "which report? fees-to-import or fees-imported");
        return ExitFailed;
    }
    const std::string& which = args[1];
    if (which != "fees-to-import" && which != "fees-imported") {
        errorLine(err, "unknown report \"" + which + "\"");
        return ExitFailed;
    }
    std::string pdf, csv;
    std::optional<int32_t> date;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((a == "--pdf" || a == "--csv" || a == "--date") && !hasValue) {
            errorLine(err, a + " needs a value");
            return ExitFailed;
        }
        if (a == "--pdf") {
            pdf = args[++i];
        } else if (a == "--csv") {
            csv = args[++i];
        } else if (a == "--date") {
            const IsoDate given = isoDate(args[++i]);
            if (!given.day) {
                errorLine(err, given.wrong);
                return ExitFailed;
            }
            date = given.day;
        } else {
            errorLine(err, "unexpected \"" + a + "\"");
            return ExitFailed;
        }
    }
    if (pdf == "-" && csv == "-") {
        errorLine(err, "--pdf - and the CSV cannot both go to standard output (give --csv FILE)");
        return ExitFailed;
    }
    if (which == "fees-imported" && !date) {
        errorLine(err, "fees-imported needs --date YYYY-MM-DD");
        return ExitFailed;
    }
    if (which == "fees-to-import" && date) {
        errorLine(err, "fees-to-import takes no date: it shows every fee waiting");
        return ExitFailed;
    }

    Context ctx(settings);
    if (!ctx.connection()) {
        // The driver's own words, as the imports give them (a password is masked in them).
        const Error& e = ctx.lastError();
        const std::string why = e.driverText.empty() ? e.text : e.driverText;
        const std::string line = "marrowgate: the report cannot open the database (" + settingsFrom(settingsFile) + "): " + why + "\n";
        std::fputs(line.c_str(), err);
        return ExitFailed;
    }
    // After the connection, so that a connection that fails says only why.
    const std::unique_ptr<QGuiApplication> app = makeGuiApplication();  // before all that needs it
    CommandLineUserInterface ui(err);
    std::unique_ptr<fees::FeeReport> report;
    if (which == "fees-to-import") report = std::make_unique<fees::FeesToImportReport>(Session{ctx, ui}, ui);
    else report = std::make_unique<fees::ImportFeesReport>(Session{ctx, ui}, ui, *date);
    const int response = ui::runWithoutWindow(*report, nullptr);
    if (response == 0 || ui.halted()) {
        std::fprintf(err, "marrowgate: the report could not start\n");
        return ExitFailed;
    }
    if (ui.warningsShown() > 0) return ExitFailed;  // a table could not be read to its end

    // Without --csv the CSV goes to standard output, unless the PDF does.
    if (!csv.empty() || pdf.empty()) {
        const std::string text = report->csv();
        if (csv.empty() || csv == "-") {
            std::fwrite(text.data(), 1, text.size(), out);
            std::fflush(out);
        } else {
            std::ofstream f(csv, std::ios::binary | std::ios::trunc);
            f << text;
            if (!f.flush()) {
                std::fprintf(err, "marrowgate: report: cannot write %s\n", csv.c_str());
                return ExitFailed;
            }
        }
    }
    if (!pdf.empty()) {
        // No row at all makes no report in the program; the file still shows the empty report.
        std::unique_ptr<report::ReportEngine> engine = report->completed() ? report->takeEngine() : report->emptyReport();
        std::string error;
        if (!engine) error = "the report's pages could not be made";
        const bool written = engine && (pdf == "-" ? pdfToStream(engine->pageList(), out, error)
                                                   : report::exportPdf(engine->pageList(), pdf, error));
        if (!written) {
            std::fprintf(err, "marrowgate: report: cannot write %s: %s\n", pdf == "-" ? "the PDF" : pdf.c_str(), error.c_str());
            return ExitFailed;
        }
    }
    if (!csv.empty() && csv != "-") std::fprintf(err, "%zu lines written to %s\n", report->lines().size(), csv.c_str());
    if (!pdf.empty() && pdf != "-") std::fprintf(err, "%zu lines written to %s\n", report->lines().size(), pdf.c_str());
    return ExitOk;
}

int reportCommand(const std::vector<std::string>& args) {
    const Globals& g = startUp();
    if (const std::string trouble = connectionIniTrouble(g.connectionIni); !trouble.empty()) {
        std::fprintf(stderr, "marrowgate: the report cannot start: %s\n", trouble.c_str());
        return 1;
    }
    return runReportCommand(args, g.connection.db, g.connectionIni);
}

}  // namespace mg::shell
