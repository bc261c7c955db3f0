// The quorvane-cli program itself against LibreOffice: PDF output, a named
// CUPS printer, page setup read back from the saved package, and SIGTERM in
// the middle of a run.  Each test skips when LibreOffice cannot be used.
#include "engines/engines.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QString sofficeBinary = QStringLiteral("/usr/lib/libreoffice/program/soffice.bin");

QString cliBinary()
{
    return QStringLiteral(QUORVANE_CLI_BINARY);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray sheetXml(const QByteArray& rows, const QByteArray& tail = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
           "<sheetData>" +
           rows + "</sheetData>" + tail + "</worksheet>";
}

// A minimal .xlsx package: Sheet1 one page, Sheet2 three pages (two manual
// row breaks), Sheet3 empty.
bool writeWorkbook(const QString& path)
{
    QTemporaryDir stage;
    if (!stage.isValid())
        return false;
    const QString s = stage.path() + QLatin1Char('/');
    const QByteArray ns = "http://schemas.openxmlformats.org";
    bool ok =
        writeFile(s + "[Content_Types].xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                  "<Types xmlns=\"" +
                      ns +
                      "/package/2006/content-types\">"
                      "<Default Extension=\"rels\" "
                      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                      "<Override PartName=\"/xl/workbook.xml\" "
                      "ContentType=\"application/"
                      "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
                      "ContentType=\"application/"
                      "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                      "<Override PartName=\"/xl/worksheets/sheet2.xml\" "
                      "ContentType=\"application/"
                      "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                      "<Override PartName=\"/xl/worksheets/sheet3.xml\" "
                      "ContentType=\"application/"
                      "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                      "</Types>");
    ok = ok && writeFile(s + "_rels/.rels",
                         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                         "<Relationships xmlns=\"" +
                             ns +
                             "/package/2006/relationships\">"
                             "<Relationship Id=\"rId1\" Type=\"" +
                             ns +
                             "/officeDocument/2006/relationships/officeDocument\" "
                             "Target=\"xl/workbook.xml\"/>"
                             "</Relationships>");
    ok = ok && writeFile(s + "xl/workbook.xml",
                         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                         "<workbook xmlns=\"" +
                             ns +
                             "/spreadsheetml/2006/main\" "
                             "xmlns:r=\"" +
                             ns +
                             "/officeDocument/2006/relationships\"><sheets>"
                             "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>"
                             "<sheet name=\"Sheet2\" sheetId=\"2\" r:id=\"rId2\"/>"
                             "<sheet name=\"Sheet3\" sheetId=\"3\" r:id=\"rId3\"/>"
                             "</sheets></workbook>");
    QByteArray rels = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                      "<Relationships xmlns=\"" +
                      ns + "/package/2006/relationships\">";
    for (int i = 1; i <= 3; ++i)
        rels += "<Relationship Id=\"rId" + QByteArray::number(i) + "\" Type=\"" + ns +
                "/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet" +
                QByteArray::number(i) + ".xml\"/>";
    rels += "</Relationships>";
    ok = ok && writeFile(s + "xl/_rels/workbook.xml.rels", rels);
    ok = ok &&
         writeFile(s + "xl/worksheets/sheet1.xml", sheetXml("<row r=\"1\"><c r=\"A1\"><v>11</v></c>"
                                                            "<c r=\"B1\"><v>12</v></c></row>"));
    ok = ok && writeFile(s + "xl/worksheets/sheet2.xml",
                         sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                                  "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row>"
                                  "<row r=\"3\"><c r=\"A3\"><v>3</v></c></row>",
                                  "<rowBreaks count=\"2\" manualBreakCount=\"2\">"
                                  "<brk id=\"1\" max=\"16383\" man=\"1\"/>"
                                  "<brk id=\"2\" max=\"16383\" man=\"1\"/></rowBreaks>"));
    ok = ok && writeFile(s + "xl/worksheets/sheet3.xml", sheetXml(QByteArray()));
    if (!ok)
        return false;
    QFile::remove(path);
    QProcess zip;
    zip.setWorkingDirectory(stage.path());
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-X"),
                                      QStringLiteral("-r"), path, QStringLiteral(".")});
    return zip.waitForFinished(30000) && zip.exitCode() == 0 && QFileInfo::exists(path);
}

struct Finished
{
    int code = -1;
    QString out;
    QString err;
};

// The texts looked for are the Chinese ones, whatever the system's language.
const QStringList chinese{QStringLiteral("--lang"), QStringLiteral("zh")};

Finished runCli(const QStringList& args)
{
    QProcess process;
    process.start(cliBinary(), args + chinese);
    Finished result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("did not finish");
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

int pdfPages(const QString& path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    if (!info.waitForFinished(30000) || info.exitCode() != 0)
        return -1;
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                   QRegularExpression::MultilineOption);
    const auto match = pages.match(QString::fromUtf8(info.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// File name -> page count of every PDF in the folder.
QMap<QString, int> pdfsIn(const QString& folder)
{
    QMap<QString, int> pdfs;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    for (const QString& name : names)
        pdfs.insert(name, pdfPages(folder + QLatin1Char('/') + name));
    return pdfs;
}

QString unzipEntry(const QString& package, const QString& entry)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), package, entry});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return QString();
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

// Attribute of the first element of that name in an XML text.
QString attribute(const QString& xml, const QString& element, const QString& name)
{
    const QRegularExpression tag(QStringLiteral("<(?:\\w+:)?") + element +
                                 QStringLiteral("\\b[^>]*>"));
    const QString found = tag.match(xml).captured(0);
    const QRegularExpression attr(QStringLiteral("\\b") + name + QStringLiteral("=\"([^\"]*)\""));
    return attr.match(found).captured(1);
}

// Every process below pid whose command is soffice.bin.
QList<qint64> officeDescendants(qint64 root)
{
    QMap<qint64, qint64> parentOf;
    QMap<qint64, QString> commandOf;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLocal8Bit(stat.readAll());
        const int open = text.indexOf(QLatin1Char('('));
        const int close = text.lastIndexOf(QLatin1Char(')'));
        const QStringList rest = text.mid(close + 2).split(QLatin1Char(' '));
        if (open < 0 || close < 0 || rest.size() < 2)
            continue;
        commandOf.insert(pid, text.mid(open + 1, close - open - 1));
        parentOf.insert(pid, rest.at(1).toLongLong());
    }
    QList<qint64> found;
    for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
        qint64 up = it.value();
        for (int depth = 0; depth < 10 && up > 1; ++depth) {
            if (up == root) {
                if (commandOf.value(it.key()).startsWith(QLatin1String("soffice")))
                    found.append(it.key());
                break;
            }
            up = parentOf.value(up, 0);
        }
    }
    return found;
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QString text = QString::fromLocal8Bit(stat.readAll());
    return text.mid(text.lastIndexOf(QLatin1Char(')')) + 2, 1) == QLatin1String("Z");
}

} // namespace

class TestCliLibreOffice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void printToPdf();
    void reportOnRealWorkbooks();
    void printToNamedPrinter();
    void pageSetupReadBack();
    void sigtermStopsTheRun();

private:
    bool m_usable = false;
    QString m_whyNot;
    QTemporaryDir m_dir;
    QString m_folder; // a.csv and multi.xlsx
};

void TestCliLibreOffice::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QFileInfo(cliBinary()).isExecutable());
    if (!QFileInfo::exists(sofficeBinary)) {
        m_whyNot = QStringLiteral("LibreOffice is not installed");
        return;
    }
    std::unique_ptr<spreadsheet::Application> app = engines::createSpreadsheetApplication();
    app->start();
    m_usable = app->workbooks() != nullptr;
    app->quit();
    if (!m_usable) {
        m_whyNot = QStringLiteral("the LibreOffice layer has no workbooks collection");
        return;
    }
    m_folder = m_dir.filePath(QStringLiteral("books"));
    QVERIFY(writeFile(m_folder + QStringLiteral("/a.csv"), "alpha,1\nbeta,2\n"));
    QVERIFY(writeWorkbook(m_folder + QStringLiteral("/multi.xlsx")));
}

void TestCliLibreOffice::printToPdf()
{
    if (!m_usable)
        QSKIP(qPrintable(m_whyNot));

    // Every sheet of both workbooks; Sheet3 is empty and skipped.  A dry run
    // first: the pages it counts are the pages then printed, and it prints
    // nothing.
    const QString all = m_dir.filePath(QStringLiteral("pdf-all"));
    const Finished dry = runCli({QStringLiteral("print"), m_folder, QStringLiteral("--pdf"), all,
                                 QStringLiteral("--dry-run")});
    QVERIFY2(dry.code == 0, qPrintable(dry.err));
    QCOMPARE(pdfsIn(all).size(), 0);
    QMap<QString, int> counted;
    const QStringList dryLines = dry.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : dryLines.mid(0, dryLines.size() - 1)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 3);
        counted.insert(QFileInfo(fields[0]).completeBaseName() + QStringLiteral(" - ") + fields[1] +
                           QStringLiteral(".pdf"),
                       fields[2].section(QLatin1Char(' '), 0, 0).toInt());
    }
    QCOMPARE(dryLines.value(dryLines.size() - 1), QStringLiteral("2 个工作簿，3 个表，5 页"));
    // Temporary PDF files that a killed run left: an old one is removed, a
    // young one (another run going on) is left.
    QVERIFY(QDir().mkpath(all));
    const QString stale = all + QStringLiteral("/.~quorvane-Old123.pdf");
    const QString young = all + QStringLiteral("/.~quorvane-New456.pdf");
    for (const QString& path : {stale, young}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (path == stale)
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
    }
    // The report tells the pages read back from the written files.
    const QString report = m_dir.filePath(QStringLiteral("pdf-all.csv"));
    const Finished first = runCli({QStringLiteral("print"), m_folder, QStringLiteral("--pdf"), all,
                                   QStringLiteral("--report"), report});
    QVERIFY2(first.code == 0, qPrintable(first.err));
    QFile reportFile(report);
    QVERIFY(reportFile.open(QIODevice::ReadOnly));
    int reportedPages = 0;
    for (const QByteArray& row : reportFile.readAll().split('\n').mid(1))
        reportedPages += row.split(',').value(3).toInt();
    QCOMPARE(reportedPages, 5);
    QVERIFY(!QFile::exists(stale) && QFile::exists(young));
    QVERIFY2(first.out.startsWith(QStringLiteral("成功打印2个工作簿的3个sheet。")),
             qPrintable(first.out));
    const QMap<QString, int> pdfs = pdfsIn(all);
    QCOMPARE(pdfs.size(), 3);
    QStringList sheets;
    for (auto it = pdfs.cbegin(); it != pdfs.cend(); ++it) {
        if (it.key().endsWith(QLatin1String(" - Sheet1.pdf")))
            QCOMPARE(it.value(), 1);
        else if (it.key().endsWith(QLatin1String(" - Sheet2.pdf")))
            QCOMPARE(it.value(), 3);
        else
            QCOMPARE(it.value(), 1); // the .csv's only sheet
        sheets << it.key();
    }
    QVERIFY2(sheets.filter(QStringLiteral("Sheet2")).size() == 1, qPrintable(sheets.join('|')));
    QCOMPARE(counted, pdfs);

    // A range of one named sheet: one PDF with the range's single page.
    const QString range = m_dir.filePath(QStringLiteral("pdf-range"));
    const Finished second =
        runCli({QStringLiteral("print"), m_folder, QStringLiteral("--pdf"), range,
                QStringLiteral("--sheets"), QStringLiteral("Sheet2"), QStringLiteral("--range"),
                QStringLiteral("A1:A1"), QStringLiteral("--quiet")});
    QVERIFY2(second.code == 0, qPrintable(second.err));
    QCOMPARE(second.err, QString());
    const QMap<QString, int> rangePdfs = pdfsIn(range);
    QCOMPARE(rangePdfs.size(), 1);
    QVERIFY(rangePdfs.firstKey().endsWith(QLatin1String(" - Sheet2.pdf")));
    QCOMPARE(rangePdfs.first(), 1);
}

void TestCliLibreOffice::reportOnRealWorkbooks()
{
    if (!m_usable)
        QSKIP(qPrintable(m_whyNot));
    // A good workbook, a damaged one, and a listed one that is not there.
    const QString folder = m_dir.filePath(QStringLiteral("report"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeWorkbook(folder + QStringLiteral("/good.xlsx")));
    QVERIFY(writeFile(folder + QStringLiteral("/broken.xlsx"), QByteArray(3000, 'x')));
    const QString list = folder + QStringLiteral("/list.txt");
    QVERIFY(
        writeFile(list, (folder + QStringLiteral("/broken.xlsx\n") + folder +
                         QStringLiteral("/gone.xlsx\n") + folder + QStringLiteral("/good.xlsx\n"))
                            .toUtf8()));
    const QString report = folder + QStringLiteral("/report.csv");
    const Finished done = runCli({QStringLiteral("print"), folder, QStringLiteral("--list"), list,
                                  QStringLiteral("--pdf"), folder + QStringLiteral("/pdf"),
                                  QStringLiteral("--report"), report});
    QCOMPARE(done.code, 1);
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(
        QString::fromUtf8(file.readAll()),
        QStringLiteral("path,outcome,sheets,pages,reason\r\n") + folder +
            QStringLiteral("/broken.xlsx,failed,0,0,\"damaged: plain text, not a workbook\"\r\n") +
            folder + QStringLiteral("/gone.xlsx,skipped,0,0,not-found\r\n") + folder +
            QStringLiteral("/good.xlsx,done,2,4,\r\n"));
}

void TestCliLibreOffice::printToNamedPrinter()
{
    if (!m_usable)
        QSKIP(qPrintable(m_whyNot));
    const QString spool = qEnvironmentVariable("QUORVANE_PDF_DIR");
    if (spool.isEmpty() || !QFileInfo(spool).isDir())
        QSKIP("QUORVANE_PDF_DIR is not set: no cups-pdf printer to print to");

    const QSet<QString> before = [&] {
        const QStringList names = QDir(spool).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        return QSet<QString>(names.cbegin(), names.cend());
    }();
    const QString folder = m_dir.filePath(QStringLiteral("printer"));
    QVERIFY(writeFile(folder + QStringLiteral("/cliprintercheck.csv"), "one,1\n"));
    const Finished done = runCli({QStringLiteral("print"), folder, QStringLiteral("--printer"),
                                  QStringLiteral("QuorvanePDF")});
    QVERIFY2(done.code == 0, qPrintable(done.err));
    QVERIFY(done.out.startsWith(QStringLiteral("成功打印1个工作簿的1个sheet。")));

    // cups-pdf writes the file a little after the job was handed over; other
    // tests may print at the same time, so look for any new PDF.
    QString arrived;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QStringList names =
                QDir(spool).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
            for (const QString& name : names) {
                if (!before.contains(name) && pdfPages(spool + QLatin1Char('/') + name) > 0) {
                    arrived = name;
                    return true;
                }
            }
            return false;
        }(),
        60000);
    QVERIFY(!arrived.isEmpty());
}

void TestCliLibreOffice::pageSetupReadBack()
{
    if (!m_usable)
        QSKIP(qPrintable(m_whyNot));
    const QString folder = m_dir.filePath(QStringLiteral("setup"));
    const QString book = folder + QStringLiteral("/setup.xlsx");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeWorkbook(book));

    const QStringList options{QStringLiteral("--left"),        QStringLiteral("2"),
                              QStringLiteral("--right"),       QStringLiteral("1.5"),
                              QStringLiteral("--top"),         QStringLiteral("3"),
                              QStringLiteral("--bottom"),      QStringLiteral("2.54"),
                              QStringLiteral("--header"),      QStringLiteral("1"),
                              QStringLiteral("--footer"),      QStringLiteral("0.8"),
                              QStringLiteral("--orientation"), QStringLiteral("landscape"),
                              QStringLiteral("--sheets"),      QStringLiteral("Sheet2")};
    // A dry run tells from what to what, and writes nothing.
    const QDateTime written = QFileInfo(book).lastModified();
    const QByteArray bytes = [&] {
        QFile f(book);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const Finished dry = runCli(
        QStringList{QStringLiteral("page-setup"), folder, QStringLiteral("--dry-run")} + options);
    QVERIFY2(dry.code == 0, qPrintable(dry.err));
    QVERIFY2(dry.out.contains(QStringLiteral("\tSheet2\t左 1.78 -> 2.00 厘米")) &&
                 dry.out.contains(QStringLiteral("纸张方向 纵向 -> 横向")),
             qPrintable(dry.out));
    QCOMPARE(QFileInfo(book).lastModified(), written);
    QFile unchanged(book);
    QVERIFY(unchanged.open(QIODevice::ReadOnly));
    QCOMPARE(unchanged.readAll(), bytes);

    const Finished done = runCli(QStringList{QStringLiteral("page-setup"), folder} + options);
    QVERIFY2(done.code == 0, qPrintable(done.err));
    QVERIFY2(done.out.startsWith(QStringLiteral("成功修改1个工作簿的1个sheet。")),
             qPrintable(done.out));

    // Find Sheet2's part through the workbook and its relationships.
    const QString workbook = unzipEntry(book, QStringLiteral("xl/workbook.xml"));
    const QString rels = unzipEntry(book, QStringLiteral("xl/_rels/workbook.xml.rels"));
    const QRegularExpression sheet2(QStringLiteral("<sheet [^>]*name=\"Sheet2\"[^>]*>"));
    const QString sheetTag = sheet2.match(workbook).captured(0);
    QVERIFY2(!sheetTag.isEmpty(), qPrintable(workbook));
    const QString rid = attribute(sheetTag, QStringLiteral("sheet"), QStringLiteral("r:id"));
    const QRegularExpression rel(QStringLiteral("<Relationship [^>]*Id=\"") + rid +
                                 QStringLiteral("\"[^>]*>"));
    QString target = attribute(rel.match(rels).captured(0), QStringLiteral("Relationship"),
                               QStringLiteral("Target"));
    QVERIFY2(!target.isEmpty(), qPrintable(rels));
    if (target.startsWith(QLatin1Char('/')))
        target = target.mid(1);
    else
        target = QStringLiteral("xl/") + target;
    const QString xml = unzipEntry(book, target);

    const struct
    {
        const char* name;
        double cm;
    } margins[] = {{"left", 2},      {"right", 1.5}, {"top", 3},
                   {"bottom", 2.54}, {"header", 1},  {"footer", 0.8}};
    for (const auto& margin : margins) {
        const QString inches =
            attribute(xml, QStringLiteral("pageMargins"), QLatin1String(margin.name));
        QVERIFY2(!inches.isEmpty(), margin.name);
        QVERIFY2(qAbs(inches.toDouble() * 2.54 - margin.cm) < 0.02,
                 qPrintable(QLatin1String(margin.name) + QLatin1Char(' ') + inches));
    }
    QCOMPARE(attribute(xml, QStringLiteral("pageSetup"), QStringLiteral("orientation")),
             QStringLiteral("landscape"));
}

void TestCliLibreOffice::sigtermStopsTheRun()
{
    if (!m_usable)
        QSKIP(qPrintable(m_whyNot));
    const QString folder = m_dir.filePath(QStringLiteral("stop"));
    for (int i = 1; i <= 4; ++i)
        QVERIFY(writeFile(folder + QStringLiteral("/book%1.csv").arg(i), "x,1\n"));
    const QString pdf = m_dir.filePath(QStringLiteral("pdf-stop"));

    QProcess process;
    process.start(cliBinary(),
                  QStringList{QStringLiteral("print"), folder, QStringLiteral("--pdf"), pdf,
                              QStringLiteral("--workbook-delay"), QStringLiteral("1")} +
                      chinese);
    QVERIFY(process.waitForStarted());
    // Wait until the first workbook is being printed: the office runs then.
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT(
        (err += QString::fromUtf8(process.readAllStandardError()),
         err.contains(QStringLiteral("book1.csv")) || process.state() == QProcess::NotRunning),
        60000);
    QVERIFY2(process.state() == QProcess::Running, qPrintable(err));
    // The office is started as the workbook is opened, just after its name is shown.
    QTRY_VERIFY_WITH_TIMEOUT(!officeDescendants(process.processId()).isEmpty(), 10000);
    const QList<qint64> offices = officeDescendants(process.processId());

    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(60000));
    err += QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QVERIFY2(err.trimmed().endsWith(QStringLiteral("已停止")), qPrintable(err));
    QVERIFY(!err.contains(QStringLiteral("book4.csv")));
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), QString());
    // The program quit its office before it exited.
    for (qint64 pid : offices)
        QVERIFY2(processGone(pid), qPrintable(QString::number(pid)));
}

QTEST_GUILESS_MAIN(TestCliLibreOffice)
#include "tst_clilibreoffice.moc"
