// Times the LibreOffice spreadsheet application: session start and quit, and
// per workbook open+close, open+save (margins on three sheets) and
// open+print-one-sheet over generated workbooks, against LibreOffice's own
// command line over the same files (one command for all files, private
// profile, warmed up).
//
//   automation_bench [--count N] [--cups]
//
// Without --cups both sides print to files (the layer: its PDF folder
// target; the command line: --print-to-file); with --cups both print to the
// default CUPS printer.
#include "engines/libreoffice/libreofficeapplication.h"
#include "workbookfactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>

using namespace spreadsheet;
using engines::lo::LibreOfficeApplication;

namespace {

const QString kSoffice = QStringLiteral(QUORVANE_LO_PROGRAM_DIR "/soffice");

double seconds(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e9;
}

// One soffice command over all files with a private profile; seconds.
double runCli(const QString& profile, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList all{QStringLiteral("-env:UserInstallation=") +
                        QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
                    QStringLiteral("--headless"), QStringLiteral("--norestore")};
    all += args;
    QElapsedTimer t;
    t.start();
    p.start(kSoffice, all);
    if (!p.waitForFinished(600000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    return seconds(t);
}

// Resident memory of a process in MB, from /proc.
double residentMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& l : status.readAll().split('\n')) {
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

void line(const char* what, double total, int n)
{
    std::printf("%-44s %8.3f s total %8.4f s per workbook\n", what, total, total / n);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 50;
    bool cups = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--count") && i + 1 < args.size())
            count = args[++i].toInt();
        else if (args[i] == QLatin1String("--cups"))
            cups = true;
    }
    QTemporaryDir dir;
    const QString books = dir.filePath(QStringLiteral("books"));
    const QString saved = dir.filePath(QStringLiteral("saved"));
    const QString pdf = dir.filePath(QStringLiteral("pdf"));
    const QString cliOut = dir.filePath(QStringLiteral("cli"));
    for (const QString& d : {books, saved, pdf, cliOut})
        QDir().mkpath(d);

    // Session start and quit.
    const int sessions = 5;
    double startTotal = 0, quitTotal = 0, firstStart = 0;
    for (int i = 0; i < sessions; ++i) {
        LibreOfficeApplication a;
        QElapsedTimer t;
        t.start();
        a.start();
        if (!a.workbooks()) {
            std::fprintf(stderr, "LibreOffice cannot be started\n");
            return 1;
        }
        if (i == 0)
            firstStart = seconds(t);
        else
            startTotal += seconds(t);
        t.restart();
        a.quit();
        quitTotal += seconds(t);
    }
    std::printf("first session start (profile set-up)         %8.3f s\n", firstStart);
    std::printf("later session start (copied profile), mean   %8.3f s\n",
                startTotal / (sessions - 1));
    std::printf("session quit                                 %8.3f s\n", quitTotal / sessions);

    LibreOfficeApplication office;
    office.start();
    QStringList files;
    {
        QList<testsupport::SheetSpec> sheets;
        for (int s = 1; s <= 3; ++s) {
            testsupport::SheetSpec spec;
            spec.name = QStringLiteral("Sheet%1").arg(s);
            for (int r = 1; r <= 40; ++r) {
                for (int c = 0; c < 6; ++c)
                    spec.cells.append({QStringLiteral("%1%2").arg(QChar('A' + c)).arg(r),
                                       QString::number(r * 10 + c)});
            }
            sheets.append(spec);
        }
        const QString first = QDir(books).filePath(QStringLiteral("book001.xlsx"));
        if (!testsupport::makeWorkbook(*office.session(), first, sheets))
            return 1;
        files << first;
        for (int i = 2; i <= count; ++i) {
            const QString p =
                QDir(books).filePath(QStringLiteral("book%1.xlsx").arg(i, 3, 10, QChar('0')));
            QFile::copy(first, p);
            files << p;
        }
    }
    for (const QString& f : files)
        QFile::copy(f, QDir(saved).filePath(QFileInfo(f).fileName()));
    std::printf("workbooks: %d generated .xlsx, 3 sheets of 40 x 6 cells\n", count);
    const double rssStart = residentMb(office.processId());

    QElapsedTimer t;
    t.start();
    int failures = 0;
    for (const QString& f : files) {
        auto wb = office.workbooks()->open(f, OpenMode::ReadOnly);
        failures += !wb;
    }
    const double openClose = seconds(t);
    const double rssAfterOpen = residentMb(office.processId());

    t.restart();
    for (const QString& f : files) {
        auto wb = office.workbooks()->open(QDir(saved).filePath(QFileInfo(f).fileName()),
                                           OpenMode::ForEditing);
        if (!wb) {
            ++failures;
            continue;
        }
        for (int s = 1; s <= 3; ++s) {
            auto ps = wb->worksheet(s)->pageSetup();
            ps->setLeftMargin(36);
            ps->setTopMargin(54);
            ps->setOrientation(OrientationLandscape);
        }
        failures += !wb->save();
    }
    const double openSave = seconds(t);
    const double rssAfterSave = residentMb(office.processId());

    office.setPrintTarget(cups ? PrintTarget{} : PrintTarget{PrintTarget::PdfDirectory, pdf});
    t.restart();
    for (const QString& f : files) {
        auto wb = office.workbooks()->open(f, OpenMode::ReadOnly);
        if (!wb) {
            ++failures;
            continue;
        }
        failures += wb->worksheet(2)->printOut().outcome != PrintResult::Printed;
    }
    const double openPrint = seconds(t);
    const double rssAfterPrint = residentMb(office.processId());
    office.quit();

    // LibreOffice's own command line, one command for all files, profile
    // created beforehand so that its first-start cost is not counted.
    const QString profile = dir.filePath(QStringLiteral("cli-profile"));
    runCli(profile, {QStringLiteral("--convert-to"), QStringLiteral("csv"),
                     QStringLiteral("--outdir"), cliOut, files.first()});
    const double cliConvert =
        runCli(profile, QStringList{QStringLiteral("--convert-to"), QStringLiteral("xlsx"),
                                    QStringLiteral("--outdir"), cliOut} +
                            files);
    const double cliPrint = cups ? runCli(profile, QStringList{QStringLiteral("-p")} + files)
                                 : runCli(profile, QStringList{QStringLiteral("--print-to-file"),
                                                               QStringLiteral("--outdir"), cliOut} +
                                                       files);

    std::printf("\nlayer (one office, start excluded):\n");
    line("open + close (read-only)", openClose, count);
    line("open + margins/orientation 3 sheets + save", openSave, count);
    line(cups ? "open + print one sheet (CUPS default)" : "open + print one sheet (PDF folder)",
         openPrint, count);
    std::printf("LibreOffice command line (one command, start included):\n");
    line("--convert-to xlsx", cliConvert, count);
    line(cups ? "-p (all sheets, CUPS default)" : "--print-to-file (all sheets)", cliPrint, count);
    std::printf("ratios (layer / command line):\n");
    std::printf("  open+save  / convert-to  %6.2f\n", openSave / cliConvert);
    std::printf("  open+close / convert-to  %6.2f\n", openClose / cliConvert);
    std::printf("  open+print / print       %6.2f\n", openPrint / cliPrint);
    std::printf("office memory (RSS): %.0f MB after generating, %.0f after open+close, %.0f after "
                "open+save, %.0f after open+print\n",
                rssStart, rssAfterOpen, rssAfterSave, rssAfterPrint);
    std::printf("failures: %d\n", failures);
    return failures == 0 ? 0 : 2;
}
