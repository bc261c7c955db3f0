// A real print run through the worker object, on LibreOffice, printing to the
// cups-pdf default printer.  What arrives as PDF files is what was printed.
#include "e2esupport.h"
#include "workbookgen.h"

#include "runcontrol/services.h"
#include "runs/options.h"
#include "runs/runs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>

using namespace workbookgen;

class TestE2EPrintRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printRun_data();
    void printRun();
    // Two offices side by side: the jobs go out, and the PDF files get their
    // names, in the order of the list.
    void twoOfficesKeepTheOrder_data();
    void twoOfficesKeepTheOrder();

private:
    QTemporaryDir m_dir;
    QString m_pdfFolder;
    // Workbook names carry this process's id: the printer names its PDF files
    // after the document, so jobs of other programs can be told apart.
    QString m_book1, m_book2;
};

void TestE2EPrintRun::initTestCase()
{
    m_pdfFolder = e2e::pdfPrinterFolder();
    if (m_pdfFolder.isEmpty())
        QSKIP("no PDF printer folder (QUORVANE_PDF_DIR); run through ./test.sh");
    if (!QFile::exists(QStringLiteral("/usr/lib/libreoffice/program/soffice.bin")))
        QSKIP("LibreOffice is not installed");
    // The failure list is checked here, not shown in an editor.
    QVERIFY(m_dir.isValid());
    const QString d = m_dir.path();
    m_book1 = QStringLiteral("book1-%1.xlsx").arg(QCoreApplication::applicationPid());
    // book2 is an .xls written by LibreOffice's own converter.
    m_book2 = QStringLiteral("book2-%1.xls").arg(QCoreApplication::applicationPid());
    // Sheet1 fills two A3 pages, Empty has nothing, Data one page.
    QVERIFY(writeXlsx(d + "/" + m_book1,
                      {filledSheet("Sheet1", 150), Sheet{"Empty", {}}, filledSheet("Data", 3)}));
    QVERIFY(QDir(d).mkdir("sub"));
    QVERIFY(QDir(d).mkdir("xlsx"));
    QVERIFY(
        writeXlsx(d + "/xlsx/" + m_book2 + "x", {filledSheet("Alpha", 3), filledSheet("Beta", 4)}));
    QVERIFY(e2e::sofficeConvert(d + "/xlsx/" + m_book2 + "x", "xls", d + "/sub"));
    QFile corrupt(d + "/broken.xlsx");
    QVERIFY(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(QByteArray(4096, '\x17'));
    corrupt.close();
    QVERIFY(writeCsv(d + "/~$book1.xlsx", {{"lock"}}));
}

void TestE2EPrintRun::printRun_data()
{
    QTest::addColumn<QString>("sheetNames"); // empty: every sheet
    QTest::addColumn<QString>("range");      // empty: whole sheets
    QTest::addColumn<QString>("paper");
    QTest::addColumn<QList<int>>("pageCounts"); // of each workbook's jobs, in order
    QTest::addColumn<double>("pageWidth");      // points
    QTest::addColumn<QString>("report");

    // The sheets of a workbook go out in one job: Sheet1 and Data, then
    // Alpha and Beta.
    QTest::newRow("all sheets, empty one skipped, A3")
        << QString() << QString() << "A3" << QList<int>{3, 2} << 842.0
        << QStringLiteral("成功打印3个工作簿的4个sheet。");
    QTest::newRow("named sheets, a range, A5")
        << "Data||Beta||Nope"
        << "A1:B2"
        << "A5" << QList<int>{1, 1} << 420.0 << QStringLiteral("成功打印3个工作簿的2个sheet。");
}

void TestE2EPrintRun::printRun()
{
    QFETCH(QString, sheetNames);
    QFETCH(QString, range);
    QFETCH(QString, paper);
    QFETCH(QList<int>, pageCounts);
    QFETCH(double, pageWidth);
    QFETCH(QString, report);

    const QString d = m_dir.path();
    runs::PrintOptions options;
    options.workbookList = QStringList{d + "/" + m_book1, d + "/broken.xlsx", d + "/~$book1.xlsx",
                                       d + "/sub/" + m_book2}
                               .join('\n');
    options.failedListPath = d + "/" + runs::failedListFileName();
    QFile::remove(options.failedListPath);
    options.sheets.skipEmptySheets = true;
    options.sheets.appointedSheetsOnly = !sheetNames.isEmpty();
    options.sheets.appointedSheetNames = sheetNames;
    options.sheets.onlyFirstSheet = false;
    options.printRangeOnly = !range.isEmpty();
    options.printRange = range;
    options.sheetDelaySeconds = 0;
    options.workbookDelaySeconds = 0;
    options.paperSize = paper;

    const QStringList before = e2e::pdfFiles(m_pdfFolder);

    const QStringList texts = e2e::runWorker(options);
    QVERIFY2(!texts.isEmpty(), "the run did not end");

    QVERIFY2(!texts.isEmpty() && texts.last().startsWith(report), qPrintable(texts.join(" | ")));
    QVERIFY(texts.contains(QStringLiteral("excel OK!")));
    QVERIFY(texts.contains(QStringLiteral("WorkBooks OK!")));
    QVERIFY(!texts.contains(QDir::toNativeSeparators(d + "/~$book1.xlsx")));

    // The corrupt workbook, and only it, is in the failure list.
    const QByteArray failed = e2e::fileBytes(options.failedListPath);
    QCOMPARE(failed, QFile::encodeName(QDir::toNativeSeparators(d + "/broken.xlsx")) + "\n");

    // The jobs in the order the print system took them: the workbooks in
    // the order of the list, every page on the chosen paper.
    const QStringList jobs =
        e2e::spooledJobs(m_pdfFolder, {m_book1, m_book2}, pageCounts.size(), before);
    QCOMPARE(jobs.size(), pageCounts.size());
    QList<int> counts;
    for (const QString& pdf : jobs) {
        const e2e::PdfInfo info = e2e::pdfInfo(m_pdfFolder + "/" + pdf);
        counts << info.pages;
        for (const QSizeF& size : std::as_const(info.sizes))
            QVERIFY2(qAbs(size.width() - pageWidth) < 2.0,
                     qPrintable(QStringLiteral("%1: width %2").arg(pdf).arg(size.width())));
    }
    QCOMPARE(counts, pageCounts);
    QVERIFY(jobs.first().startsWith(m_book1) && jobs.last().startsWith(m_book2));

    QCOMPARE(e2e::childProcessesNamed("soffice.bin"), 0);
}

void TestE2EPrintRun::twoOfficesKeepTheOrder_data()
{
    QTest::addColumn<bool>("pdf");
    QTest::newRow("printer") << false;
    QTest::newRow("PDF folder") << true;
}

void TestE2EPrintRun::twoOfficesKeepTheOrder()
{
    QFETCH(bool, pdf);
    // Six workbooks of two sheets, their page counts differing from the
    // next one's; the last two have one name in two folders.
    QTemporaryDir dir, out;
    const QString prefix = QStringLiteral("order%1-").arg(QCoreApplication::applicationPid());
    const int rows[] = {3, 150, 60, 300, 3, 150};
    QStringList paths;
    for (int i = 0; i < 6; ++i) {
        const QString folder = dir.path() + (i < 4 ? "" : i == 4 ? "/a" : "/b");
        QVERIFY(QDir().mkpath(folder));
        paths << QDir::toNativeSeparators(folder + "/" + prefix +
                                          (i < 4 ? QString::number(i + 1) : "same") + ".xlsx");
        QVERIFY(
            writeXlsx(paths.last(), {filledSheet("S", rows[i]), filledSheet("T", rows[5 - i])}));
    }
    runs::PrintOptions options;
    options.workbookList = paths.join('\n');
    options.paperSize = QStringLiteral("A4");
    if (pdf)
        options.target = {spreadsheet::PrintTarget::PdfDirectory, out.path()};
    runs::RunEnvironment env = runcontrol::desktopServices().environment;
    env.showFailedList = nullptr;
    env.applications = 2;
    runs::RunControl control;
    QStringList started;
    QMap<QString, int> pages; // "path|sheet" -> pages
    int offices = 0;
    const QStringList before = e2e::pdfFiles(m_pdfFolder);
    const runs::RunResult result =
        runs::runPrint(options, control, env, [&](const runs::RunEvent& event) {
            offices = qMax(offices, e2e::childProcessesNamed("soffice.bin"));
            if (event.type == runs::RunEvent::Type::WorkbookStarted)
                started << event.path;
            if (event.type == runs::RunEvent::Type::SheetDone)
                pages.insert(event.path + "|" + event.sheet, event.pages);
        });
    QCOMPARE(result.ending, runs::Ending::Normal);
    QCOMPARE(result.sheets, 12);
    QCOMPARE(started, paths);
    QCOMPARE(offices, qMin(2, QThread::idealThreadCount()));
    const auto pagesOf = [&](int i, const char* sheet) {
        return pages.value(paths[i] + "|" + sheet);
    };

    if (!pdf) {
        // One job per workbook, in the order of the list.
        const QStringList jobs = e2e::spooledJobs(m_pdfFolder, {prefix}, 6, before);
        QCOMPARE(jobs.size(), 6);
        for (int i = 0; i < 6; ++i) {
            QVERIFY2(jobs[i].startsWith(QFileInfo(paths[i]).fileName()), qPrintable(jobs[i]));
            QCOMPARE(e2e::pdfInfo(m_pdfFolder + "/" + jobs[i]).pages,
                     pagesOf(i, "S") + pagesOf(i, "T"));
        }
    } else {
        // One file per sheet; of two files of one name, the first workbook's
        // is the one without a number.
        QCOMPARE(e2e::pdfFiles(out.path()).size(), 12);
        for (int i = 0; i < 6; ++i) {
            for (const char* sheet : {"S", "T"}) {
                const QString name = QFileInfo(paths[i]).completeBaseName() + " - " + sheet +
                                     (i == 5 ? " (2)" : "") + ".pdf";
                QCOMPARE(e2e::pdfInfo(out.path() + "/" + name).pages, pagesOf(i, sheet));
            }
        }
    }
    QVERIFY(pagesOf(4, "S") != pagesOf(5, "S"));
    QCOMPARE(e2e::childProcessesNamed("soffice.bin"), 0);
}

QTEST_GUILESS_MAIN(TestE2EPrintRun)
#include "tst_e2e_printrun.moc"
