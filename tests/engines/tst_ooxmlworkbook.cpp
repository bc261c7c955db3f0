// The workbook read straight from an .xlsx/.xlsm package for page-setup runs:
// sheets, names, used ranges, cell values, refusals, and page setup saved
// into the package.
#include "engines/ooxml/ooxmlworkbook.h"
#include "workbookgen.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

#include <cmath>
#include <limits>

using namespace spreadsheet;

Q_DECLARE_METATYPE(spreadsheet::FailureKind)

namespace {

const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// One sheet of a hand-made package: kind 'w' worksheet, 'c' chart sheet,
// 'd' dialog sheet; for a worksheet, the content of its <sheetData>.  Kind
// 'x': a worksheet whose whole part is sheetData; 'm': a worksheet whose part
// is missing.
struct Sheet
{
    QByteArray nameAttr;
    char kind = 'w';
    QByteArray sheetData;
};

QByteArray worksheetPart(const QByteArray& sheetData)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" +
           kMain + "\" xmlns:r=\"" + kRel + "\"><dimension ref=\"A1\"/><sheetData>" + sheetData +
           "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
           "header=\"0.3\" footer=\"0.3\"/></worksheet>";
}

bool writeZip(const QString& path, const QList<QPair<QByteArray, QByteArray>>& entries)
{
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!z)
        return false;
    for (const auto& e : entries) {
        zip_source_t* src =
            zip_source_buffer(z, e.second.constData(), zip_uint64_t(e.second.size()), 0);
        if (zip_file_add(z, e.first.constData(), src, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(src);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

// A package with the sheets in order (parts xl/worksheets/sheetN.xml,
// xl/chartsheets/sheetN.xml, xl/dialogsheets/sheetN.xml) and, when given,
// the <si> items of a shared strings part.
bool writePackage(const QString& path, const QVector<Sheet>& sheets,
                  const QByteArray& sharedItems = QByteArray())
{
    QByteArray wb = "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>";
    QByteArray rels = "<Relationships "
                      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    QList<QPair<QByteArray, QByteArray>> parts;
    for (int i = 0; i < sheets.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        const Sheet& s = sheets[i];
        const QByteArray kind = s.kind == 'c'   ? "chartsheet"
                                : s.kind == 'd' ? "dialogsheet"
                                                : "worksheet";
        const QByteArray target = kind + "s/sheet" + n + ".xml";
        wb += "<sheet name=\"" + s.nameAttr + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRel + "/" + kind + "\" Target=\"" +
                target + "\"/>";
        QByteArray xml;
        if (s.kind == 'm')
            continue;
        if (s.kind == 'w')
            xml = worksheetPart(s.sheetData);
        else if (s.kind == 'x')
            xml = s.sheetData;
        else
            xml = "<" + kind + " xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\"><sheetViews/>" +
                  (s.kind == 'c' ? "<drawing r:id=\"rId1\"/>" : "") + "</" + kind + ">";
        parts.append({"xl/" + target, xml});
    }
    wb += "</sheets></workbook>";
    if (!sharedItems.isNull()) {
        rels += "<Relationship Id=\"rId99\" Type=\"" + kRel +
                "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
        parts.append(
            {"xl/sharedStrings.xml", "<sst xmlns=\"" + kMain + "\">" + sharedItems + "</sst>"});
    }
    rels += "</Relationships>";
    const QByteArray rootRels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
        kRel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    parts.prepend({"xl/_rels/workbook.xml.rels", rels});
    parts.prepend({"xl/workbook.xml", wb});
    parts.prepend({"_rels/.rels", rootRels});
    parts.prepend({"[Content_Types].xml",
                   "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                   "content-types\"/>"});
    return writeZip(path, parts);
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QByteArray readEntry(const QString& package, const char* name)
{
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(package).constData(), ZIP_RDONLY, &code);
    if (!z)
        return QByteArray();
    QByteArray data;
    zip_stat_t st;
    if (zip_stat(z, name, 0, &st) == 0) {
        data.resize(int(st.size));
        zip_file_t* f = zip_fopen(z, name, 0);
        if (!f || zip_fread(f, data.data(), st.size) != zip_int64_t(st.size))
            data.clear();
        if (f)
            zip_fclose(f);
    }
    zip_discard(z);
    return data;
}

// "name=value name=value" of one element of a sheet part, in order.
QString attributesOf(const QByteArray& xml, const QString& element)
{
    const auto m = QRegularExpression(QStringLiteral("<%1\\s([^>]*?)/?>").arg(element))
                       .match(QString::fromUtf8(xml));
    if (!m.hasMatch())
        return QString();
    QStringList pairs;
    auto it = QRegularExpression(QStringLiteral("(\\w+)=\"([^\"]*)\"")).globalMatch(m.captured(1));
    while (it.hasNext()) {
        const auto a = it.next();
        pairs << a.captured(1) + QLatin1Char('=') + a.captured(2);
    }
    return pairs.join(QLatin1Char(' '));
}

// "left=0.5 right=0.7 ... orientation=1 paper=9" of page setup values.
QString valuesText(const PageSetupValues& v)
{
    auto n = [](const std::optional<double>& x) { return x ? QString::number(*x) : QString("?"); };
    return QStringLiteral("left=%1 right=%2 top=%3 bottom=%4 header=%5 footer=%6 orientation=%7 "
                          "paper=%8")
        .arg(n(v.left), n(v.right), n(v.top), n(v.bottom), n(v.header), n(v.footer))
        .arg(v.orientation.value_or(0))
        .arg(v.paperSize.value_or(0));
}

} // namespace

class TestOoxmlWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void sheetsAndNames_data();
    void sheetsAndNames();
    void usedRange_data();
    void usedRange();
    void valueTexts_data();
    void valueTexts();
    void generatedWorkbook();
    void unopenable_data();
    void unopenable();
    void savesPageSetup_data();
    void savesPageSetup();
    void damagedWorksheet_data();
    void damagedWorksheet();
    void closedWorkbookAnswersNothing();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestOoxmlWorkbook::sheetsAndNames_data()
{
    QTest::addColumn<QByteArrayList>("nameAttrs");
    QTest::addColumn<QByteArray>("kinds");
    QTest::addColumn<QStringList>("names"); // empty: no worksheet at that index

    QTest::newRow("worksheets") << QByteArrayList{"One", "Two", "Three"} << QByteArray("www")
                                << QStringList{"One", "Two", "Three"};
    QTest::newRow("chart sheet counted, but no worksheet")
        << QByteArrayList{"Data", "Chart1", "More"} << QByteArray("wcw")
        << QStringList{"Data", "", "More"};
    QTest::newRow("dialog sheet") << QByteArrayList{"Dialog1", "Data"} << QByteArray("dw")
                                  << QStringList{"", "Data"};
    QTest::newRow("escaped names")
        << QByteArrayList{"A&amp;B", "&quot;Q&quot; it&apos;s", "&lt;x&gt;", "T&#x41;b"}
        << QByteArray("wwww") << QStringList{"A&B", "\"Q\" it's", "<x>", "TAb"};
    QTest::newRow("non-ASCII names")
        << QByteArrayList{QString::fromUtf8("工资 表").toUtf8(),
                          QString::fromUtf8("Übersicht").toUtf8()}
        << QByteArray("ww")
        << QStringList{QString::fromUtf8("工资 表"), QString::fromUtf8("Übersicht")};
    QTest::newRow("only a chart sheet")
        << QByteArrayList{"Chart"} << QByteArray("c") << QStringList{""};
}

void TestOoxmlWorkbook::sheetsAndNames()
{
    QFETCH(QByteArrayList, nameAttrs);
    QFETCH(QByteArray, kinds);
    QFETCH(QStringList, names);
    QVector<Sheet> sheets;
    for (int i = 0; i < nameAttrs.size(); ++i)
        sheets.append({nameAttrs[i], kinds.at(i), "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"});
    const QString p = path(QStringLiteral("names-%1.xlsx").arg(QTest::currentDataTag()));
    QVERIFY(writePackage(p, sheets));
    auto wb = ooxml::openWorkbookForEditing(p);
    QVERIFY(wb);
    QCOMPARE(wb->sheetCount(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        auto ws = wb->worksheet(i + 1);
        QCOMPARE(bool(ws), !names[i].isEmpty());
        if (ws)
            QCOMPARE(ws->name(), names[i]);
    }
    QVERIFY(!wb->worksheet(0));
    QVERIFY(!wb->worksheet(-1));
    QVERIFY(!wb->worksheet(names.size() + 1));
}

void TestOoxmlWorkbook::usedRange_data()
{
    QTest::addColumn<QByteArray>("sheetData");
    QTest::addColumn<QList<int>>("used"); // row, column, rows, columns
    QTest::addColumn<QString>("firstText");

    QTest::newRow("no cells") << QByteArray() << QList<int>{1, 1, 1, 1} << "";
    QTest::newRow("rows without cells") << QByteArray("<row r=\"5\" ht=\"30\" customHeight=\"1\"/>")
                                        << QList<int>{1, 1, 1, 1} << "";
    QTest::newRow("one cell at C3") << QByteArray("<row r=\"3\"><c r=\"C3\"><v>7</v></c></row>")
                                    << QList<int>{3, 3, 1, 1} << "7";
    QTest::newRow("formatted empty cell counts")
        << QByteArray("<row r=\"2\"><c r=\"B2\" s=\"1\"/></row>"
                      "<row r=\"4\"><c r=\"D4\"><v>1</v></c></row>")
        << QList<int>{2, 2, 3, 3} << "";
    QTest::newRow("block B2:D7")
        << QByteArray("<row r=\"2\"><c r=\"C2\"><v>1</v></c></row>"
                      "<row r=\"5\"><c r=\"B5\" t=\"inlineStr\"><is><t>x</t></is></c></row>"
                      "<row r=\"7\"><c r=\"D7\"><v>2</v></c></row>")
        << QList<int>{2, 2, 6, 3} << "";
    QTest::newRow("rows and cells without references")
        << QByteArray("<row><c><v>1</v></c><c><v>2</v></c></row><row><c/></row>")
        << QList<int>{1, 1, 2, 2} << "1";
    QTest::newRow("last column and row")
        << QByteArray("<row r=\"1048576\"><c r=\"XFD1048576\"><v>9</v></c></row>")
        << QList<int>{1048576, 16384, 1, 1} << "9";
}

void TestOoxmlWorkbook::usedRange()
{
    QFETCH(QByteArray, sheetData);
    QFETCH(QList<int>, used);
    QFETCH(QString, firstText);
    const QString p = path(QStringLiteral("used-%1.xlsx").arg(QTest::currentDataTag()));
    QVERIFY(writePackage(p, {{"S", 'w', sheetData}}));
    auto wb = ooxml::openWorkbookForEditing(p);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    auto ur = ws->usedRange();
    QVERIFY(ur);
    QCOMPARE((QList<int>{ur->row(), ur->column(), ur->rowCount(), ur->columnCount()}), used);
    auto cell = ws->cell(ur->row(), ur->column());
    QVERIFY(cell);
    QCOMPARE(cell->valueText(), firstText);
}

void TestOoxmlWorkbook::valueTexts_data()
{
    QTest::addColumn<QByteArray>("sheetData");
    QTest::addColumn<QByteArray>("sharedItems"); // null: no shared strings part
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("available");
    QTest::addColumn<QString>("text");

    const QByteArray strings = "<si><t>zero</t></si><si><t>one</t></si>"
                               "<si><r><t>Ri</t></r><r><rPr><b/></rPr><t>ch</t></r>"
                               "<rPh sb=\"0\" eb=\"1\"><t>ふり</t></rPh></si><si><t/></si>";
    auto row1 = [](const QByteArray& cells) { return "<row r=\"1\">" + cells + "</row>"; };
    QTest::newRow("shared string")
        << row1("<c r=\"A1\" t=\"s\"><v>1</v></c>") << strings << 1 << 1 << true << "one";
    QTest::newRow("shared rich text without phonetic run")
        << row1("<c r=\"A1\" t=\"s\"><v>2</v></c>") << strings << 1 << 1 << true << "Rich";
    QTest::newRow("shared empty string")
        << row1("<c r=\"A1\" t=\"s\"><v>3</v></c>") << strings << 1 << 1 << true << "";
    QTest::newRow("shared index out of range")
        << row1("<c r=\"A1\" t=\"s\"><v>4</v></c>") << strings << 1 << 1 << false << "";
    QTest::newRow("shared string without part")
        << row1("<c r=\"A1\" t=\"s\"><v>0</v></c>") << QByteArray() << 1 << 1 << false << "";
    QTest::newRow("inline string")
        << row1("<c r=\"A1\" t=\"inlineStr\"><is><t>in &amp; line</t></is></c>") << QByteArray()
        << 1 << 1 << true << "in & line";
    QTest::newRow("inline rich text")
        << row1("<c r=\"A1\" t=\"inlineStr\"><is><r><t>a</t></r><r><t xml:space=\"preserve\"> "
                "b</t></r></is></c>")
        << QByteArray() << 1 << 1 << true << "a b";
    QTest::newRow("escaped control character")
        << row1("<c r=\"A1\" t=\"inlineStr\"><is><t>a_x000D_b_x005F_x</t></is></c>") << QByteArray()
        << 1 << 1 << true << "a\rb_x";
    QTest::newRow("number as stored")
        << row1("<c r=\"A1\" s=\"3\"><v>1.50</v></c>") << QByteArray() << 1 << 1 << true << "1.50";
    QTest::newRow("formula with text result")
        << row1("<c r=\"A1\" t=\"str\"><f>\"h\"&amp;\"i\"</f><v>hi</v></c>") << QByteArray() << 1
        << 1 << true << "hi";
    QTest::newRow("formula with empty text result")
        << row1("<c r=\"A1\" t=\"str\"><f>\"\"</f><v></v></c>") << QByteArray() << 1 << 1 << true
        << "";
    QTest::newRow("boolean true") << row1("<c r=\"A1\" t=\"b\"><v>1</v></c>") << QByteArray() << 1
                                  << 1 << true << "TRUE";
    QTest::newRow("boolean false")
        << row1("<c r=\"A1\" t=\"b\"><v>0</v></c>") << QByteArray() << 1 << 1 << true << "FALSE";
    QTest::newRow("error") << row1("<c r=\"A1\" t=\"e\"><v>#DIV/0!</v></c>") << QByteArray() << 1
                           << 1 << true << "#DIV/0!";
    QTest::newRow("formatted empty cell")
        << row1("<c r=\"A1\" s=\"2\"/>") << QByteArray() << 1 << 1 << true << "";
    QTest::newRow("missing cell") << row1("<c r=\"A1\"><v>5</v></c>") << QByteArray() << 2 << 2
                                  << true << "";
    QTest::newRow("row 0") << row1("<c r=\"A1\"><v>5</v></c>") << QByteArray() << 0 << 1 << false
                           << "";
    QTest::newRow("column beyond XFD")
        << row1("<c r=\"A1\"><v>5</v></c>") << QByteArray() << 1 << 16385 << false << "";
}

void TestOoxmlWorkbook::valueTexts()
{
    QFETCH(QByteArray, sheetData);
    QFETCH(QByteArray, sharedItems);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, available);
    QFETCH(QString, text);
    const QString p = path(QStringLiteral("values-%1.xlsx").arg(QTest::currentDataTag()));
    QVERIFY(writePackage(p, {{"S", 'w', sheetData}}, sharedItems));
    auto wb = ooxml::openWorkbookForEditing(p);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    auto cell = ws->cell(row, column);
    QCOMPARE(bool(cell), available);
    if (cell)
        QCOMPARE(cell->valueText(), text);
    QVERIFY(!ws->range(QStringLiteral("A1")));
    QCOMPARE(ws->printOut().outcome, PrintResult::Failed);
}

void TestOoxmlWorkbook::generatedWorkbook()
{
    // The test and benchmark generator's packages, .xlsx and .xlsm.
    for (const QString& name : {QStringLiteral("gen.xlsx"), QStringLiteral("gen.xlsm")}) {
        const QString p = path(name);
        QVERIFY(workbookgen::writeXlsx(
            p, {workbookgen::filledSheet(QStringLiteral("One"), 30),
                {QStringLiteral("Two"), {{QString(), QString(), QStringLiteral("c")}}}}));
        auto wb = ooxml::openWorkbookForEditing(p);
        QVERIFY(wb);
        QCOMPARE(wb->sheetCount(), 2);
        auto one = wb->worksheet(1);
        QVERIFY(one);
        QCOMPARE(one->name(), QStringLiteral("One"));
        auto ur = one->usedRange();
        QVERIFY(ur);
        QCOMPARE((QList<int>{ur->row(), ur->column(), ur->rowCount(), ur->columnCount()}),
                 (QList<int>{1, 1, 30, 3}));
        QVERIFY(!one->cell(1, 1)->valueText().isEmpty());
        auto two = wb->worksheet(2);
        QVERIFY(two);
        ur = two->usedRange();
        QCOMPARE((QList<int>{ur->row(), ur->column(), ur->rowCount(), ur->columnCount()}),
                 (QList<int>{1, 3, 1, 1}));
        QCOMPARE(two->cell(1, 3)->valueText(), QStringLiteral("c"));
    }
}

void TestOoxmlWorkbook::unopenable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<FailureKind>("reason");
    QTest::newRow("missing file") << "missing" << FailureKind::NotFound;
    QTest::newRow("zero bytes") << "empty" << FailureKind::Damaged;
    QTest::newRow("random bytes") << "random" << FailureKind::Damaged;
    QTest::newRow("text") << "text" << FailureKind::Damaged;
    QTest::newRow("truncated package") << "truncated" << FailureKind::Damaged;
    QTest::newRow("encrypted (compound file)") << "encrypted" << FailureKind::PasswordProtected;
    QTest::newRow("compound file of another kind") << "ole" << FailureKind::Damaged;
    QTest::newRow("zip without workbook part") << "noworkbook" << FailureKind::Damaged;
    QTest::newRow("word processing document") << "docx" << FailureKind::Damaged;
    QTest::newRow("workbook part not XML") << "badxml" << FailureKind::Damaged;
    QTest::newRow("folder") << "folder" << FailureKind::NotOpened;
    QTest::newRow("owner file of another user") << "locked" << FailureKind::LockedByOther;
    QTest::newRow("read-only file") << "readonly" << FailureKind::ReadOnly;
}

void TestOoxmlWorkbook::unopenable()
{
    QFETCH(QString, kind);
    QFETCH(FailureKind, reason);
    const QString p = path(QStringLiteral("bad-%1.xlsx").arg(kind));
    const QByteArray rootRels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
        kRel + "/officeDocument\" Target=\"TARGET\"/></Relationships>";
    const QByteArray noRels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>";
    QByteArray bytes;
    if (kind == QLatin1String("random")) {
        for (int i = 0; i < 5000; ++i)
            bytes.append(char((i * 7919 + 13) % 251));
    } else if (kind == QLatin1String("text")) {
        bytes = "This is not a workbook.\n";
    } else if (kind == QLatin1String("truncated")) {
        const QString good = path(QStringLiteral("good.xlsx"));
        QVERIFY(writePackage(good, {{"S", 'w', "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"}}));
        QVERIFY(ooxml::openWorkbookForEditing(good));
        bytes = fileBytes(good);
        bytes.chop(40);
    } else if (kind == QLatin1String("encrypted")) {
        QVERIFY(workbookgen::writeCompoundFile(
            p, {{"EncryptionInfo", QByteArray(200, '\1')}, {"EncryptedPackage", "\2\3"}}));
    } else if (kind == QLatin1String("ole")) {
        QVERIFY(workbookgen::writeCompoundFile(p, {{"WordDocument", "\1"}}));
    } else if (kind == QLatin1String("locked") || kind == QLatin1String("readonly")) {
        QVERIFY(writePackage(p, {{"S", 'w', ""}}));
        if (kind == QLatin1String("readonly")) {
            QVERIFY(QFile::setPermissions(p, QFile::ReadOwner | QFile::ReadGroup));
        } else {
            QFile lock(path(QStringLiteral("~$bad-locked.xlsx")));
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write(workbookgen::excelOwnerFile("Zhang", QString::fromUtf8("张三")));
        }
    } else if (kind == QLatin1String("noworkbook")) {
        QVERIFY(writeZip(p, {{"[Content_Types].xml", "<Types/>"}, {"readme.txt", "hello"}}));
    } else if (kind == QLatin1String("docx")) {
        QByteArray rels = rootRels;
        rels.replace("TARGET", "word/document.xml");
        QVERIFY(writeZip(
            p, {{"_rels/.rels", rels},
                {"word/document.xml",
                 "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/"
                 "main\"><w:body/></w:document>"},
                {"word/_rels/document.xml.rels", noRels}}));
    } else if (kind == QLatin1String("badxml")) {
        QByteArray rels = rootRels;
        rels.replace("TARGET", "xl/workbook.xml");
        QVERIFY(writeZip(p, {{"_rels/.rels", rels},
                             {"xl/workbook.xml", "<workbook xmlns=\"" + kMain + "\"><sheets>"},
                             {"xl/_rels/workbook.xml.rels", noRels}}));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(p));
    }
    if (kind != QLatin1String("missing") && !QFileInfo::exists(p)) {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    Failure failure;
    QVERIFY(!ooxml::openWorkbookForEditing(p, &failure));
    QCOMPARE(failure.kind, reason);
    if (kind == QLatin1String("locked"))
        QCOMPARE(failure.detail, QString::fromUtf8("张三"));
}

void TestOoxmlWorkbook::savesPageSetup_data()
{
    // Settings on sheet "Two": "left=36" (points), "orientation=2",
    // "paper=9".  Expected: the attributes of
    // <pageMargins> and <pageSetup> in its part; empty setups: the file keeps
    // every byte.
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QList<bool>>("accepted");
    QTest::addColumn<QString>("margins");
    QTest::addColumn<QString>("pageSetup");

    const QString defaults =
        QStringLiteral("left=0.7 right=0.7 top=0.75 bottom=0.75 header=0.3 footer=0.3");
    QTest::newRow("six margins in inches")
        << QStringList{"left=36", "right=50.4", "top=72", "bottom=54", "header=21.6", "footer=0"}
        << QList<bool>{true, true, true, true, true, true}
        << "left=0.5 right=0.7 top=1 bottom=0.75 header=0.3 footer=0"
        << "";
    QTest::newRow("landscape through the property")
        << QStringList{"orientation=2"} << QList<bool>{true} << defaults
        << "orientation=\"landscape\"";
    QTest::newRow("portrait and a margin")
        << QStringList{"orientation=1", "left=144"} << QList<bool>{true, true}
        << "left=2 right=0.7 top=0.75 bottom=0.75 header=0.3 footer=0.3"
        << "orientation=\"portrait\"";
    QTest::newRow("paper and orientation")
        << QStringList{"paper=8", "orientation=1", "orientation=2"} << QList<bool>{true, true, true}
        << defaults << "paperSize=\"8\" orientation=\"landscape\"";
    QTest::newRow("invalid values are refused and nothing is written")
        << QStringList{"left=-1",       "top=nan",       "bottom=inf",
                       "orientation=0", "orientation=3", "paper=0"}
        << QList<bool>{false, false, false, false, false, false} << ""
        << "";
    QTest::newRow("nothing set") << QStringList{} << QList<bool>{} << ""
                                 << "";
}

void TestOoxmlWorkbook::savesPageSetup()
{
    QFETCH(QStringList, settings);
    QFETCH(QList<bool>, accepted);
    QFETCH(QString, margins);
    QFETCH(QString, pageSetup);
    const QString p = path(QStringLiteral("setup-%1.xlsx").arg(QTest::currentDataTag()));
    QVERIFY(writePackage(p, {{"One", 'w', "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"},
                             {"Chart", 'c', ""},
                             {"Two", 'w', "<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>"}}));
    const QByteArray before = fileBytes(p);
    const QByteArray oneBefore = readEntry(p, "xl/worksheets/sheet1.xml");
    QString sessionValues;

    auto wb = ooxml::openWorkbookForEditing(p);
    QVERIFY(wb);
    // As the run does: every sheet asked for; the chart sheet is passed over
    // and does not keep the workbook from being saved.
    QVERIFY(wb->worksheet(1));
    QVERIFY(!wb->worksheet(2));
    {
        auto ws = wb->worksheet(3);
        QVERIFY(ws);
        auto ps = ws->pageSetup();
        QVERIFY(ps);
        for (int i = 0; i < settings.size(); ++i) {
            const QString key = settings[i].section(QLatin1Char('='), 0, 0);
            const QString value = settings[i].section(QLatin1Char('='), 1);
            const double number = value == QLatin1String("nan") ? std::nan("")
                                  : value == QLatin1String("inf")
                                      ? std::numeric_limits<double>::infinity()
                                      : value.toDouble();
            bool ok = false;
            if (key == QLatin1String("left"))
                ok = ps->setLeftMargin(number);
            else if (key == QLatin1String("right"))
                ok = ps->setRightMargin(number);
            else if (key == QLatin1String("top"))
                ok = ps->setTopMargin(number);
            else if (key == QLatin1String("bottom"))
                ok = ps->setBottomMargin(number);
            else if (key == QLatin1String("header"))
                ok = ps->setHeaderMargin(number);
            else if (key == QLatin1String("footer"))
                ok = ps->setFooterMargin(number);
            else if (key == QLatin1String("orientation"))
                ok = ps->setOrientation(value.toInt());
            else if (key == QLatin1String("paper"))
                ok = ps->setPaperSize(value.toInt());
            QCOMPARE(ok, accepted[i]);
        }
        sessionValues = valuesText(ps->current());
    }
    QVERIFY(wb->save());
    wb->close();

    if (margins.isEmpty() && pageSetup.isEmpty()) {
        QCOMPARE(fileBytes(p), before);
        return;
    }
    const QByteArray two = readEntry(p, "xl/worksheets/sheet3.xml");
    QCOMPARE(attributesOf(two, QStringLiteral("pageMargins")), margins);
    const auto setup = QRegularExpression(QStringLiteral("<pageSetup\\s([^>]*?)/?>"))
                           .match(QString::fromUtf8(two));
    QString setupText = setup.hasMatch() ? setup.captured(1).trimmed() : QString();
    setupText.remove(QRegularExpression(QStringLiteral("\\s*r:id=\"[^\"]*\"")));
    QCOMPARE(setupText, pageSetup);
    QCOMPARE(readEntry(p, "xl/worksheets/sheet1.xml"), oneBefore);
    // Still a package this reader (and so the page-setup run) opens.
    auto again = ooxml::openWorkbookForEditing(p);
    QVERIFY(again);
    QCOMPARE(again->sheetCount(), 3);
    // What the part now holds is what the sheet reports, in this session and
    // the next (Excel's portrait and Letter where the part says nothing).
    const QString paper =
        QRegularExpression(QStringLiteral("paperSize=\"(\\d+)\"")).match(pageSetup).captured(1);
    const QString expected =
        margins + QStringLiteral(" orientation=%1 paper=%2")
                      .arg(pageSetup.contains(QLatin1String("landscape")) ? 2 : 1)
                      .arg(paper.isEmpty() ? QStringLiteral("1") : paper);
    QCOMPARE(valuesText(again->worksheet(3)->pageSetup()->current()), expected);
    QCOMPARE(sessionValues, expected);
    QCOMPARE(again->worksheet(3)->cell(1, 1)->valueText(), QStringLiteral("2"));
}

void TestOoxmlWorkbook::damagedWorksheet_data()
{
    QTest::addColumn<QByteArray>("part"); // null: the part is missing
    const QByteArray open = "<worksheet xmlns=\"" + kMain + "\">";
    QTest::newRow("missing part") << QByteArray();
    QTest::newRow("not well-formed") << open + "<sheetData><row r=\"1\"></sheetData></worksheet>";
    QTest::newRow("chart sheet part behind a worksheet relationship")
        << QByteArray("<chartsheet xmlns=\"" + kMain + "\"><sheetViews/></chartsheet>");
    QTest::newRow("other namespace")
        << QByteArray("<worksheet xmlns=\"urn:other\"><sheetData/></worksheet>");
    QTest::newRow("bad cell reference")
        << open + "<sheetData><row r=\"1\"><c r=\"1A\"><v>1</v></c></row></sheetData></worksheet>";
    QTest::newRow("column beyond XFD")
        << open + "<sheetData><row r=\"1\"><c r=\"XFE1\"/></row></sheetData></worksheet>";
    QTest::newRow("row 0") << open + "<sheetData><row r=\"0\"><c/></row></sheetData></worksheet>";
}

void TestOoxmlWorkbook::damagedWorksheet()
{
    QFETCH(QByteArray, part);
    const QString p = path(QStringLiteral("damaged-%1.xlsx").arg(QTest::currentDataTag()));
    QVERIFY(writePackage(p, {{"Good", 'w', "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"},
                             {"Bad", part.isNull() ? 'm' : 'x', part}}));
    const QByteArray before = fileBytes(p);
    auto wb = ooxml::openWorkbookForEditing(p);
    QVERIFY(wb);
    QCOMPARE(wb->sheetCount(), 2);
    auto good = wb->worksheet(1);
    QVERIFY(good);
    QVERIFY(good->pageSetup()->setLeftMargin(36));
    QVERIFY(!wb->worksheet(2));
    // Listed as failed rather than saved as if every sheet had been done.
    QVERIFY(!wb->save());
    wb->close();
    QCOMPARE(fileBytes(p), before);
}

void TestOoxmlWorkbook::closedWorkbookAnswersNothing()
{
    const QString p = path(QStringLiteral("closed.xlsx"));
    QVERIFY(writePackage(p, {{"S", 'w', "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"}}));
    const QByteArray before = fileBytes(p);
    auto wb = ooxml::openWorkbookForEditing(p);
    QVERIFY(wb);
    auto ws = wb->worksheet(1);
    QVERIFY(ws);
    auto ps = ws->pageSetup();
    QVERIFY(ps);
    QVERIFY(ps->setLeftMargin(99));
    wb->close(); // drops the change, writes nothing
    wb->close();
    QCOMPARE(fileBytes(p), before);
    QCOMPARE(wb->sheetCount(), -1);
    QVERIFY(!wb->worksheet(1));
    QVERIFY(!ws->usedRange());
    QVERIFY(!ws->cell(1, 1));
    QVERIFY(!ws->pageSetup());
    QVERIFY(!ps->setLeftMargin(10));
    QVERIFY(!wb->save());
    QCOMPARE(fileBytes(p), before);
}

QTEST_GUILESS_MAIN(TestOoxmlWorkbook)
#include "tst_ooxmlworkbook.moc"
