// A real page-setup run through the worker object, on LibreOffice, checked
// with readers of our own: the zip packages and LibreOffice's own converter,
// never Quorvane's automation layer.
#include "e2esupport.h"
#include "workbookgen.h"

#include "runs/options.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace workbookgen;

namespace {

// Margins of one sheet part in inches, and its orientation.
struct SheetSetup
{
    double left = -1, right = -1, top = -1, bottom = -1, header = -1, footer = -1;
    QString orientation;
};

SheetSetup sheetSetup(const QByteArray& xml)
{
    SheetSetup s;
    auto value = [&](const char* attr) {
        const QString v =
            e2e::xmlAttribute(xml, QStringLiteral("pageMargins"), QString::fromLatin1(attr));
        return v.isEmpty() ? -1.0 : v.toDouble();
    };
    s.left = value("left");
    s.right = value("right");
    s.top = value("top");
    s.bottom = value("bottom");
    s.header = value("header");
    s.footer = value("footer");
    s.orientation =
        e2e::xmlAttribute(xml, QStringLiteral("pageSetup"), QStringLiteral("orientation"));
    return s;
}

// Margins chosen in the run, in centimetres, and the same in inches.
constexpr double kLeftCm = 2.5, kRightCm = 2.0, kTopCm = 3.0, kBottomCm = 2.8, kHeaderCm = 1.2,
                 kFooterCm = 1.1;
double inches(double cm)
{
    return cm / 2.54;
}

} // namespace

class TestE2EPageSetup : public QObject
{
    Q_OBJECT
private slots:
    void pageSetupRun();
};

void TestE2EPageSetup::pageSetupRun()
{
    if (!QFile::exists(QStringLiteral("/usr/lib/libreoffice/program/soffice.bin")))
        QSKIP("LibreOffice is not installed");
    // The failure list is checked here, not shown in an editor.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString d = dir.path();
    const QList<Sheet> sheets{filledSheet("Sheet1", 5), filledSheet("Sheet2", 5),
                              filledSheet("Sheet3", 5)};
    QVERIFY(writeXlsx(d + "/a.xlsx", sheets));
    QVERIFY(writeXlsx(d + "/m.xlsm", {filledSheet("Sheet1", 3), filledSheet("Sheet2", 3)}));
    QVERIFY(writeCsv(d + "/c.csv", {{"00123", "=1+1", "text"}, {"Sheet2", "x", "y"}}));
    QVERIFY(writeXlsx(d + "/ro.xlsx", sheets));
    QVERIFY(QFile::setPermissions(d + "/ro.xlsx",
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    // The .xls is made by LibreOffice's own converter in a folder of its own.
    QTemporaryDir xlsDir;
    QVERIFY(writeXlsx(xlsDir.path() + "/x.xlsx", sheets));
    QVERIFY(e2e::sofficeConvert(xlsDir.path() + "/x.xlsx", "xls", d));
    QVERIFY(QFile::exists(d + "/x.xls"));
    QVERIFY(e2e::sofficeConvert(d + "/x.xls", "csv", xlsDir.path()));
    const QByteArray xlsCellsBefore = e2e::fileBytes(xlsDir.path() + "/x.csv");
    QVERIFY(!xlsCellsBefore.isEmpty());

    const auto aBefore = e2e::zipEntries(d + "/a.xlsx");
    const auto mBefore = e2e::zipEntries(d + "/m.xlsm");
    const QByteArray csvBefore = e2e::fileBytes(d + "/c.csv");
    const QByteArray roBefore = e2e::fileBytes(d + "/ro.xlsx");
    QVERIFY(mBefore.contains("xl/vbaProject.bin"));

    runs::PageSetupOptions options;
    options.folder = d;
    options.failedListPath = d + "/" + runs::failedListFileName();
    options.sheets.skipEmptySheets = true;
    options.sheets.appointedSheetsOnly = true;
    options.sheets.appointedSheetNames = QStringLiteral("Sheet2");
    options.sheets.onlyFirstSheet = false;
    options.left = {true, kLeftCm};
    options.right = {true, kRightCm};
    options.top = {true, kTopCm};
    options.bottom = {true, kBottomCm};
    options.header = {true, kHeaderCm};
    options.footer = {true, kFooterCm};
    options.changeOrientation = true;
    options.orientation = 2;

    const QStringList texts = e2e::runWorker(options);
    QVERIFY2(!texts.isEmpty(), "the run did not end");

    // a.xlsx, m.xlsm, x.xls changed (Sheet2 each); c.csv counted as a workbook
    // with no sheet of that name; ro.xlsx could not be opened for editing.
    QVERIFY2(!texts.isEmpty() &&
                 texts.last().startsWith(QStringLiteral("成功修改5个工作簿的3个sheet。")),
             qPrintable(texts.join(" | ")));
    QCOMPARE(e2e::fileBytes(options.failedListPath),
             QFile::encodeName(QDir::toNativeSeparators(d + "/ro.xlsx")) + "\n");

    // .xlsx and .xlsm: only Sheet2's part changed, and it carries the values.
    for (const auto& [path, before] :
         {std::make_pair(d + "/a.xlsx", aBefore), std::make_pair(d + "/m.xlsm", mBefore)}) {
        const auto after = e2e::zipEntries(path);
        QCOMPARE(after.keys(), before.keys());
        for (const QString& name : before.keys()) {
            if (name == QLatin1String("xl/worksheets/sheet2.xml"))
                continue;
            QVERIFY2(after.value(name) == before.value(name), qPrintable(path + ": " + name));
        }
        const SheetSetup s = sheetSetup(after.value("xl/worksheets/sheet2.xml"));
        QVERIFY2(qAbs(s.left - inches(kLeftCm)) < 0.01, qPrintable(path));
        QVERIFY(qAbs(s.right - inches(kRightCm)) < 0.01);
        QVERIFY(qAbs(s.top - inches(kTopCm)) < 0.01);
        QVERIFY(qAbs(s.bottom - inches(kBottomCm)) < 0.01);
        QVERIFY(qAbs(s.header - inches(kHeaderCm)) < 0.01);
        QVERIFY(qAbs(s.footer - inches(kFooterCm)) < 0.01);
        QCOMPARE(s.orientation, QStringLiteral("landscape"));
    }

    // .csv and the read-only workbook: not a byte changed.
    QCOMPARE(e2e::fileBytes(d + "/c.csv"), csvBefore);
    QCOMPARE(e2e::fileBytes(d + "/ro.xlsx"), roBefore);

    // .xls: the page setup records read straight from the file, and the
    // cell values through LibreOffice's converter.
    const QList<e2e::XlsPageSetup> xls = e2e::xlsPageSetups(d + "/x.xls");
    QCOMPARE(xls.size(), 3);
    for (const e2e::XlsPageSetup& s : xls) {
        if (s.sheetName == QLatin1String("Sheet2")) {
            QVERIFY2(qAbs(s.left - inches(kLeftCm)) < 0.01, qPrintable(QString::number(s.left)));
            QVERIFY(qAbs(s.right - inches(kRightCm)) < 0.01);
            QVERIFY(qAbs(s.top - inches(kTopCm)) < 0.01);
            QVERIFY(qAbs(s.bottom - inches(kBottomCm)) < 0.01);
            QVERIFY2(qAbs(s.header - inches(kHeaderCm)) < 0.01,
                     qPrintable(QString::number(s.header)));
            QVERIFY(qAbs(s.footer - inches(kFooterCm)) < 0.01);
            QVERIFY(s.landscape);
        } else {
            QVERIFY2(qAbs(s.left - 0.7) < 0.01, qPrintable(s.sheetName));
            QVERIFY(!s.landscape);
        }
    }
    QTemporaryDir check;
    QVERIFY(e2e::sofficeConvert(d + "/x.xls", "csv", check.path()));
    QCOMPARE(e2e::fileBytes(check.path() + "/x.csv"), xlsCellsBefore);

    QCOMPARE(e2e::childProcessesNamed("soffice.bin"), 0);
}

QTEST_GUILESS_MAIN(TestE2EPageSetup)
#include "tst_e2e_pagesetup.moc"
