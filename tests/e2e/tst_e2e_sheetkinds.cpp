// Print runs on LibreOffice over every kind of sheet real workbooks hold, on
// workbooks generated at test time (make_workbooks.py, Debian's openpyxl):
// what is printed, with how many pages, what is listed and why; page counts
// against what the cups-pdf printer produces; CSV files as their makers saw
// them.
#include "e2esupport.h"

#include "engines/engines.h"
#include "runcontrol/services.h"
#include "runs/runs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using spreadsheet::FailureKind;
using spreadsheet::SheetVisibility;

Q_DECLARE_METATYPE(spreadsheet::FailureKind)

namespace {

struct Run
{
    runs::RunResult result;
    QMap<QString, int> pages; // "book - sheet" -> pages the run reported
};

Run printRun(const QStringList& workbooks, const spreadsheet::PrintTarget& target,
             const QString& paper = QString(), const QString& sheetNames = QString())
{
    runs::PrintOptions options;
    options.workbookList = workbooks.join(QLatin1Char('\n'));
    options.failedListPath = QDir::temp().filePath(QStringLiteral("quorvane-e2e-failed.txt"));
    options.sheets.appointedSheetsOnly = !sheetNames.isEmpty();
    options.sheets.appointedSheetNames = sheetNames;
    options.paperSize = paper;
    options.target = target;
    runs::RunEnvironment env = runcontrol::desktopServices().environment;
    env.showFailedList = nullptr;
    runs::RunControl control;
    Run run;
    run.result = runs::runPrint(options, control, env, [&run](const runs::RunEvent& event) {
        if (event.type == runs::RunEvent::Type::SheetDone)
            run.pages.insert(QFileInfo(event.path).completeBaseName() + QStringLiteral(" - ") +
                                 event.sheet,
                             event.pages);
    });
    QFile::remove(options.failedListPath);
    return run;
}

QString pdfText(const QString& path, bool boxes = false)
{
    QProcess p;
    QStringList args{path, QStringLiteral("-")};
    if (boxes)
        args.prepend(QStringLiteral("-bbox"));
    p.start(QStringLiteral("pdftotext"), args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Left and right edge of a word on the page of an LibreOffice PDF.
QPair<double, double> wordEdges(const QString& bboxHtml, const QString& word)
{
    const QRegularExpression re(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\" "
                       "yMax=\"[\\d.]+\">%1</word>")
            .arg(QRegularExpression::escape(word.toHtmlEscaped())));
    const auto m = re.match(bboxHtml);
    return m.hasMatch() ? qMakePair(m.captured(1).toDouble(), m.captured(2).toDouble())
                        : qMakePair(-1.0, -1.0);
}

} // namespace

class TestE2ESheetKinds : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everySheet_data();
    void everySheet();
    void countsMatchThePrinter_data();
    void countsMatchThePrinter();
    // Which sheets share a print job, and that every page comes out once.
    void printJobs_data();
    void printJobs();
    void csvAsWritten();

private:
    QString file(const QString& suffix) const { return m_dir.filePath(m_prefix + suffix); }
    QTemporaryDir m_dir;
    QString m_prefix;
};

void TestE2ESheetKinds::initTestCase()
{
    if (!QFile::exists(QStringLiteral("/usr/lib/libreoffice/program/soffice.bin")))
        QSKIP("LibreOffice is not installed");
    QVERIFY(m_dir.isValid());
    // Print jobs are named after the workbooks: the process id keeps them
    // apart from other programs' jobs on a shared printer.
    m_prefix = QStringLiteral("kinds%1").arg(QCoreApplication::applicationPid());
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(QUORVANE_E2E_WORKBOOK_SCRIPT), m_dir.path(), m_prefix});
    QVERIFY(python.waitForFinished(60000));
    if (python.exitCode() != 0 &&
        python.readAllStandardError().contains("No module named 'openpyxl'"))
        QSKIP("python3-openpyxl is not installed");
    QCOMPARE(python.exitCode(), 0);
    QVERIFY(e2e::sofficeConvert(file(QStringLiteral("-kinds.xlsx")), QStringLiteral("xls"),
                                m_dir.path()));
}

void TestE2ESheetKinds::everySheet_data()
{
    QTest::addColumn<QString>("workbook");
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<FailureKind>("failure");
    QTest::addColumn<QString>("veryHidden"); // its visibility as the engine reports it

    // Not printed: Cover and Secret (hidden, very hidden), Veiled (content
    // only in hidden rows and columns), Merged (merged cells, nothing else).
    const QStringList kinds{"Chart", "Far", "Framed", "Locked", "Long", "Visible"};
    QTest::newRow("xlsx") << "-kinds.xlsx" << kinds << FailureKind::None << "Secret=very hidden";
    // The office writes no "very hidden" into .xls, and the chart sheet as an
    // empty worksheet, its chart lost.
    QTest::newRow("the same saved by LibreOffice as xls")
        << "-kinds.xls" << QStringList(kinds.mid(1)) << FailureKind::None << "Secret=hidden";
    // Macro2 is hidden; the dialog sheet cannot be printed and says so.
    QTest::newRow("Excel 4 macro sheets and a dialog sheet")
        << "-macros.xlsm" << QStringList{"Data", "Macro1"} << FailureKind::UnsupportedFormat
        << "Macro2=hidden";
}

void TestE2ESheetKinds::everySheet()
{
    QFETCH(QString, workbook);
    QFETCH(QStringList, printed);
    QFETCH(FailureKind, failure);
    QFETCH(QString, veryHidden);
    QTemporaryDir out;
    const QString path = file(workbook);
    const Run run = printRun({path}, {spreadsheet::PrintTarget::PdfDirectory, out.path()});

    const QString book = QFileInfo(path).completeBaseName();
    QStringList expected;
    for (const QString& sheet : printed)
        expected << book + QStringLiteral(" - ") + sheet + QStringLiteral(".pdf");
    QCOMPARE(e2e::pdfFiles(out.path()), expected);
    for (const QString& pdf : expected) {
        const QString sheet = QFileInfo(pdf).completeBaseName();
        // The pages the run counted are the pages printed.
        QCOMPARE(e2e::pdfInfo(out.filePath(pdf)).pages, run.pages.value(sheet));
        // Never a page of a sheet that is not to be printed.
        const QString text = pdfText(out.filePath(pdf));
        for (const char* hidden : {"cover", "secret", "in a hidden"})
            QVERIFY2(!text.contains(QLatin1String(hidden)), qPrintable(pdf));
    }
    if (workbook.endsWith(QLatin1String("kinds.xlsx"))) {
        QVERIFY(pdfText(out.filePath(book + QStringLiteral(" - Far.pdf")))
                    .contains(QLatin1String("far 1")));
        QCOMPARE(run.pages.value(book + QStringLiteral(" - Long")), 4);
    }
    QCOMPARE(run.result.failed.size(), failure == FailureKind::None ? 0 : 1);
    if (failure != FailureKind::None)
        QCOMPARE(run.result.failed.first().failure.kind, failure);

    // Visibility and drawings as the engine reports them.
    const auto app = engines::createSpreadsheetApplication();
    app->start();
    QVERIFY(app->workbooks());
    auto wb = app->workbooks()->open(path, spreadsheet::OpenMode::ReadOnly);
    QVERIFY(wb);
    QMap<QString, QString> reported;
    for (int i = 1; i <= wb->sheetCount(); ++i) {
        auto ws = wb->worksheet(i);
        QVERIFY(ws);
        const SheetVisibility v = ws->visibility();
        reported.insert(ws->name(), v == SheetVisibility::Visible  ? QStringLiteral("visible")
                                    : v == SheetVisibility::Hidden ? QStringLiteral("hidden")
                                                                   : QStringLiteral("very hidden"));
        if ((ws->name() == QLatin1String("Chart") && printed.contains(ws->name())) ||
            ws->name() == QLatin1String("Dialog1"))
            QVERIFY(ws->hasDrawings());
    }
    QCOMPARE(reported.value(veryHidden.section(QLatin1Char('='), 0, 0)),
             veryHidden.section(QLatin1Char('='), 1));
    if (workbook.contains(QLatin1String("kinds")))
        QCOMPARE(reported.value(QStringLiteral("Cover")), QStringLiteral("hidden"));
    wb->close();
    app->quit();
}

void TestE2ESheetKinds::countsMatchThePrinter_data()
{
    QTest::addColumn<QString>("paper");
    QTest::addColumn<int>("copies"); // collated
    QTest::newRow("the sheets' own paper") << "" << 1;
    QTest::newRow("A5") << "A5" << 1;
    QTest::newRow("A3, two collated copies") << "A3" << 2;
}

void TestE2ESheetKinds::countsMatchThePrinter()
{
    QFETCH(QString, paper);
    QFETCH(int, copies);
    const QString spool = e2e::pdfPrinterFolder();
    if (spool.isEmpty())
        QSKIP("no PDF printer folder (QUORVANE_PDF_DIR); run through ./test.sh");
    const QString path = file(QStringLiteral("-kinds.xlsx"));
    const QString sheets = QStringLiteral("Long||Far||Chart");
    spreadsheet::PrintTarget target;
    target.copies = copies;
    target.collate = true;
    const QStringList before = e2e::pdfFiles(spool);

    target.countOnly = true;
    const Run counted = printRun({path}, target, paper, sheets);
    QCOMPARE(counted.pages.size(), 3);
    target.countOnly = false;
    const Run printed = printRun({path}, target, paper, sheets);
    QCOMPARE(printed.pages, counted.pages);

    // The three sheets, on one paper, go out in one job; copies are made by
    // the print system per job, so with copies each sheet has its own.
    const int jobCount = copies > 1 ? 3 : 1;
    const QStringList jobs = e2e::spooledJobs(spool, {m_prefix}, jobCount, before);
    QCOMPARE(jobs.size(), jobCount);
    int spooled = 0;
    for (const QString& pdf : jobs)
        spooled += e2e::pdfInfo(QDir(spool).filePath(pdf)).pages;
    int expected = 0;
    for (const int pages : counted.pages)
        expected += pages * copies;
    QCOMPARE(spooled, expected);
}

void TestE2ESheetKinds::printJobs_data()
{
    QTest::addColumn<QString>("workbook");
    QTest::addColumn<QStringList>("jobs"); // the sheets of each job, in order
    // Page numbers that start anew on a page style of their own can share a
    // job; "of &N" (the pages of the whole job) and other paper cannot.
    QTest::newRow("footers and paper")
        << "-footers.xlsx" << QStringList{"Numbered Again", "Counted", "Wide", "Plain"};
    // Selected together in the file: still each sheet once.
    QTest::newRow("sheets saved selected together")
        << "-grouped.xlsx" << QStringList{"One Two Three"};
}

void TestE2ESheetKinds::printJobs()
{
    QFETCH(QString, workbook);
    QFETCH(QStringList, jobs);
    const QString spool = e2e::pdfPrinterFolder();
    if (spool.isEmpty())
        QSKIP("no PDF printer folder (QUORVANE_PDF_DIR); run through ./test.sh");
    const QString path = file(workbook);
    const QString book = QFileInfo(path).completeBaseName();
    const QStringList before = e2e::pdfFiles(spool);
    spreadsheet::PrintTarget target;
    target.countOnly = true;
    const Run counted = printRun({path}, target);
    target.countOnly = false;
    const Run printed = printRun({path}, target);
    QCOMPARE(printed.pages, counted.pages);

    const QStringList spooled = e2e::spooledJobs(spool, {book}, jobs.size(), before);
    QCOMPARE(spooled.size(), jobs.size());
    for (int i = 0; i < jobs.size(); ++i) {
        int pages = 0;
        for (const QString& sheet : jobs[i].split(QLatin1Char(' ')))
            pages += counted.pages.value(book + QStringLiteral(" - ") + sheet);
        const e2e::PdfInfo info = e2e::pdfInfo(QDir(spool).filePath(spooled[i]));
        QCOMPARE(info.pages, pages);
        for (const QSizeF& size : std::as_const(info.sizes))
            QCOMPARE(qRound(size.width()), jobs[i] == QLatin1String("Wide") ? 842 : 595);
    }
}

void TestE2ESheetKinds::csvAsWritten()
{
    QTemporaryDir out;
    const Run run =
        printRun({file(QStringLiteral("-gbk.csv")), file(QStringLiteral("-cp1252.csv"))},
                 {spreadsheet::PrintTarget::PdfDirectory, out.path()});
    QCOMPARE(run.result.failed.size(), 0);
    const QString gbk = pdfText(
        out.filePath(m_prefix + QStringLiteral("-gbk - ") + m_prefix + QStringLiteral("-gbk.pdf")),
        true);
    const QString western = pdfText(out.filePath(m_prefix + QStringLiteral("-cp1252 - ") +
                                                 m_prefix + QStringLiteral("-cp1252.pdf")),
                                    true);
    // Every text as written: the characters of its code page, leading zeros,
    // long account numbers, formula-like texts not evaluated.
    for (const char* word :
         {"张三", "工号", "00123", "6222021234567890123", "=1+1", "-5+3", "1234.5", "-20", "3.75"})
        QVERIFY2(wordEdges(gbk, QString::fromUtf8(word)).first >= 0, word);
    for (const char* word : {"Müller", "Köln", "Genève", "Århus", "007", "042", "12.5"})
        QVERIFY2(wordEdges(western, QString::fromUtf8(word)).first >= 0, word);
    // Numbers right-aligned, texts left-aligned, as in a spreadsheet.
    auto right = [](const QString& page, const QString& word) {
        return wordEdges(page, word).second;
    };
    auto left = [](const QString& page, const QString& word) {
        return wordEdges(page, word).first;
    };
    QVERIFY(qAbs(right(gbk, QStringLiteral("1234.5")) - right(gbk, QStringLiteral("-20"))) < 1);
    QVERIFY(qAbs(right(gbk, QStringLiteral("3.75")) - right(gbk, QStringLiteral("-20"))) < 1);
    QVERIFY(qAbs(right(western, QStringLiteral("12.5")) - right(western, QStringLiteral("1000"))) <
            1);
    QVERIFY(qAbs(left(western, QStringLiteral("12.5")) - left(western, QStringLiteral("1000"))) >
            3);
    QVERIFY(qAbs(left(western, QString::fromUtf8("Müller")) -
                 left(western, QString::fromUtf8("Dupré"))) < 1);
}

QTEST_GUILESS_MAIN(TestE2ESheetKinds)
#include "tst_e2e_sheetkinds.moc"
