// Print runs against LibreOffice's own batch printing, in one run:
//  - 50 generated three-sheet workbooks, then 50 one-sheet workbooks, printed
//    to the default printer by a print run and by soffice --headless -p (one
//    command): seconds per workbook and their ratio;
//  - the three-sheet workbooks written as PDF files (one per sheet) by a print
//    run, against soffice --headless --convert-to pdf (one per workbook);
//  - the office's peak memory over a long run (500 workbooks by default,
//    written as PDF files), at workbook 10 and at the last, per office.
// Each comparison runs ROUNDS times, ours and theirs in turn (A B A B), and
// the medians are compared; the print system has written every job of one
// run before the next run starts.  The print runs use as many offices side
// by side as the machine has cores (JOBS to choose).
//
//   print_bench [WORKBOOKS [LONG_RUN_WORKBOOKS [ROUNDS [JOBS]]]]
#include "benchsupport.h"
#include "workbookgen.h"

#include "engines/engines.h"
#include "runs/runs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
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
    int offices = 0; // the most office processes at once
    QList<qint64> peakAt10KiB;
    QList<qint64> peakAtEndKiB;
};

// A print run over paths to target; negative seconds when it failed.
Timed timePrintRun(const QStringList& paths, const spreadsheet::PrintTarget& target, int jobs)
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
    env.applications = jobs;
    const auto events = [&](const runs::RunEvent& event) {
        // The offices are counted every tenth workbook only: reading /proc
        // is part of the time measured.
        if (event.type == runs::RunEvent::Type::WorkbookStarted && ++started % 10 == 1) {
            const QList<qint64> peaks = bench::childPeakResidentKiBEach("soffice.bin");
            timed.offices = std::max(timed.offices, int(peaks.size()));
            // Taken as the workbook after the tenth is told of: the tenth is
            // printed.
            if (started == 11)
                timed.peakAt10KiB = peaks;
        }
        // Just before the offices quit: after the report.
        if (event.type == runs::RunEvent::Type::Report) {
            timed.peakAtEndKiB = bench::childPeakResidentKiBEach("soffice.bin");
            timed.offices = std::max(timed.offices, int(timed.peakAtEndKiB.size()));
        }
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

double median(QList<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const int n = int(values.size());
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString mib(const QList<qint64>& kib)
{
    QStringList each;
    for (const qint64 k : kib)
        each << QString::number(k / 1024);
    return each.isEmpty() ? QStringLiteral("?") : each.join(QLatin1Char('+'));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int workbooks = argc > 1 ? QByteArray(argv[1]).toInt() : 50;
    const int longRun = argc > 2 ? QByteArray(argv[2]).toInt() : 500;
    const int rounds = std::max(1, argc > 3 ? QByteArray(argv[3]).toInt() : 3);
    const int jobs = argc > 4 ? QByteArray(argv[4]).toInt() : runs::defaultApplications();
    const QString spool = QString::fromLocal8Bit(qgetenv("QUORVANE_PDF_DIR"));
    QTextStream out(stdout);

    QTemporaryDir three, one, many;
    const QStringList threeSheets = writeWorkbooks(three.path(), workbooks, 3);
    const QStringList oneSheet = writeWorkbooks(one.path(), workbooks, 1);
    if (threeSheets.isEmpty() || oneSheet.isEmpty())
        return 1;

    out << "print_bench: " << workbooks << " workbooks, default printer"
        << (spool.isEmpty() ? "" : " (PDFs counted in QUORVANE_PDF_DIR)") << ", " << jobs
        << " office(s) side by side, medians of " << rounds << " rounds\n";
    out.flush();
    for (const auto& [label, paths, sheetsEach] : {std::make_tuple("three sheets", threeSheets, 3),
                                                   std::make_tuple("one sheet", oneSheet, 1)}) {
        QList<double> ours, theirs;
        int arrived = -1;
        int sheets = 0;
        int offices = 0;
        for (int round = 0; round < rounds; ++round) {
            const int before = spool.isEmpty() ? 0 : bench::countPdfs(spool);
            const Timed run = timePrintRun(paths, {}, jobs);
            if (run.seconds < 0)
                return 1;
            ours << run.seconds / workbooks;
            sheets = run.sheets;
            offices = std::max(offices, run.offices);
            if (!spool.isEmpty()) {
                // One job per workbook, or more; wait until none comes any more.
                int now = bench::waitForPdfs(spool, before + workbooks, 300);
                for (int settled = -1; settled != now;) {
                    settled = now;
                    now = bench::waitForPdfs(spool, now + 1, 3);
                }
                arrived = now - before;
            }
            const int middle = spool.isEmpty() ? 0 : bench::countPdfs(spool);
            theirs << bench::timeSoffice(QStringList{QStringLiteral("-p")} + paths) / workbooks;
            if (!spool.isEmpty())
                bench::waitForPdfs(spool, middle + workbooks, 300);
        }
        const double o = median(ours), t = median(theirs);
        out << "  " << label << ": quorvane " << o << " s/workbook (" << sheets << " sheets";
        if (arrived >= 0)
            out << ", " << arrived << " jobs arrived";
        out << ", " << offices << " offices), soffice -p " << t << " s/workbook, ratio "
            << (t > 0 ? o / t : -1) << " (target <= 1.0; " << sheetsEach << " sheet"
            << (sheetsEach > 1 ? "s" : "") << " each)\n";
        out.flush();
    }

    // PDF files: one per printed sheet from us, one per workbook from soffice.
    QList<double> oursPdf, theirsPdf;
    int pdfsOurs = 0, pdfsTheirs = 0;
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir pdfOurs, pdfTheirs;
        const Timed run = timePrintRun(
            threeSheets, {spreadsheet::PrintTarget::PdfDirectory, pdfOurs.path()}, jobs);
        if (run.seconds < 0)
            return 1;
        oursPdf << run.seconds / workbooks;
        theirsPdf << bench::timeSoffice(QStringList{QStringLiteral("--convert-to"),
                                                    QStringLiteral("pdf"),
                                                    QStringLiteral("--outdir"), pdfTheirs.path()} +
                                        threeSheets) /
                         workbooks;
        pdfsOurs = bench::countPdfs(pdfOurs.path());
        pdfsTheirs = bench::countPdfs(pdfTheirs.path());
    }
    const double o = median(oursPdf), t = median(theirsPdf);
    out << "  PDF files: quorvane " << o << " s/workbook (" << pdfsOurs
        << " PDFs), soffice --convert-to pdf " << t << " s/workbook (" << pdfsTheirs
        << " PDFs), speed-up " << (o > 0 ? t / o : -1) << " (target >= 1.6)\n";
    out.flush();

    // A long run: each office's memory must stay flat.
    const QStringList longPaths = writeWorkbooks(many.path(), longRun, 3);
    QTemporaryDir longPdfs;
    const Timed lasting =
        timePrintRun(longPaths, {spreadsheet::PrintTarget::PdfDirectory, longPdfs.path()}, jobs);
    out << "  long run of " << longRun << " workbooks (PDF files): " << lasting.seconds / longRun
        << " s/workbook; at most " << lasting.offices << " offices at once; peak memory per office "
        << mib(lasting.peakAt10KiB) << " MiB at workbook 10, " << mib(lasting.peakAtEndKiB)
        << " MiB at workbook " << longRun << "\n";
    return 0;
}
