// Page-setup runs (six margins and landscape on every sheet) over generated
// three-sheet workbooks, .xlsx and the same as .xls, against LibreOffice's
// own round trip of the same files (soffice --headless --convert-to, one
// command per format).  Reports seconds per workbook and the ratios.
#include "benchsupport.h"
#include "workbookgen.h"

#include "engines/engines.h"
#include "runs/runs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

// Seconds for a page-setup run over folder, or a negative number when the
// run did not change every workbook.
double timeRun(const QString& folder, int expected)
{
    runs::PageSetupOptions options;
    options.folder = folder;
    options.failedListPath = folder + QStringLiteral("/failed.txt");
    options.sheets.skipEmptySheets = true;
    for (runs::MarginSetting* m : {&options.left, &options.right, &options.top, &options.bottom,
                                   &options.header, &options.footer})
        m->change = true;
    options.left.centimetres = options.right.centimetres = 2.0;
    options.top.centimetres = options.bottom.centimetres = 2.5;
    options.header.centimetres = options.footer.centimetres = 1.0;
    options.changeOrientation = true;
    options.orientation = spreadsheet::OrientationLandscape;

    runs::RunEnvironment env;
    env.createApplication = [] { return engines::createSpreadsheetApplication(); };
    env.sleep = runs::sleepMilliseconds;
    env.now = runs::wallClockSeconds;
    runs::RunControl control;

    QElapsedTimer timer;
    timer.start();
    const runs::RunResult result =
        runs::runPageSetup(options, control, env, [](const runs::RunEvent&) {});
    const double seconds = timer.elapsed() / 1000.0;
    if (result.ending != runs::Ending::Normal || !result.failed.isEmpty() ||
        result.workbooks != expected) {
        std::fprintf(stderr, "page-setup run over %s: %d workbooks, %d failed\n",
                     qPrintable(folder), result.workbooks, int(result.failed.size()));
        return -1;
    }
    return seconds;
}

// Seconds for soffice converting every file of from into format.
double timeRoundTrip(const QStringList& from, const QString& format)
{
    QTemporaryDir out;
    QStringList arguments{QStringLiteral("--convert-to"), format, QStringLiteral("--outdir"),
                          out.path()};
    return bench::timeSoffice(arguments + from);
}

QStringList filesIn(const QString& folder, const QString& pattern)
{
    QStringList paths;
    for (const QString& name : QDir(folder).entryList({pattern}, QDir::Files, QDir::Name))
        paths << folder + QLatin1Char('/') + name;
    return paths;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int workbooks = argc > 1 ? QByteArray(argv[1]).toInt() : 50;

    QTemporaryDir xlsxDir, xlsDir;
    for (int i = 1; i <= workbooks; ++i) {
        const QString path =
            xlsxDir.path() + QStringLiteral("/book%1.xlsx").arg(i, 3, 10, QLatin1Char('0'));
        if (!workbookgen::writeXlsx(path, {workbookgen::filledSheet("One", 30),
                                           workbookgen::filledSheet("Two", 30),
                                           workbookgen::filledSheet("Three", 30)})) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const QStringList xlsx = filesIn(xlsxDir.path(), QStringLiteral("*.xlsx"));
    // The .xls copies are made by LibreOffice itself (not timed).
    QStringList toXls{QStringLiteral("--convert-to"), QStringLiteral("xls"),
                      QStringLiteral("--outdir"), xlsDir.path()};
    if (bench::timeSoffice(toXls + xlsx) < 0) {
        std::fprintf(stderr, "cannot make the .xls copies\n");
        return 1;
    }
    const QStringList xls = filesIn(xlsDir.path(), QStringLiteral("*.xls"));

    const double theirsXlsx = timeRoundTrip(xlsx, QStringLiteral("xlsx"));
    const double theirsXls = timeRoundTrip(xls, QStringLiteral("xls"));
    const double oursXlsx = timeRun(xlsxDir.path(), workbooks);
    const double oursXls = timeRun(xlsDir.path(), workbooks);

    QTextStream out(stdout);
    out << "pagesetup_bench: " << workbooks << " workbooks of 3 sheets, 6 margins + landscape\n";
    auto line = [&](const char* what, double seconds) {
        out << "  " << what << seconds << " s, " << seconds / workbooks << " s/workbook\n";
    };
    line("soffice --convert-to xlsx:   ", theirsXlsx);
    line("soffice --convert-to xls:    ", theirsXls);
    line("quorvane page-setup .xlsx:   ", oursXlsx);
    line("quorvane page-setup .xls:    ", oursXls);
    if (theirsXlsx > 0 && oursXlsx > 0)
        out << "  .xlsx: " << theirsXlsx / oursXlsx << "x faster than the round trip (target 10)\n";
    if (theirsXls > 0 && oursXls > 0)
        out << "  .xls:  " << theirsXls / oursXls << "x faster than the round trip (target 10)\n";
    return (theirsXlsx > 0 && theirsXls > 0 && oursXlsx > 0 && oursXls > 0) ? 0 : 1;
}
