// Print runs against LibreOffice's own batch printing, in one run:
//  - 50 generated three-sheet workbooks, then 50 one-sheet workbooks, printed
//    to the default printer by a print run and by soffice --headless -p (one
//    command): seconds per workbook and their ratio;
//  - the three-sheet workbooks written as PDF files (one per sheet) by a print
//    run, against soffice --headless --convert-to pdf (one per workbook);
//  - the office's peak memory over a long run (500 workbooks by default,
//    written as PDF files), at workbook 10 and at the last.
//
//   print_bench [WORKBOOKS [LONG_RUN_WORKBOOKS]]
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

QStringList writeWorkbooks(const QString& folder, int count, int sheets)
{
    QStringList paths;
    const char* const names[] = {"One", "Two", "Three"};
    for (int i = 1; i <= count; ++i) {
        const QString path =
            folder + QStringLiteral("/book%1.xlsx").arg(i, 3, 10, QLatin1Char('0'));
        QList<workbookgen::Sheet> content;
        for (int s = 0; s < sheets; ++s)
            content << workbookgen::filledSheet(QLatin1String(names[s % 3]), 30);
        if (!workbookgen::writeXlsx(path, content)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return {};
        }
        paths << path;
    }
    return paths;
}

struct Timed
{
    double seconds = -1;
    int sheets = 0;
    qint64 peakAt10KiB = 0;
    qint64 peakAtEndKiB = 0;
};

// A print run over paths to target; negative seconds when it failed.
Timed timePrintRun(const QStringList& paths, const spreadsheet::PrintTarget& target)
{
    runs::PrintOptions options;
    options.workbookList = paths.join(QLatin1Char('\n'));
    options.sheets.skipEmptySheets = true;
    options.paperSize = QStringLiteral("默认");
    options.target = target;

    Timed timed;
    int started = 0;
    runs::RunEnvironment env;
    env.createApplication = [] { return engines::createSpreadsheetApplication(); };
    env.sleep = &runs::sleepMilliseconds;
    env.now = &runs::wallClockSeconds;
    const auto events = [&](const runs::RunEvent& event) {
        // Taken as the next workbook starts: the previous one is printed.
        if (event.type == runs::RunEvent::Type::WorkbookStarted && ++started == 11)
            timed.peakAt10KiB = bench::childPeakResidentKiB("soffice.bin");
        // Just before the office quits: after the report.
        if (event.type == runs::RunEvent::Type::Report)
            timed.peakAtEndKiB = bench::childPeakResidentKiB("soffice.bin");
    };
    runs::RunControl control;
    QElapsedTimer timer;
    timer.start();
    const runs::RunResult result = runs::runPrint(options, control, env, events);
    if (result.ending != runs::Ending::Normal || !result.failed.isEmpty()) {
        std::fprintf(stderr, "the print run did not end normally (%d failed)\n",
                     int(result.failed.size()));
        return timed;
    }
    timed.seconds = timer.elapsed() / 1000.0;
    timed.sheets = result.sheets;
    return timed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int workbooks = argc > 1 ? QByteArray(argv[1]).toInt() : 50;
    const int longRun = argc > 2 ? QByteArray(argv[2]).toInt() : 500;
    const QString spool = QString::fromLocal8Bit(qgetenv("QUORVANE_PDF_DIR"));
    QTextStream out(stdout);

    QTemporaryDir three, one, pdfOurs, pdfTheirs, many;
    const QStringList threeSheets = writeWorkbooks(three.path(), workbooks, 3);
    const QStringList oneSheet = writeWorkbooks(one.path(), workbooks, 1);
    if (threeSheets.isEmpty() || oneSheet.isEmpty())
        return 1;

    out << "print_bench: " << workbooks << " workbooks, default printer"
        << (spool.isEmpty() ? "" : " (PDFs counted in QUORVANE_PDF_DIR)") << "\n";
    for (const auto& [label, paths, sheetsEach] : {std::make_tuple("three sheets", threeSheets, 3),
                                                   std::make_tuple("one sheet", oneSheet, 1)}) {
        const int before = spool.isEmpty() ? 0 : bench::countPdfs(spool);
        const Timed ours = timePrintRun(paths, {});
        if (ours.seconds < 0)
            return 1;
        int arrived = -1;
        if (!spool.isEmpty())
            arrived = bench::waitForPdfs(spool, before + ours.sheets, 300) - before;
        const int middle = spool.isEmpty() ? 0 : bench::countPdfs(spool);
        const double theirs = bench::timeSoffice(QStringList{QStringLiteral("-p")} + paths);
        if (!spool.isEmpty())
            bench::waitForPdfs(spool, middle + workbooks, 300);
        out << "  " << label << ": quorvane " << ours.seconds / workbooks << " s/workbook ("
            << ours.sheets << " sheets";
        if (arrived >= 0)
            out << ", " << arrived << " jobs arrived";
        out << "), soffice -p " << theirs / workbooks << " s/workbook, ratio "
            << (theirs > 0 ? ours.seconds / theirs : -1) << " (target <= 1.0; " << sheetsEach
            << " sheet" << (sheetsEach > 1 ? "s" : "") << " each)\n";
    }

    // PDF files: one per printed sheet from us, one per workbook from soffice.
    const Timed oursPdf =
        timePrintRun(threeSheets, {spreadsheet::PrintTarget::PdfDirectory, pdfOurs.path()});
    const double theirsPdf =
        bench::timeSoffice(QStringList{QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                                       QStringLiteral("--outdir"), pdfTheirs.path()} +
                           threeSheets);
    out << "  PDF files: quorvane " << oursPdf.seconds / workbooks << " s/workbook ("
        << bench::countPdfs(pdfOurs.path()) << " PDFs), soffice --convert-to pdf "
        << theirsPdf / workbooks << " s/workbook (" << bench::countPdfs(pdfTheirs.path())
        << " PDFs), speed-up " << (oursPdf.seconds > 0 ? theirsPdf / oursPdf.seconds : -1)
        << " (target >= 1.6)\n";

    // A long run: the office's memory must stay flat.
    const QStringList longPaths = writeWorkbooks(many.path(), longRun, 3);
    QTemporaryDir longPdfs;
    const Timed lasting =
        timePrintRun(longPaths, {spreadsheet::PrintTarget::PdfDirectory, longPdfs.path()});
    out << "  long run of " << longRun << " workbooks (PDF files): " << lasting.seconds / longRun
        << " s/workbook; office peak memory " << lasting.peakAt10KiB / 1024
        << " MiB at workbook 10, " << lasting.peakAtEndKiB / 1024 << " MiB at workbook " << longRun
        << "\n";
    return 0;
}
