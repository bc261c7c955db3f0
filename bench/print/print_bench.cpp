// Prints 50 generated three-sheet workbooks to the PDF printer with a print
// run, and the same files with LibreOffice's own batch print
// (soffice --headless -p), and reports seconds per workbook for both, their
// ratio, and the peak memory of the spreadsheet process at workbooks 10 and 50.
#include "benchsupport.h"
#include "workbookgen.h"

#include "engines/engines.h"
#include "runs/runs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int workbooks = argc > 1 ? QByteArray(argv[1]).toInt() : 50;
    // "first": only the first sheet of each workbook, one job per workbook.
    const bool firstOnly = argc > 2 && QByteArray(argv[2]) == "first";
    const QString pdfFolder = QString::fromLocal8Bit(qgetenv("QUORVANE_PDF_DIR"));

    QTemporaryDir dir;
    QStringList paths;
    for (int i = 1; i <= workbooks; ++i) {
        const QString path =
            dir.path() + QStringLiteral("/book%1.xlsx").arg(i, 3, 10, QLatin1Char('0'));
        if (!workbookgen::writeXlsx(path, {workbookgen::filledSheet("One", 30),
                                           workbookgen::filledSheet("Two", 30),
                                           workbookgen::filledSheet("Three", 30)})) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        paths << path;
    }

    runs::PrintOptions options;
    options.workbookList = paths.join(QLatin1Char('\n'));
    options.failedListPath = dir.path() + QStringLiteral("/failed.txt");
    options.sheets.skipEmptySheets = true;
    options.sheets.onlyFirstSheet = firstOnly;
    options.paperSize = QStringLiteral("默认");

    qint64 peakAt10 = 0, peakAtLast = 0;
    int seen = 0;
    runs::RunEnvironment env;
    env.createApplication = [] { return engines::createSpreadsheetApplication(); };
    env.sleep = &runs::sleepMilliseconds;
    env.now = &runs::wallClockSeconds;
    const auto events = [&](const runs::RunEvent& event) {
        // Measured as the next workbook starts: the previous one is printed.
        if (event.type == runs::RunEvent::Type::WorkbookStarted && ++seen == 11)
            peakAt10 = bench::childPeakResidentKiB("soffice.bin");
        // Last sample just before the application quits: after the report.
        if (event.type == runs::RunEvent::Type::Report)
            peakAtLast = bench::childPeakResidentKiB("soffice.bin");
    };
    runs::RunControl control;

    const int pdfsBefore = pdfFolder.isEmpty() ? 0 : bench::countPdfs(pdfFolder);
    QElapsedTimer timer;
    timer.start();
    const runs::RunResult result = runs::runPrint(options, control, env, events);
    const double ours = timer.elapsed() / 1000.0;
    if (result.ending != runs::Ending::Normal || !result.failed.isEmpty()) {
        std::fprintf(stderr, "the print run did not end normally (%d failed)\n",
                     int(result.failed.size()));
        return 1;
    }
    int oursPdfs = -1;
    if (!pdfFolder.isEmpty())
        oursPdfs = bench::waitForPdfs(pdfFolder, pdfsBefore + result.sheets, 300) - pdfsBefore;
    if (firstOnly)
        std::printf("(only the first sheet of each workbook)\n");

    const int pdfsMiddle = pdfFolder.isEmpty() ? 0 : bench::countPdfs(pdfFolder);
    QStringList args{QStringLiteral("-p")};
    args += paths;
    const double theirs = bench::timeSoffice(args);
    int theirPdfs = -1;
    if (!pdfFolder.isEmpty())
        theirPdfs = bench::waitForPdfs(pdfFolder, pdfsMiddle + workbooks, 300) - pdfsMiddle;

    QTextStream out(stdout);
    out << "print_bench: " << workbooks << " workbooks of 3 sheets, default printer\n";
    out << "  quorvane print run:      " << ours << " s, " << ours / workbooks << " s/workbook, "
        << result.sheets << " sheets printed";
    if (oursPdfs >= 0)
        out << ", " << oursPdfs << " PDFs arrived";
    out << "\n";
    out << "  soffice --headless -p:   " << theirs << " s, " << theirs / workbooks << " s/workbook";
    if (theirPdfs >= 0)
        out << ", " << theirPdfs << " PDFs arrived";
    out << "\n";
    if (theirs > 0)
        out << "  ratio quorvane/soffice:  " << ours / theirs << " (target <= 1.2)\n";
    out << "  soffice peak memory:     " << peakAt10 / 1024 << " MiB at workbook 10, "
        << peakAtLast / 1024 << " MiB at workbook " << workbooks;
    if (peakAt10 > 0)
        out << ", growth " << 100.0 * (peakAtLast - peakAt10) / peakAt10 << " % (target < 10 %)";
    out << "\n";
    return 0;
}
