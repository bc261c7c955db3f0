// Page-setup runs (six margins and landscape on every sheet) over 50
// generated three-sheet .xlsx workbooks and the same as .xls, against
// LibreOffice's own round trip of the .xlsx files
// (soffice --headless --convert-to xlsx, one command).  Reports seconds per
// workbook and the ratios.
#include "benchsupport.h"
#include "workbookgen.h"

#include "engines/engines.h"
#include "runs/runs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <ctime>

namespace {

runs::RunEnvironment environment()
{
    runs::RunEnvironment env;
    env.createApplication = [] { return engines::createSpreadsheetApplication(); };
    env.sleep = &runs::sleepMilliseconds;
    env.now = &runs::wallClockSeconds;
    return env;
}

void setOptions(runs::PageSetupOptions& options, const QString& folder)
{
    options.folder = folder;
    options.failedListPath = folder + QStringLiteral("/failed.txt");
    options.sheets.skipEmptySheets = true;
    options.left = options.right = {true, 2.0};
    options.top = options.bottom = {true, 2.5};
    options.header = options.footer = {true, 1.0};
    options.changeOrientation = true;
    options.orientation = 2;
}

// Seconds for a page-setup run over folder, or a negative number on failure.
double timeRun(const QString& folder, int expected)
{
    runs::PageSetupOptions options;
    setOptions(options, folder);
    runs::RunControl control;
    QElapsedTimer timer;
    timer.start();
    const runs::RunResult result =
        runs::runPageSetup(options, control, environment(), [](const runs::RunEvent&) {});
    const double seconds = timer.elapsed() / 1000.0;
    if (result.ending != runs::Ending::Normal || !result.failed.isEmpty() ||
        result.workbooks != expected) {
        std::fprintf(stderr, "page-setup run over %s: %d workbooks, %d failed\n",
                     qPrintable(folder), result.workbooks, int(result.failed.size()));
        return -1;
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int workbooks = argc > 1 ? QByteArray(argv[1]).toInt() : 50;

    QTemporaryDir xlsxDir, xlsDir, roundTrip;
    QStringList xlsx;
    for (int i = 1; i <= workbooks; ++i) {
        const QString path =
            xlsxDir.path() + QStringLiteral("/book%1.xlsx").arg(i, 3, 10, QLatin1Char('0'));
        if (!workbookgen::writeXlsx(path, {workbookgen::filledSheet("One", 30),
                                           workbookgen::filledSheet("Two", 30),
                                           workbookgen::filledSheet("Three", 30)})) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        xlsx << path;
    }
    // The .xls copies are made by LibreOffice itself (not timed).
    QStringList toXls{QStringLiteral("--convert-to"), QStringLiteral("xls"),
                      QStringLiteral("--outdir"), xlsDir.path()};
    toXls += xlsx;
    if (bench::timeSoffice(toXls) < 0) {
        std::fprintf(stderr, "cannot make the .xls copies\n");
        return 1;
    }

    QStringList convert{QStringLiteral("--convert-to"), QStringLiteral("xlsx"),
                        QStringLiteral("--outdir"), roundTrip.path()};
    convert += xlsx;
    const double theirs = bench::timeSoffice(convert);
    const double oursXlsx = timeRun(xlsxDir.path(), workbooks);
    const double oursXls = timeRun(xlsDir.path(), workbooks);

    QTextStream out(stdout);
    out << "pagesetup_bench: " << workbooks << " workbooks of 3 sheets, 6 margins + landscape\n";
    out << "  soffice --convert-to xlsx:  " << theirs << " s, " << theirs / workbooks
        << " s/workbook\n";
    out << "  quorvane page-setup .xlsx:  " << oursXlsx << " s, " << oursXlsx / workbooks
        << " s/workbook\n";
    out << "  quorvane page-setup .xls:   " << oursXls << " s, " << oursXls / workbooks
        << " s/workbook\n";
    if (theirs > 0 && oursXlsx > 0)
        out << "  round trip / .xlsx run:     " << theirs / oursXlsx << "x faster (target >= 3)\n";
    if (theirs > 0 && oursXls > 0)
        out << "  .xls run / round trip:      " << oursXls / theirs << " (target <= 1.3)\n";
    return (theirs > 0 && oursXlsx > 0 && oursXls > 0) ? 0 : 1;
}
