// A real print run through the worker object, on LibreOffice, printing to the
// cups-pdf default printer.  What arrives as PDF files is what was printed.
#include "e2esupport.h"
#include "workbookgen.h"

#include "runs/options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace workbookgen;

class TestE2EPrintRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printRun_data();
    void printRun();

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
    m_book2 = QStringLiteral("book2-%1.xlsx").arg(QCoreApplication::applicationPid());
    // Sheet1 fills two A3 pages, Empty has nothing, Data one page.
    QVERIFY(writeXlsx(d + "/" + m_book1,
                      {filledSheet("Sheet1", 150), Sheet{"Empty", {}}, filledSheet("Data", 3)}));
    QVERIFY(QDir(d).mkdir("sub"));
    QVERIFY(writeXlsx(d + "/sub/" + m_book2, {filledSheet("Alpha", 3), filledSheet("Beta", 4)}));
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
    QTest::addColumn<QList<int>>("pageCounts"); // sorted, one per PDF
    QTest::addColumn<double>("pageWidth");      // points
    QTest::addColumn<QString>("report");

    QTest::newRow("all sheets, empty one skipped, A3")
        << QString() << QString() << "A3" << QList<int>{1, 1, 1, 2} << 842.0
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

    // cups-pdf writes each job a little after it was handed over: wait for
    // the expected number, then a little longer to catch any extra job.
    auto newPdfs = [&] {
        QStringList now = e2e::pdfFiles(m_pdfFolder);
        now.erase(std::remove_if(now.begin(), now.end(),
                                 [&](const QString& f) {
                                     return before.contains(f) ||
                                            !(f.startsWith(m_book1) || f.startsWith(m_book2));
                                 }),
                  now.end());
        return now;
    };
    QTRY_COMPARE_WITH_TIMEOUT(newPdfs().size(), pageCounts.size(), 60000);
    QTest::qWait(3000);
    const QStringList pdfs = newPdfs();
    QCOMPARE(pdfs.size(), pageCounts.size());
    QList<int> counts;
    for (const QString& pdf : pdfs) {
        const e2e::PdfInfo info = e2e::pdfInfo(m_pdfFolder + "/" + pdf);
        counts << info.pages;
        QVERIFY2(qAbs(info.width - pageWidth) < 2.0,
                 qPrintable(QStringLiteral("%1: width %2").arg(pdf).arg(info.width)));
    }
    std::sort(counts.begin(), counts.end());
    QCOMPARE(counts, pageCounts);

    QCOMPARE(e2e::childProcessesNamed("soffice.bin"), 0);
}

QTEST_GUILESS_MAIN(TestE2EPrintRun)
#include "tst_e2e_printrun.moc"
