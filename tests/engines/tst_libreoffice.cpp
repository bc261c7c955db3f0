// The LibreOffice spreadsheet application against a real office, on
// workbooks the tests build themselves through the same office.
#include "engines/engines.h"
#include "engines/libreoffice/libreofficeapplication.h"
#include "platform/editblocker.h"
#include "workbookfactory.h"
#include "workbookgen.h"

#include <rtl/textenc.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace spreadsheet;
using engines::lo::LibreOfficeApplication;
using testsupport::SheetSpec;

using CellList = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(spreadsheet::FailureKind)

namespace {

bool processExists(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// Only the parts of a /proc/<pid>/stat line after the command name.
QChar processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return QChar();
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() ? QChar(line.at(close + 2)) : QChar();
}

// "system user,host" as the office writes them into its lock files.
QByteArray ownLockIdentity(const QByteArray& host = QByteArray())
{
    const passwd* user = ::getpwuid(::geteuid());
    return QByteArray(user ? user->pw_name : "") + ',' +
           (host.isEmpty() ? QSysInfo::machineHostName().toLocal8Bit() : host);
}

int pdfPages(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(30000))
        return -1;
    const QRegularExpression re(QStringLiteral("^Pages:\\s+(\\d+)"),
                                QRegularExpression::MultilineOption);
    const auto m = re.match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QStringList pdfFiles(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

// Values of one attribute-bearing element of a sheet's XML inside a package.
QMap<QString, QString> sheetXmlAttributes(const QString& package, int sheet, const QString& element)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), package,
                                      QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)});
    p.waitForFinished(30000);
    const QString xml = QString::fromUtf8(p.readAllStandardOutput());
    QMap<QString, QString> attrs;
    const QRegularExpression el(QStringLiteral("<%1\\s([^>]*)/?>").arg(element));
    const auto m = el.match(xml);
    if (!m.hasMatch())
        return attrs;
    const QRegularExpression attr(QStringLiteral("(\\w+)=\"([^\"]*)\""));
    auto it = attr.globalMatch(m.captured(1));
    while (it.hasNext()) {
        const auto a = it.next();
        attrs.insert(a.captured(1), a.captured(2));
    }
    return attrs;
}

QList<SheetSpec> threeSheets()
{
    SheetSpec first{
        QStringLiteral("First"), {{QStringLiteral("A1"), QStringLiteral("one")}}, {}, false, {}};
    SheetSpec second{QStringLiteral("Second"), {}, {}, false, {}};
    // Enough rows for two printed pages, so its printout is told from the others.
    for (int r = 1; r <= 90; ++r)
        second.cells.append({QStringLiteral("A%1").arg(r), QStringLiteral("row %1").arg(r)});
    SheetSpec third{
        QStringLiteral("Third"), {{QStringLiteral("B2"), QStringLiteral("3")}}, {}, false, {}};
    return {first, second, third};
}

} // namespace

class TestLibreOffice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void sheetsAndNames_data();
    void sheetsAndNames();
    void usedRangeAndCells_data();
    void usedRangeAndCells();
    void csvTextsAsWritten_data();
    void csvTextsAsWritten();
    void csvColumnsAndEncoding_data();
    void csvColumnsAndEncoding();
    void unopenable_data();
    void unopenable();
    void editingRefused_data();
    void editingRefused();
    void ranges_data();
    void ranges();

    void pageSetupXlsRoundTrip();
    void pageSetupXlsxInPackage();
    void csvSaveLeavesBytes();
    void htmlNamedXlsOpensButIsNotRewritten();
    void sharedPageStyleIsSplit();

    void printToPdfDirectory();
    void printNothingForEmptyOrHidden_data();
    void printNothingForEmptyOrHidden();
    void printToDefaultPrinter();
    void printToNamedPrinter_data();
    void printToNamedPrinter();

    void killedOfficeIsDetected();
    void stoppedOfficeIsDetected_data();
    void stoppedOfficeIsDetected();
    void busyOfficeIsLeftAlone();
    void lockFileOfEarlierRunIsRemoved();
    void officeIsRecycledBetweenWorkbooks_data();
    void officeIsRecycledBetweenWorkbooks();
    void quitLeavesNoProcess();
    void unusableWhenNeverStarted();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString makeOrFail(const QString& name, const QList<SheetSpec>& sheets,
                       const QString& password = QString());

    QTemporaryDir m_dir;
    std::unique_ptr<LibreOfficeApplication> m_app;
};

QString TestLibreOffice::makeOrFail(const QString& name, const QList<SheetSpec>& sheets,
                                    const QString& password)
{
    const QString p = path(name);
    if (!QFileInfo::exists(p) && !testsupport::makeWorkbook(*m_app->session(), p, sheets, password))
        return QString();
    return p;
}

void TestLibreOffice::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_app = std::make_unique<LibreOfficeApplication>();
    m_app->start();
    if (!m_app->workbooks())
        QSKIP("LibreOffice cannot be started here");
    QVERIFY(m_app->session());
}

void TestLibreOffice::cleanupTestCase()
{
    if (m_app)
        m_app->quit();
}

void TestLibreOffice::sheetsAndNames_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("xlsx") << "names.xlsx" << QStringList{"First", "Second", "Third"};
    QTest::newRow("xls") << "names.xls" << QStringList{"First", "Second", "Third"};
    QTest::newRow("csv, one sheet named after the file") << "names.csv" << QStringList{"names"};
    QTest::newRow("non-ASCII file name and folder")
        << QString::fromUtf8("中文 目录/工资 表#1.xlsx") << QStringList{"First", "Second", "Third"};
}

void TestLibreOffice::sheetsAndNames()
{
    QFETCH(QString, file);
    QFETCH(QStringList, names);
    QDir().mkpath(QFileInfo(path(file)).absolutePath());
    const QString p = makeOrFail(file, threeSheets());
    QVERIFY(!p.isEmpty());
    QTemporaryDir pdfs;
    m_app->setPrintTarget({PrintTarget::PdfDirectory, pdfs.path()}); // loaded without a view
    auto viewless = m_app->workbooks()->open(QDir::toNativeSeparators(p), OpenMode::ReadOnly);
    m_app->setPrintTarget({});
    auto wb = m_app->workbooks()->open(QDir::toNativeSeparators(p), OpenMode::ReadOnly);
    QVERIFY(wb && viewless);
    QCOMPARE(wb->sheetCount(), names.size());
    QCOMPARE(viewless->sheetCount(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        auto ws = wb->worksheet(i + 1);
        QVERIFY(ws);
        QCOMPARE(ws->name(), names[i]);
        QCOMPARE(viewless->worksheet(i + 1)->name(), names[i]);
    }
    viewless.reset();
    QVERIFY(!wb->worksheet(0));
    QVERIFY(!wb->worksheet(names.size() + 1));
    wb->close();
    QCOMPARE(wb->sheetCount(), -1); // closed: nothing answers any more
}

void TestLibreOffice::usedRangeAndCells_data()
{
    QTest::addColumn<CellList>("cells");
    QTest::addColumn<QStringList>("blanks");
    QTest::addColumn<QList<int>>("used"); // row, column, rows, columns
    QTest::addColumn<QString>("firstText");
    using Cells = CellList;
    QTest::newRow("empty sheet") << Cells{} << QStringList{} << QList<int>{1, 1, 1, 1} << "";
    QTest::newRow("A1 holding 0") << Cells{{"A1", "0"}} << QStringList{} << QList<int>{1, 1, 1, 1}
                                  << "0";
    QTest::newRow("one blank formatted cell")
        << Cells{} << QStringList{"C4"} << QList<int>{4, 3, 1, 1} << "";
    QTest::newRow("two blank formatted cells")
        << Cells{} << QStringList{"B2", "C2"} << QList<int>{2, 2, 1, 2} << "";
    QTest::newRow("block away from A1")
        << Cells{{"C3", "x"}, {"D5", "y"}} << QStringList{} << QList<int>{3, 3, 3, 2} << "x";
    QTest::newRow("displayed value of a formula")
        << Cells{{"B2", "=1+1"}} << QStringList{} << QList<int>{2, 2, 1, 1} << "2";
}

void TestLibreOffice::usedRangeAndCells()
{
    QFETCH(CellList, cells);
    QFETCH(QStringList, blanks);
    QFETCH(QList<int>, used);
    QFETCH(QString, firstText);
    const QString file =
        QStringLiteral("used-%1.xlsx").arg(QTest::currentDataTag()).replace(' ', '_');
    const QString p = makeOrFail(file, {SheetSpec{QStringLiteral("S"), cells, blanks, false, {}}});
    QVERIFY(!p.isEmpty());
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    auto ur = ws->usedRange();
    QVERIFY(ur);
    QCOMPARE((QList<int>{ur->row(), ur->column(), ur->rowCount(), ur->columnCount()}), used);
    auto cell = ws->cell(ur->row(), ur->column());
    QVERIFY(cell);
    QCOMPARE(cell->valueText(), firstText);
    QVERIFY(!ws->cell(0, 1));
    QVERIFY(!ws->cell(1, 16385));
}

void TestLibreOffice::csvTextsAsWritten_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("texts"); // A1, B1, C1
    QTest::newRow("leading zeros and formulas kept")
        << QByteArray("00123,=1+1,1.50\n") << QStringList{"00123", "=1+1", "1.50"};
    QTest::newRow("utf-8 without BOM") << QByteArray("\xe4\xb8\xad\xe6\x96\x87,b,c\n")
                                       << QStringList{QString::fromUtf8("中文"), "b", "c"};
    QTest::newRow("utf-8 with BOM") << QByteArray("\xef\xbb\xbf\xc3\xa9t\xc3\xa9,b,c\n")
                                    << QStringList{QString::fromUtf8("été"), "b", "c"};
    QTest::newRow("quoted comma") << QByteArray("\"a,b\",c,d\n") << QStringList{"a,b", "c", "d"};
    QTest::newRow("semicolon is no separator")
        << QByteArray("a;b,c,d\n") << QStringList{"a;b", "c", "d"};
    // Not UTF-8: the locale's Windows code page (Western here).
    const QString locale = QLocale::system().name();
    if (locale == QLatin1String("C") || locale.startsWith(QLatin1String("en")))
        QTest::newRow("latin-1 bytes")
            << QByteArray("caf\xe9,b,c\n") << QStringList{QString::fromUtf8("café"), "b", "c"};
}

void TestLibreOffice::csvTextsAsWritten()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, texts);
    const QString p =
        path(QStringLiteral("text-%1.csv").arg(QTest::currentDataTag()).replace(' ', '_'));
    QFile f(p);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    for (int c = 0; c < texts.size(); ++c) {
        auto cell = ws->cell(1, c + 1);
        QVERIFY(cell);
        QCOMPARE(cell->valueText(), texts[c]);
    }
}

void TestLibreOffice::csvColumnsAndEncoding_data()
{
    // Per column: "N" numbers as a spreadsheet shows them, "N2" numbers with
    // two decimals kept, "T" text.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<int>("encoding");
    QTest::newRow("export: caption, codes, amounts, account numbers, formula-like")
        << QString::fromUtf8(
               "姓名,工号,金额,账号,备注\r\n张三,00123,1234.5,6222021234567890123,=1+1\r\n"
               "李四,00456,-20,6222029876543210987,正常\r\n王五,00789,3.75,62220200,-5+3\r\n")
               .toUtf8()
        << "T,T,N,T,T" << int(RTL_TEXTENCODING_UTF8);
    QTest::newRow("decimals written with trailing zeros")
        << QByteArray("a,1.50,1.5\nb,2.25,2.25\nc,-3.00,3\n") << "T,N2,N"
        << int(RTL_TEXTENCODING_UTF8);
    QTest::newRow("decimals a number format cannot keep")
        << QByteArray("1.50,1.50\n2.125,3\n") << "T,T" << int(RTL_TEXTENCODING_UTF8);
    QTest::newRow("signs, exponents, zeros, grouping")
        << QByteArray("+5,1E5,-0,0.00001,\"1,234\",-7\n") << "T,T,T,T,T,N"
        << int(RTL_TEXTENCODING_UTF8);
    QTest::newRow("15 and 16 digits")
        << QByteArray("123456789012345,1234567890123456,0.1234567890123\n") << "N,T,N"
        << int(RTL_TEXTENCODING_UTF8);
    QTest::newRow("caption rows: words only, not TRUE or @")
        << QByteArray("Amount,TRUE,@x,12a\n1,2,3,4\n") << "N,T,T,N" << int(RTL_TEXTENCODING_UTF8);
    QTest::newRow("empty cells, quotes, a line break inside quotes")
        << QByteArray("x,\"1\"\n\"a\nb\",\n z,3\n") << "T,N" << int(RTL_TEXTENCODING_UTF8);
    const QString chinese =
        QString::fromUtf8("姓名,部门,金额\r\n张三,财务部,100\r\n李四,人事部,200\r\n");
    QTest::newRow("GBK") << QByteArray("\xd0\xd5\xc3\xfb,\xb2\xbf\xc3\xc5,\xbd\xf0\xb6\xee\r\n"
                                       "\xd5\xc5\xc8\xfd,\xb2\xc6\xce\xf1\xb2\xbf,100\r\n"
                                       "\xc0\xee\xcb\xc4,\xc8\xcb\xca\xc2\xb2\xbf,200\r\n")
                         << "T,T,N" << int(RTL_TEXTENCODING_GB_18030);
    QTest::newRow("UTF-8 with BOM")
        << QByteArray("\xef\xbb\xbf") + chinese.toUtf8() << "T,T,N" << int(RTL_TEXTENCODING_UTF8);
    QByteArray utf16("\xff\xfe");
    for (const QChar c : chinese)
        utf16 += char(c.unicode() & 0xff), utf16 += char(c.unicode() >> 8);
    QTest::newRow("UTF-16 with BOM") << utf16 << "T,T,N" << int(RTL_TEXTENCODING_UNICODE);
    QTest::newRow("Big5") << QByteArray("\xa9m\xa6W,\xb3\xa1\xaa\xf9,\xaa\xf7\xc3"
                                        "B\r\n"
                                        "\xb1i\xa4T,\xb0]\xb0\xc8\xb3\xa1,100\r\n"
                                        "\xa7\xf5\xa5|,\xa4H\xa8\xc6\xb3\xa1,200\r\n")
                          << "T,T,N" << int(RTL_TEXTENCODING_MS_950);
    QTest::newRow("Shift_JIS") << QByteArray(
                                      "\x96\xbc\x91O,\x95\x94\x8f\x90,\x8b\xe0\x8az\r\n"
                                      "\x8eR\x93"
                                      "c\x91\xbe\x98Y,\x8co\x97\x9d\x95\x94,100\r\n"
                                      "\x8d\xb2\x93\xa1\x89\xd4\x8eq,\x90l\x8e\x96\x95\x94,200\r\n")
                               << "T,T,N" << int(RTL_TEXTENCODING_MS_932);
    QTest::newRow("cp1252, Western letters never read as ideographs")
        << QByteArray("Name,Stadt,Betrag\r\nM\xfcller,K\xf6ln,12.5\r\nS\xf8ren,\xc5rhus,3\r\n")
        << "T,T,N" << int(RTL_TEXTENCODING_MS_1252);
}

void TestLibreOffice::csvColumnsAndEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, columns);
    QFETCH(int, encoding);
    const engines::lo::CsvLayout layout = engines::lo::csvLayout(bytes);
    QStringList kinds;
    for (const int decimals : layout.decimals)
        kinds << (decimals < 0    ? QStringLiteral("T")
                  : decimals == 0 ? QStringLiteral("N")
                                  : QStringLiteral("N%1").arg(decimals));
    QCOMPARE(kinds.join(QLatin1Char(',')), columns);
    QCOMPARE(layout.encoding, encoding);
}

void TestLibreOffice::unopenable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<FailureKind>("reason");
    QTest::newRow("missing file") << "missing" << FailureKind::NotFound;
    QTest::newRow("zero bytes") << "empty" << FailureKind::Damaged;
    QTest::newRow("truncated xlsx") << "truncated" << FailureKind::Damaged;
    QTest::newRow("random bytes named xls") << "random" << FailureKind::Damaged;
    QTest::newRow("text file named xlsx") << "text" << FailureKind::Damaged;
    QTest::newRow("password-protected xls") << "passwordxls" << FailureKind::PasswordProtected;
    QTest::newRow("encrypted xlsx") << "encrypted" << FailureKind::PasswordProtected;
    QTest::newRow("xlsx without a sheet's part") << "nopart" << FailureKind::Damaged;
}

void TestLibreOffice::unopenable()
{
    QFETCH(QString, kind);
    QFETCH(FailureKind, reason);
    QString p;

    if (kind == QLatin1String("encrypted")) {
        p = path(QStringLiteral("encrypted.xlsx"));
        QVERIFY(workbookgen::writeCompoundFile(
            p, {{"EncryptionInfo", QByteArray(200, '\1')}, {"EncryptedPackage", "\2\3"}}));
    } else if (kind == QLatin1String("nopart")) {
        p = path(QStringLiteral("nopart.xlsx"));
        QVERIFY(workbookgen::writeXlsx(
            p, {workbookgen::filledSheet("One", 3), workbookgen::filledSheet("Two", 3)}));
        QVERIFY(workbookgen::removePart(p, "xl/worksheets/sheet2.xml"));
    } else if (kind == QLatin1String("passwordxls")) {
        // (The office stores .xlsx unencrypted even with a password, so only
        // the .xls case can be built here.)
        p = makeOrFail(QStringLiteral("secret.xls"), threeSheets(), QStringLiteral("geheim"));
        QVERIFY(!p.isEmpty());
    } else {
        QByteArray bytes;
        QString name = kind + QStringLiteral(".xlsx");
        if (kind == QLatin1String("truncated")) {
            const QString good = makeOrFail(QStringLiteral("good.xlsx"), threeSheets());
            QFile g(good);
            QVERIFY(g.open(QIODevice::ReadOnly));
            bytes = g.readAll().left(700);
        } else if (kind == QLatin1String("random")) {
            name = QStringLiteral("random.xls");
            for (int i = 0; i < 5000; ++i)
                bytes.append(char((i * 7919 + 13) % 251));
        } else if (kind == QLatin1String("text")) {
            bytes = "This is not a workbook.\nJust words, and a comma.\n";
        }
        p = path(name);
        if (kind != QLatin1String("missing")) {
            QFile f(p);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
    }
    // Into PDF files a workbook is loaded without a view: the same reasons.
    QTemporaryDir pdfs;
    for (const bool intoPdfs : {false, true}) {
        m_app->setPrintTarget(intoPdfs ? PrintTarget{PrintTarget::PdfDirectory, pdfs.path()}
                                       : PrintTarget{});
        for (const OpenMode mode : {OpenMode::ReadOnly, OpenMode::ForEditing}) {
            Failure failure;
            QVERIFY(!m_app->workbooks()->open(p, mode, &failure));
            QCOMPARE(failure.kind, reason);
        }
    }
    m_app->setPrintTarget({});
    QVERIFY(!m_app->lost());
    // The office still serves after the failures.
    QVERIFY(m_app->workbooks()->open(makeOrFail(QStringLiteral("names.xlsx"), threeSheets()),
                                     OpenMode::ReadOnly));
}

void TestLibreOffice::editingRefused_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<FailureKind>("reason");
    QTest::addColumn<QString>("detail");
    QTest::newRow("LibreOffice lock file")
        << "lolock" << FailureKind::LockedByOther << QString::fromUtf8("王 五");
    QTest::newRow("LibreOffice lock file without a full name")
        << "lolocksys" << FailureKind::LockedByOther << "wang";
    // Lock files an office like ours wrote: one of our running office, one
    // from another host; the holder they name is this machine's user.
    QTest::newRow("lock file of our running office")
        << "ourlock" << FailureKind::LockedByOther << QString();
    QTest::newRow("lock file of an office like ours on another host")
        << "hostlock" << FailureKind::LockedByOther << QString();
    QTest::newRow("spreadsheet owner file")
        << "excellock" << FailureKind::LockedByOther << QString::fromUtf8("张三");
    QTest::newRow("read-only file") << "rofile" << FailureKind::ReadOnly << "file not writable";
    QTest::newRow("read-only folder") << "rodir" << FailureKind::ReadOnly << "folder not writable";
}

void TestLibreOffice::editingRefused()
{
    QFETCH(QString, blocker);
    QFETCH(FailureKind, reason);
    QFETCH(QString, detail);
    const QString dir = path(QStringLiteral("blocked-") + blocker);
    QVERIFY(QDir().mkpath(dir));
    const QString p = dir + QStringLiteral("/book.xlsx");
    QVERIFY(testsupport::makeWorkbook(*m_app->session(), p, threeSheets()));
    const QByteArray before = [&] {
        QFile f(p);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    std::unique_ptr<Workbook> holder;
    if (blocker.startsWith(QLatin1String("lolock")) || blocker == QLatin1String("hostlock")) {
        QFile lock(dir + QStringLiteral("/.~lock.book.xlsx#"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(blocker == QLatin1String("lolock")
                       ? "\xe7\x8e\x8b \xe4\xba\x94,wang,host\\,1,01.01.2026 10:00,file:///x;\n"
                   : blocker == QLatin1String("lolocksys")
                       ? ",wang,host,01.01.2026 10:00,file:///home/wang/.config/libreoffice/4;\n"
                       : ("," + ownLockIdentity("elsewhere") + ",01.01.2026 10:00," +
                          "file:///tmp/quorvane-office-999999-aBc123;\n"));
    } else if (blocker == QLatin1String("ourlock")) {
        holder = m_app->workbooks()->open(p, OpenMode::ForEditing);
        QVERIFY(holder);
    } else if (blocker == QLatin1String("excellock")) {
        QFile lock(dir + QStringLiteral("/~$book.xlsx"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(workbookgen::excelOwnerFile("\xd5\xc5\xc8\xfd", QString::fromUtf8("张三")));
    } else if (blocker == QLatin1String("rofile")) {
        QVERIFY(::chmod(QFile::encodeName(p).constData(), 0444) == 0);
    } else {
        QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0555) == 0);
    }
    QVERIFY(editBlocker(p));
    // Both engines name the same reason: the office for .xls, the package
    // writer for .xlsx.
    const std::unique_ptr<Application> routed = engines::createSpreadsheetApplication();
    routed->start();
    for (Workbooks* books : {m_app->workbooks(), routed->workbooks()}) {
        Failure failure;
        QVERIFY(!books->open(p, OpenMode::ForEditing, &failure));
        QCOMPARE(failure.kind, reason);
        if (!detail.isEmpty())
            QCOMPARE(failure.detail, detail);
    }
    routed->quit();
    // Printing still works from a read-only open, which changes nothing.
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    QCOMPARE(wb->sheetCount(), 3);
    QVERIFY(!wb->save());
    wb->close();
    ::chmod(QFile::encodeName(dir).constData(), 0755);
    QFile f(p);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    // Every lock file of another office stays, and our running office's too.
    QCOMPARE(QFileInfo::exists(dir + QStringLiteral("/.~lock.book.xlsx#")),
             blocker.startsWith(QLatin1String("lolock")) ||
                 QStringList({"ourlock", "hostlock"}).contains(blocker));
}

void TestLibreOffice::ranges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("cell") << "B2" << true;
    QTest::newRow("area") << "A1:C3" << true;
    QTest::newRow("absolute") << "$A$1:$B$2" << true;
    QTest::newRow("reversed") << "D10:B2" << true;
    QTest::newRow("open end") << "A1:B" << false;
    QTest::newRow("letters only") << "ZZ" << false;
    QTest::newRow("row zero") << "A0" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank") << "   " << false;
    QTest::newRow("R1C1") << "R1C1:R2C2" << false;
    QTest::newRow("beyond last row") << "A1048577" << false;
}

void TestLibreOffice::ranges()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    auto wb = m_app->workbooks()->open(makeOrFail(QStringLiteral("names.xlsx"), threeSheets()),
                                       OpenMode::ReadOnly);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    QCOMPARE(bool(ws->range(text)), valid);
    QVERIFY(!m_app->lost());
}

void TestLibreOffice::pageSetupXlsRoundTrip()
{
    const QString p = makeOrFail(QStringLiteral("setup.xls"), threeSheets());
    QVERIFY(!p.isEmpty());
    const QString before = path(QStringLiteral("setup-before.xlsx"));
    QVERIFY(testsupport::convertToXlsx(*m_app->session(), p, before));
    {
        auto wb = m_app->workbooks()->open(p, OpenMode::ForEditing);
        QVERIFY(wb);
        auto ws = wb->worksheet(2);
        QVERIFY(ws);
        auto ps = ws->pageSetup();
        QVERIFY(ps);
        QVERIFY(ps->setOrientation(OrientationLandscape));
        QVERIFY(ps->setPaperSize(PaperB5)); // keeps landscape
        QVERIFY(ps->setLeftMargin(m_app->centimetersToPoints(1.5)));
        QVERIFY(ps->setRightMargin(36));
        // Body margins below the present header and footer margins first:
        // the order of the settings must not matter.
        QVERIFY(ps->setTopMargin(36));
        QVERIFY(ps->setHeaderMargin(21.6));
        QVERIFY(ps->setBottomMargin(54));
        QVERIFY(ps->setFooterMargin(18));
        QVERIFY(ps->setTopMargin(72));
        QVERIFY(!ps->setPaperSize(10));
        QVERIFY(!ps->setOrientation(3));
        QVERIFY(!ps->setLeftMargin(-1));
        QVERIFY(wb->save());
        wb->close();
    }
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral(".~lock.setup.xls#"))));
    // Reopened, the saved workbook shows the new values (exported again as
    // .xlsx to read them the way Excel stores them).
    const QString after = path(QStringLiteral("setup-after.xlsx"));
    QVERIFY(testsupport::convertToXlsx(*m_app->session(), p, after));
    const auto margins = sheetXmlAttributes(after, 2, QStringLiteral("pageMargins"));
    QCOMPARE(qRound(margins.value("left").toDouble() * 72 * 10),
             qRound(m_app->centimetersToPoints(1.5) * 10));
    QCOMPARE(margins.value("right").toDouble(), 0.5);
    QCOMPARE(margins.value("top").toDouble(), 1.0);
    QCOMPARE(margins.value("header").toDouble(), 0.3);
    QCOMPARE(margins.value("bottom").toDouble(), 0.75);
    QCOMPARE(margins.value("footer").toDouble(), 0.25);
    const auto setup = sheetXmlAttributes(after, 2, QStringLiteral("pageSetup"));
    QCOMPARE(setup.value("orientation"), QStringLiteral("landscape"));
    QCOMPARE(setup.value("paperSize"), QStringLiteral("13"));
    // The other sheets keep what they had.
    for (int sheet : {1, 3}) {
        QCOMPARE(sheetXmlAttributes(after, sheet, QStringLiteral("pageMargins")),
                 sheetXmlAttributes(before, sheet, QStringLiteral("pageMargins")));
        QCOMPARE(sheetXmlAttributes(after, sheet, QStringLiteral("pageSetup")),
                 sheetXmlAttributes(before, sheet, QStringLiteral("pageSetup")));
    }
    // Every sheet reports what the office writes for it.
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    for (int sheet : {1, 2}) {
        const PageSetupValues v = wb->worksheet(sheet)->pageSetup()->current();
        const auto m = sheetXmlAttributes(after, sheet, QStringLiteral("pageMargins"));
        const auto inches = [](const std::optional<double>& x) {
            return qRound(x.value_or(-1) * 1000);
        };
        QCOMPARE((QList<int>{inches(v.left), inches(v.right), inches(v.top), inches(v.bottom),
                             inches(v.header), inches(v.footer)}),
                 (QList<int>{qRound(m.value("left").toDouble() * 1000),
                             qRound(m.value("right").toDouble() * 1000),
                             qRound(m.value("top").toDouble() * 1000),
                             qRound(m.value("bottom").toDouble() * 1000),
                             qRound(m.value("header").toDouble() * 1000),
                             qRound(m.value("footer").toDouble() * 1000)}));
        const auto ps = sheetXmlAttributes(after, sheet, QStringLiteral("pageSetup"));
        QCOMPARE(v.orientation.value_or(0),
                 ps.value("orientation") == QLatin1String("landscape") ? 2 : 1);
        QCOMPARE(v.paperSize.value_or(0), ps.value("paperSize").toInt());
    }
}

void TestLibreOffice::pageSetupXlsxInPackage()
{
    // The engines' own application: .xlsx opened for editing goes to the
    // package writer, everything else to the office.
    const std::unique_ptr<Application> routed = engines::createSpreadsheetApplication();
    routed->start();
    QVERIFY(routed->workbooks());
    const QString p = makeOrFail(QStringLiteral("setup.xlsx"), threeSheets());
    QVERIFY(!p.isEmpty());
    const auto thirdBefore = sheetXmlAttributes(p, 3, QStringLiteral("pageMargins"));
    const QByteArray original = [&] {
        QFile f(p);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    {
        // Closing without saving leaves the file as it was.
        auto wb = routed->workbooks()->open(p, OpenMode::ForEditing);
        QVERIFY(wb);
        QVERIFY(wb->worksheet(2)->pageSetup()->setLeftMargin(99));
        wb->close();
        QFile f(p);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), original);
    }
    {
        auto wb = routed->workbooks()->open(p, OpenMode::ForEditing);
        QVERIFY(wb);
        auto ws = wb->worksheet(2);
        QVERIFY(ws);
        auto ps = ws->pageSetup();
        QVERIFY(ps);
        QVERIFY(ps->setPaperSize(PaperA3));
        QVERIFY(ps->setOrientation(OrientationLandscape));
        QVERIFY(ps->setLeftMargin(50.4));
        QVERIFY(ps->setTopMargin(72));
        QVERIFY(ps->setHeaderMargin(36));
        QVERIFY(ps->setFooterMargin(14.4));
        QVERIFY(wb->save());
    }
    const auto margins = sheetXmlAttributes(p, 2, QStringLiteral("pageMargins"));
    QCOMPARE(margins.value("left").toDouble(), 0.7);
    QCOMPARE(margins.value("top").toDouble(), 1.0);
    QCOMPARE(margins.value("header").toDouble(), 0.5);
    QCOMPARE(margins.value("footer").toDouble(), 0.2);
    const auto setup = sheetXmlAttributes(p, 2, QStringLiteral("pageSetup"));
    QCOMPARE(setup.value("orientation"), QStringLiteral("landscape"));
    QCOMPARE(setup.value("paperSize"), QStringLiteral("8"));
    QCOMPARE(sheetXmlAttributes(p, 3, QStringLiteral("pageMargins")), thirdBefore);
    // Still a workbook the office reads, with its three sheets.
    auto again = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(again);
    QCOMPARE(again->sheetCount(), 3);
}

void TestLibreOffice::csvSaveLeavesBytes()
{
    const QString p = path(QStringLiteral("keep.csv"));
    const QByteArray bytes("00123,=1+1\nx,y\n");
    QFile f(p);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    auto wb = m_app->workbooks()->open(p, OpenMode::ForEditing);
    QVERIFY(wb);
    auto ps = wb->worksheet(1)->pageSetup();
    QVERIFY(ps);
    QVERIFY(ps->setLeftMargin(10));
    QVERIFY(wb->save());
    wb->close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
}

void TestLibreOffice::htmlNamedXlsOpensButIsNotRewritten()
{
    // Reporting systems export HTML tables under an .xls name; the
    // spreadsheet application opens them, but saving must not turn the file
    // into something else.
    const QString p = path(QStringLiteral("export.xls"));
    const QByteArray bytes("<html><body><table><tr><td>name</td><td>0012</td></tr>"
                           "<tr><td>x</td><td>y</td></tr></table></body></html>\n");
    QFile f(p);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    auto wb = m_app->workbooks()->open(p, OpenMode::ForEditing);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    QCOMPARE(ws->cell(1, 1)->valueText(), QStringLiteral("name"));
    QVERIFY(ws->pageSetup()->setLeftMargin(20));
    QVERIFY(!wb->save());
    wb->close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
}

void TestLibreOffice::sharedPageStyleIsSplit()
{
    // New and .ods documents let all sheets share one page style.
    const QString p = makeOrFail(QStringLiteral("shared.ods"), threeSheets());
    QVERIFY(!p.isEmpty());
    const QString before = path(QStringLiteral("shared-before.xlsx"));
    QVERIFY(testsupport::convertToXlsx(*m_app->session(), p, before));
    {
        auto wb = m_app->workbooks()->open(p, OpenMode::ForEditing);
        QVERIFY(wb);
        auto ps = wb->worksheet(2)->pageSetup();
        QVERIFY(ps);
        QVERIFY(ps->setLeftMargin(144));
        QVERIFY(ps->setOrientation(OrientationLandscape));
        QVERIFY(wb->save());
    }
    const QString after = path(QStringLiteral("shared-after.xlsx"));
    QVERIFY(testsupport::convertToXlsx(*m_app->session(), p, after));
    QCOMPARE(sheetXmlAttributes(after, 2, QStringLiteral("pageMargins")).value("left").toDouble(),
             2.0);
    QCOMPARE(sheetXmlAttributes(after, 2, QStringLiteral("pageSetup")).value("orientation"),
             QStringLiteral("landscape"));
    for (int sheet : {1, 3}) {
        QCOMPARE(sheetXmlAttributes(after, sheet, QStringLiteral("pageMargins")),
                 sheetXmlAttributes(before, sheet, QStringLiteral("pageMargins")));
        for (const char* key : {"orientation", "paperSize"}) {
            QCOMPARE(sheetXmlAttributes(after, sheet, QStringLiteral("pageSetup")).value(key),
                     sheetXmlAttributes(before, sheet, QStringLiteral("pageSetup")).value(key));
        }
    }
}

void TestLibreOffice::printToPdfDirectory()
{
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const QString p = makeOrFail(QStringLiteral("report.xlsx"), threeSheets());
    m_app->setPrintTarget({PrintTarget::PdfDirectory, out.path()});
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    auto second = wb->worksheet(2);
    QVERIFY(second);
    // The print run sets the paper on a read-only workbook before printing.
    QVERIFY(second->pageSetup()->setPaperSize(PaperA4));
    // Each print reports the pages it printed (the whole sheet, then one area).
    for (int i = 0; i < 2; ++i) {
        const PrintResult result = second->printOut();
        QCOMPARE(result.outcome, PrintResult::Printed);
        QCOMPARE(result.pages, 2);
    }
    auto range = second->range(QStringLiteral("A1:A3"));
    QVERIFY(range);
    const PrintResult area = range->printOut();
    QCOMPARE(area.outcome, PrintResult::Printed);
    QCOMPARE(area.pages, 1);
    m_app->setPrintTarget({});
    QCOMPARE(pdfFiles(out.path()), (QStringList{"report - Second (2).pdf",
                                                "report - Second (3).pdf", "report - Second.pdf"}));
    QCOMPARE(pdfPages(out.filePath(QStringLiteral("report - Second.pdf"))), 2);
    QCOMPARE(pdfPages(out.filePath(QStringLiteral("report - Second (2).pdf"))), 2);
    QCOMPARE(pdfPages(out.filePath(QStringLiteral("report - Second (3).pdf"))), 1);
}

void TestLibreOffice::printNothingForEmptyOrHidden_data()
{
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<QString>("rangeText");
    QTest::newRow("empty sheet") << false << "";
    QTest::newRow("empty range of a filled sheet") << false << "Z100:Z200";
    QTest::newRow("hidden sheet") << true << "";
    QTest::newRow("content only in hidden rows") << false << "HIDDENROWS";
}

void TestLibreOffice::printNothingForEmptyOrHidden()
{
    QFETCH(bool, hidden);
    QFETCH(QString, rangeText);
    QList<SheetSpec> sheets = threeSheets();
    sheets.insert(1, SheetSpec{QStringLiteral("Blank"), {}, {}, false, {}});
    // Content that is there but not shown: nothing to print either.
    sheets.insert(2, SheetSpec{QStringLiteral("Veiled"),
                               {{QStringLiteral("C3"), QStringLiteral("hidden")}},
                               {},
                               false,
                               {3}});
    sheets[3].hidden = hidden; // "Second"
    const QString p = path(QStringLiteral("nothing-%1.xlsx").arg(hidden));
    QVERIFY(QFileInfo::exists(p) || testsupport::makeWorkbook(*m_app->session(), p, sheets));
    QTemporaryDir out;
    m_app->setPrintTarget({PrintTarget::PdfDirectory, out.path()});
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    // Sheets: First, Blank, Veiled, Second, Third.
    const int index = hidden                                     ? 4
                      : rangeText.isEmpty()                      ? 2
                      : rangeText == QLatin1String("HIDDENROWS") ? 3
                                                                 : 4;
    auto ws = wb->worksheet(index);
    QVERIFY(ws);
    if (rangeText.isEmpty() || rangeText == QLatin1String("HIDDENROWS")) {
        QCOMPARE(ws->printOut().outcome, PrintResult::NothingToPrint);
        QCOMPARE(ws->visibility(), hidden ? SheetVisibility::Hidden : SheetVisibility::Visible);
    } else {
        auto range = ws->range(rangeText);
        QVERIFY(range);
        QCOMPARE(range->printOut().outcome, PrintResult::NothingToPrint);
    }
    m_app->setPrintTarget({});
    QCOMPARE(pdfFiles(out.path()), QStringList());
}

void TestLibreOffice::printToDefaultPrinter()
{
    const QString spool = qEnvironmentVariable("QUORVANE_PDF_DIR");
    if (spool.isEmpty())
        QSKIP("QUORVANE_PDF_DIR is not set");
    if (QProcess::execute(QStringLiteral("lpstat"), {QStringLiteral("-r")}) != 0)
        QSKIP("cupsd is not running");
    const QString p = makeOrFail(QStringLiteral("spooled.xlsx"), threeSheets());
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    // A print to a PDF folder first: the next print must still reach the printer.
    QTemporaryDir out;
    m_app->setPrintTarget({PrintTarget::PdfDirectory, out.path()});
    QCOMPARE(wb->worksheet(3)->printOut().outcome, PrintResult::Printed);
    m_app->setPrintTarget({});
    QCOMPARE(pdfFiles(out.path()).size(), 1);
    const QStringList before = pdfFiles(spool);

    auto second = wb->worksheet(2);
    QVERIFY(second);
    QCOMPARE(second->printOut().outcome, PrintResult::Printed);
    QTRY_COMPARE_WITH_TIMEOUT(pdfFiles(spool).size(), before.size() + 1, 30000);
    QStringList added = pdfFiles(spool);
    for (const QString& old : before)
        added.removeAll(old);
    QCOMPARE(added.size(), 1);
    // Only the second sheet (two pages), not the whole workbook (four).
    QTRY_COMPARE_WITH_TIMEOUT(pdfPages(QDir(spool).filePath(added.first())), 2, 10000);

    auto range = second->range(QStringLiteral("A1:A5"));
    QVERIFY(range);
    QCOMPARE(range->printOut().outcome, PrintResult::Printed);
    QTRY_COMPARE_WITH_TIMEOUT(pdfFiles(spool).size(), before.size() + 2, 30000);
    QStringList latest = pdfFiles(spool);
    for (const QString& old : before + added)
        latest.removeAll(old);
    QCOMPARE(latest.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(pdfPages(QDir(spool).filePath(latest.first())), 1, 10000);
}

void TestLibreOffice::printToNamedPrinter_data()
{
    QTest::addColumn<QString>("printer");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("words"); // in the reason of a refusal
    QTest::newRow("the cups-pdf printer by name") << "QuorvanePDF" << true << "";
    QTest::newRow("printer rejecting jobs")
        << "QuorvaneRefusesTest" << false << "not accepting jobs; Out of paper";
    QTest::newRow("unknown printer") << "QuorvaneNoSuchPrinter" << false << "does not exist";
}

void TestLibreOffice::printToNamedPrinter()
{
    QFETCH(QString, printer);
    QFETCH(bool, accepted);
    QFETCH(QString, words);
    const QString spool = qEnvironmentVariable("QUORVANE_PDF_DIR");
    if (spool.isEmpty())
        QSKIP("QUORVANE_PDF_DIR is not set");
    struct QueueGuard
    {
        bool made = false;
        ~QueueGuard()
        {
            if (made)
                QProcess::execute(QStringLiteral("lpadmin"),
                                  {QStringLiteral("-x"), QStringLiteral("QuorvaneRefusesTest")});
        }
    } guard;
    if (printer == QLatin1String("QuorvaneRefusesTest")) {
        if (QProcess::execute(QStringLiteral("lpadmin"),
                              {QStringLiteral("-p"), printer, QStringLiteral("-v"),
                               QStringLiteral("cups-pdf:/"), QStringLiteral("-E")}) != 0)
            QSKIP("cannot add a print queue here");
        guard.made = true;
        QCOMPARE(QProcess::execute(QStringLiteral("cupsreject"),
                                   {QStringLiteral("-r"), QStringLiteral("Out of paper"), printer}),
                 0);
        // The office learns the print queues when it starts.
        QVERIFY(m_app->restart());
    }
    const QString p = makeOrFail(QStringLiteral("named.xlsx"), threeSheets());
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    const int spooled = pdfFiles(spool).size();
    m_app->setPrintTarget({PrintTarget::NamedPrinter, printer});
    const PrintResult result = ws->printOut();
    m_app->setPrintTarget({});
    QCOMPARE(result.outcome == PrintResult::Printed, accepted);
    QVERIFY2(result.failure.detail.contains(words), qPrintable(result.failure.detail));
    QVERIFY(!m_app->lost());
    if (accepted)
        QTRY_COMPARE_WITH_TIMEOUT(pdfFiles(spool).size(), spooled + 1, 30000);
    else
        QCOMPARE(pdfFiles(spool).size(), spooled); // nothing went to the default printer
}

void TestLibreOffice::killedOfficeIsDetected()
{
    const QString p = makeOrFail(QStringLiteral("names.xlsx"), threeSheets());
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    const qint64 pid = m_app->processId();
    QVERIFY(processExists(pid));
    QVERIFY(::kill(static_cast<pid_t>(pid), SIGKILL) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_app->lost(), 10000);
    QCOMPARE(m_app->lostFailure().kind, FailureKind::OfficeCrashed);
    QCOMPARE(ws->name(), QString());
    QVERIFY(!ws->usedRange());
    QCOMPARE(wb->sheetCount(), -1);
    QVERIFY(!m_app->workbooks()->open(p, OpenMode::ReadOnly));
    ws.reset();
    wb.reset();
    QVERIFY(m_app->restart());
    QVERIFY(!m_app->lost());
    QVERIFY(m_app->processId() != pid);
    auto again = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(again);
    QCOMPARE(again->sheetCount(), 3);
}

void TestLibreOffice::stoppedOfficeIsDetected_data()
{
    QTest::addColumn<bool>("longCall");
    QTest::newRow("in a short call") << false;
    QTest::newRow("in a long call (print)") << true;
}

void TestLibreOffice::stoppedOfficeIsDetected()
{
    QFETCH(bool, longCall);
    // Opened for editing: the office writes a lock file beside it.
    const QString p = makeOrFail(QStringLiteral("stopped.xls"), threeSheets());
    const QString lock = path(QStringLiteral(".~lock.stopped.xls#"));
    auto wb = m_app->workbooks()->open(p, OpenMode::ForEditing);
    QVERIFY(wb);
    QVERIFY(QFileInfo::exists(lock));
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    const qint64 pid = m_app->processId();
    m_app->setCallLimits({std::chrono::milliseconds(500), std::chrono::milliseconds(500)});
    QVERIFY(::kill(static_cast<pid_t>(pid), SIGSTOP) == 0);
    QElapsedTimer timer;
    timer.start();
    if (longCall)
        QCOMPARE(ws->printOut().failure.kind, FailureKind::OfficeHung);
    else
        QVERIFY(!ws->usedRange());    // the watchdog ends the hung call
    QVERIFY(timer.elapsed() < 10000); // the lowered bound, not the default ones
    QVERIFY(m_app->lost());
    QCOMPARE(m_app->lostFailure().kind, FailureKind::OfficeHung);
    QTRY_VERIFY_WITH_TIMEOUT(!processExists(pid) || processState(pid) == QLatin1Char('Z'), 10000);
    ws.reset();
    wb.reset();
    m_app->setCallLimits({});
    QVERIFY(m_app->restart());
    QVERIFY(!processExists(pid));
    QVERIFY(!QFileInfo::exists(lock)); // left by the killed office, removed
    auto again = m_app->workbooks()->open(p, OpenMode::ForEditing);
    QVERIFY(again);
    QCOMPARE(again->sheetCount(), 3);
}

void TestLibreOffice::busyOfficeIsLeftAlone()
{
    // About 1,300 pages: several seconds of work in one print call.
    const QString p = path(QStringLiteral("busy.xlsx"));
    QVERIFY(workbookgen::writeXlsx(p, {workbookgen::filledSheet(QStringLiteral("Big"), 60000)}));
    QTemporaryDir out;
    m_app->setPrintTarget({PrintTarget::PdfDirectory, out.path()});
    m_app->setCallLimits({std::chrono::milliseconds(500), std::chrono::milliseconds(500)});
    auto wb = m_app->workbooks()->open(p, OpenMode::ReadOnly);
    QVERIFY(wb);
    QElapsedTimer timer;
    timer.start();
    const PrintResult printed = wb->worksheet(1)->printOut();
    const qint64 took = timer.elapsed();
    m_app->setCallLimits({});
    m_app->setPrintTarget({});
    QCOMPARE(printed.outcome, PrintResult::Printed);
    QVERIFY(!m_app->lost());
    QVERIFY2(took > 1500, qPrintable(QStringLiteral("the print took %1 ms, too short to outlast "
                                                    "the bound")
                                         .arg(took)));
    QVERIFY(pdfPages(out.filePath(pdfFiles(out.path()).value(0))) > 1000);
}

void TestLibreOffice::lockFileOfEarlierRunIsRemoved()
{
    // What the office of a run that was killed with the program leaves.
    const QString p = makeOrFail(QStringLiteral("earlier.xls"), threeSheets());
    QFile lock(path(QStringLiteral(".~lock.earlier.xls#")));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write("," + ownLockIdentity() +
               ",01.01.2026 10:00,file:///tmp/quorvane-office-999999-aBc123;\n");
    lock.close();
    QVERIFY(editBlocker(p));
    auto wb = m_app->workbooks()->open(p, OpenMode::ForEditing);
    QVERIFY(wb);
    QCOMPARE(wb->sheetCount(), 3);
}

void TestLibreOffice::officeIsRecycledBetweenWorkbooks_data()
{
    QTest::addColumn<int>("workbooks");
    QTest::addColumn<qint64>("memoryKiB");
    QTest::newRow("after two workbooks") << 2 << qint64(0);
    QTest::newRow("past its memory bound") << 0 << qint64(1);
}

void TestLibreOffice::officeIsRecycledBetweenWorkbooks()
{
    QFETCH(int, workbooks);
    QFETCH(qint64, memoryKiB);
    const QString p = makeOrFail(QStringLiteral("names.xls"), threeSheets());
    QTemporaryDir out;
    LibreOfficeApplication app;
    app.setRecycleLimits({memoryKiB, 0, workbooks});
    app.setPrintTarget({PrintTarget::PdfDirectory, out.path()});
    app.start();
    Workbooks* books = app.workbooks();
    QVERIFY(books);
    QList<qint64> offices{app.processId()};
    const auto noteOffice = [&] {
        if (offices.last() != app.processId())
            offices << app.processId();
    };
    {
        auto first = books->open(p, OpenMode::ReadOnly);
        noteOffice();
        // Never while a workbook is open.
        auto second = books->open(p, OpenMode::ForEditing);
        auto third = books->open(p, OpenMode::ReadOnly);
        QVERIFY(first && second && third);
        QCOMPARE(app.processId(), offices.last());
    }
    for (int i = 0; i < 4; ++i) {
        auto wb = books->open(p, i % 2 ? OpenMode::ForEditing : OpenMode::ReadOnly);
        QVERIFY(wb);
        QCOMPARE(wb->sheetCount(), 3);
        QCOMPARE(wb->worksheet(3)->printOut().outcome, PrintResult::Printed);
        noteOffice();
    }
    QCOMPARE(app.workbooks(), books);
    QVERIFY(!app.lost());
    QCOMPARE(app.recycleCount(), offices.size() - 1);
    QVERIFY(offices.size() >= 3);
    for (int i = 0; i + 1 < offices.size(); ++i)
        QVERIFY(!processExists(offices[i]));
    QCOMPARE(pdfFiles(out.path()).size(), 4); // the print target went over to each office
    QVERIFY(!QFileInfo::exists(path(QStringLiteral(".~lock.names.xls#"))));
}

void TestLibreOffice::quitLeavesNoProcess()
{
    LibreOfficeApplication app;
    app.start();
    QVERIFY(app.workbooks());
    const qint64 pid = app.processId();
    QVERIFY(processExists(pid));
    // An .xls file: an .xlsx opened for editing is read from its package and
    // never loaded in the office.
    auto wb = app.workbooks()->open(makeOrFail(QStringLiteral("names.xls"), threeSheets()),
                                    OpenMode::ForEditing);
    QVERIFY(wb);
    app.quit(); // with the workbook still open
    QVERIFY(!processExists(pid));
    QVERIFY(!app.workbooks());
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral(".~lock.names.xls#"))));
    QCOMPARE(wb->sheetCount(), -1);
    app.quit(); // twice is harmless

    // terminateAllSpreadsheetProcesses() ends every running office of ours.
    LibreOfficeApplication other;
    other.start();
    const qint64 otherPid = other.processId();
    QVERIFY(processExists(otherPid));
    engines::terminateAllSpreadsheetProcesses();
    QTRY_VERIFY_WITH_TIMEOUT(other.lost() && m_app->lost(), 10000);
    other.quit();
    QVERIFY(!processExists(otherPid));
    QVERIFY(m_app->restart());
}

void TestLibreOffice::unusableWhenNeverStarted()
{
    auto app = engines::createSpreadsheetApplication();
    QVERIFY(app);
    QVERIFY(!app->workbooks());
    QVERIFY(!app->lost());
    QCOMPARE(app->centimetersToPoints(2.54), 72.0);
    app->quit();
}

QTEST_GUILESS_MAIN(TestLibreOffice)
#include "tst_libreoffice.moc"
