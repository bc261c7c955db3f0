// Page setup written straight into .xls (BIFF8) workbooks, checked with
// readers that are not ours: LibreOffice reads back the margins and the
// orientation, and libgsf's `gsf` finds every other compound-file entry
// byte for byte as it was.  The workbooks are made by LibreOffice from
// generated files; VBA storages and unusual records are added with `gsf
// createole` and by retyping records.
#include "engines/biff/biffworkbook.h"
#include "engines/engines.h"
#include "workbookgen.h"

#ifdef QUORVANE_TEST_LIBREOFFICE
#include "engines/libreoffice/libreofficeapplication.h"
#endif

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <functional>

using namespace spreadsheet;

namespace {

using Entries = QList<QPair<QString, QByteArray>>; // compound-file path -> bytes

QByteArray run(const QString& program, const QStringList& args, const QString& dir = QString())
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(180000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

bool soffice(const QStringList& files, const QString& format, const QString& outDir)
{
    QTemporaryDir profile;
    const QString url = QUrl::fromLocalFile(profile.path()).toString();
    run(QStringLiteral("soffice"), QStringList{"--headless", "-env:UserInstallation=" + url,
                                               "--convert-to", format, "--outdir", outDir} +
                                       files);
    for (const QString& f : files) {
        const QString out =
            outDir + '/' + QFileInfo(f).completeBaseName() + '.' + format.section(':', 0, 0);
        if (!QFileInfo::exists(out))
            return false;
    }
    return true;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every stream of a compound file as gsf lists and reads it.
Entries gsfEntries(const QString& path)
{
    Entries entries;
    const QRegularExpression line(QStringLiteral("^f\\s+(\\d{4}-\\S+ \\S+)?\\s*\\d+ (.*)$"));
    for (const QByteArray& l : run(QStringLiteral("gsf"), {"list", path}).split('\n')) {
        const auto m = line.match(QString::fromUtf8(l));
        if (m.hasMatch())
            entries.append(
                {m.captured(2), run(QStringLiteral("gsf"), {"cat", path, m.captured(2)})});
    }
    return entries;
}

// A compound file written by gsf from entries.
bool createOle(const QString& path, const Entries& entries)
{
    QTemporaryDir tree;
    QStringList top;
    for (const auto& e : entries) {
        if (!writeBytes(tree.filePath(e.first), e.second))
            return false;
        const QString first = e.first.section('/', 0, 0);
        if (!top.contains(first))
            top << first;
    }
    QFile::remove(path);
    run(QStringLiteral("gsf"), QStringList{"createole", path} + top, tree.path());
    return QFileInfo::exists(path);
}

QByteArray& streamOf(Entries& entries)
{
    static QByteArray none;
    for (auto& e : entries) {
        if (e.first == QLatin1String("Workbook"))
            return e.second;
    }
    return none;
}

QByteArray streamOf(const Entries& entries)
{
    return streamOf(const_cast<Entries&>(entries));
}

struct Rec
{
    int pos;
    quint16 type;
    int length;
};

// The records of a Workbook stream; sheet: which BOF substream (0 globals).
QList<Rec> records(const QByteArray& stream, int sheet = -1)
{
    QList<Rec> out;
    int bofs = -1;
    for (int at = 0; at + 4 <= stream.size();) {
        const Rec r{at, qFromLittleEndian<quint16>(stream.constData() + at),
                    qFromLittleEndian<quint16>(stream.constData() + at + 2)};
        bofs += r.type == 0x0809;
        if (sheet < 0 || bofs == sheet)
            out << r;
        at += 4 + r.length;
    }
    return out;
}

Rec first(const QByteArray& stream, int sheet, quint16 type)
{
    for (const Rec& r : records(stream, sheet)) {
        if (r.type == type)
            return r;
    }
    return Rec{-1, 0, 0};
}

void put16(QByteArray& b, int at, quint16 v)
{
    qToLittleEndian(v, b.data() + at);
}

void put32(QByteArray& b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

// For every absolute position of BOUNDSHEET8 and INDEX records: the type of
// the record it points to.
QList<quint16> pointedTypes(const QByteArray& stream)
{
    QList<quint16> types;
    for (const Rec& r : records(stream)) {
        QList<int> fields;
        if (r.type == 0x0085)
            fields << r.pos + 4;
        for (int f = r.pos + 16; r.type == 0x020B && f + 4 <= r.pos + 4 + r.length; f += 4)
            fields << f;
        for (int f : fields) {
            const quint32 at = qFromLittleEndian<quint32>(stream.constData() + f);
            types << (at + 2 <= quint32(stream.size())
                          ? qFromLittleEndian<quint16>(stream.constData() + at)
                          : 0);
        }
    }
    return types;
}

// Attributes of an element of a sheet part of an .xlsx package.
QMap<QString, QString> sheetAttributes(const QString& xlsx, int sheet, const QString& element)
{
    const QString xml = QString::fromUtf8(
        run(QStringLiteral("unzip"),
            {"-p", xlsx, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)}));
    QMap<QString, QString> attrs;
    const auto m = QRegularExpression(QStringLiteral("<%1\\s([^>]*)/?>").arg(element)).match(xml);
    auto it = QRegularExpression(QStringLiteral("(\\w+)=\"([^\"]*)\"")).globalMatch(m.captured(1));
    while (it.hasNext()) {
        const auto a = it.next();
        attrs.insert(a.captured(1), a.captured(2));
    }
    return attrs;
}

const QByteArray kEmbeddedFods = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:body><office:spreadsheet>
<table:table table:name="Objects"><table:table-row><table:table-cell office:value-type="string"><draw:frame svg:width="4cm" svg:height="2cm" svg:x="1cm" svg:y="1cm"><draw:object><office:document office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:body><office:spreadsheet><table:table table:name="Inner"><table:table-row><table:table-cell office:value-type="float" office:value="7"><text:p>7</text:p></table:table-cell></table:table-row></table:table></office:spreadsheet></office:body></office:document></draw:object></draw:frame><text:p>with an object</text:p></table:table-cell></table:table-row></table:table>
<table:table table:name="Second"><table:table-row><table:table-cell office:value-type="float" office:value="2"><text:p>2</text:p></table:table-cell></table:table-row></table:table>
<table:table table:name="Third"><table:table-row><table:table-cell office:value-type="string"><text:p>3</text:p></table:table-cell></table:table-row></table:table>
</office:spreadsheet></office:body></office:document>
)";

QByteArray record(quint16 type, const QByteArray& data)
{
    QByteArray r(4, '\0');
    qToLittleEndian(type, r.data());
    qToLittleEndian(quint16(data.size()), r.data() + 2);
    return r + data;
}

QByteArray le16(std::initializer_list<quint16> values)
{
    QByteArray out(int(values.size()) * 2, '\0');
    int at = 0;
    for (quint16 v : values)
        qToLittleEndian(v, out.data() + 2 * at++);
    return out;
}

// The "Book" stream of an Excel 5.0/95 (BIFF5) workbook with one sheet, the
// text "hello" in A1.
QByteArray biff5Book()
{
    const QByteArray sheet = record(0x0809, le16({0x0500, 0x0010, 0, 0})) +
                             record(0x0200, le16({0, 1, 0, 1, 0})) +
                             record(0x0204, le16({0, 0, 0, 5}) + "hello") + record(0x000A, {});
    const QByteArray bof = record(0x0809, le16({0x0500, 0x0005, 0, 0}));
    const int sheetAt = bof.size() + 4 + 10 + 4;
    return bof + record(0x0085, le16({quint16(sheetAt), 0, 0}) + "\x03Old") + record(0x000A, {}) +
           sheet;
}

// A VBA project's storage as Excel places it; the bytes only have to stay.
Entries vbaStorage()
{
    return {{"_VBA_PROJECT_CUR/PROJECT", "ID=\"{5A5A5A5A-0000-0000-0000-000000000000}\"\r\n"
                                         "Document=ThisWorkbook/&H00000000\r\n"},
            {"_VBA_PROJECT_CUR/PROJECTwm", QByteArray("ThisWorkbook\0T\0h\0\0\0\0", 20)},
            {"_VBA_PROJECT_CUR/VBA/_VBA_PROJECT", QByteArray("\xCC\x61\xFF\xFF\x00\x00\x00", 7)},
            {"_VBA_PROJECT_CUR/VBA/dir", QByteArray(5000, '\x11')},
            {"_VBA_PROJECT_CUR/VBA/ThisWorkbook", QByteArray(700, '\x22')}};
}

} // namespace

class TestBiff : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsSheets();
    void changesOnlyPageSetup_data();
    void changesOnlyPageSetup();
    void refused_data();
    void refused();
    void officeServesWhatIsNoBiff8();
    void officeBodyMarginBelowHeader();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    std::unique_ptr<Application> m_app;
};

void TestBiff::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("gsf")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
        QSKIP("needs libgsf's gsf and LibreOffice's soffice");
    QVERIFY(workbookgen::writeXlsx(path("plain.xlsx"),
                                   {workbookgen::filledSheet("One", 30),
                                    workbookgen::filledSheet(QString::fromUtf8("数据"), 30),
                                    {"Drei", {{"", "", ""}, {"", "0.1", "x"}}}}));
    QVERIFY(writeBytes(path("embedded.fods"), kEmbeddedFods));
    QVERIFY(soffice({path("plain.xlsx"), path("embedded.fods")}, "xls", m_dir.path()));
    QVERIFY(createOle(path("95.xls"), {{"Book", biff5Book()}}));

    // vba.xls: the plain workbook with a VBA project's storage.
    Entries plain = gsfEntries(path("plain.xls"));
    QVERIFY(createOle(path("vba.xls"), plain + vbaStorage()));

    // added.xls: the second sheet lacks its left and top margins and its
    // SETUP record (retyped into records nobody knows, which must stay), and
    // the first sheet has an INDEX record pointing past the records that
    // will be added.
    Entries added = gsfEntries(path("embedded.xls")) + vbaStorage();
    // A large stream: the allocation table needs DIFAT sectors.
    added.append({"Revision Log", QByteArray(9 << 20, '\x5A')});
    QByteArray& s = streamOf(added);
    for (quint16 type : {0x0026, 0x0028, 0x00A1})
        put16(s, first(s, 2, type).pos, 0x0F00 | type);
    const Rec header = first(s, 1, 0x0014);
    QVERIFY(header.length >= 28);
    put16(s, header.pos, 0x020B);
    put32(s, header.pos + 16, first(s, 3, 0x0055).pos); // DEFCOLWIDTH
    put32(s, header.pos + 20, first(s, 2, 0x0200).pos); // DIMENSIONS
    put32(s, header.pos + 24, first(s, 1, 0x0055).pos);
    put32(s, header.pos + 28, first(s, 3, 0x0809).pos); // BOF
    QVERIFY(createOle(path("added.xls"), added));
    m_app = engines::createSpreadsheetApplication();
    m_app->start();
}

void TestBiff::readsSheets()
{
    Failure failure;
    auto book = biff::openWorkbookForEditing(path("plain.xls"), &failure);
    QVERIFY2(book, qPrintable(failure.detail));
    QCOMPARE(book->sheetCount(), 3);
    QCOMPARE(book->worksheet(2)->name(), QString::fromUtf8("数据"));
    auto one = book->worksheet(1);
    QCOMPARE(one->cell(1, 1)->valueText(), QStringLiteral("One row 1"));
    QCOMPARE(one->cell(30, 3)->valueText(), QStringLiteral("300"));
    auto used = one->usedRange();
    QCOMPARE(QList<int>({used->row(), used->column(), used->rowCount(), used->columnCount()}),
             QList<int>({1, 1, 30, 3}));
    auto drei = book->worksheet(3);
    used = drei->usedRange();
    QCOMPARE(QList<int>({used->row(), used->column(), used->rowCount(), used->columnCount()}),
             QList<int>({2, 2, 1, 2}));
    QCOMPARE(drei->cell(2, 2)->valueText(), QStringLiteral("0.1"));
    QCOMPARE(drei->cell(1, 1)->valueText(), QString());
    QVERIFY(!book->worksheet(4));

    // A chart sheet and a dialog sheet are sheets, but no worksheets.
    Entries entries = gsfEntries(path("plain.xls"));
    QByteArray& s = streamOf(entries);
    QList<Rec> bound;
    for (const Rec& r : records(s, 0)) {
        if (r.type == 0x0085)
            bound << r;
    }
    s[bound.at(2).pos + 9] = 2; // the third BOUNDSHEET8: a chart
    put16(s, first(s, 3, 0x0809).pos + 6, 0x0020);
    s[first(s, 2, 0x0081).pos + 4] = char(s.at(first(s, 2, 0x0081).pos + 4) | 0x10); // fDialog
    QVERIFY(createOle(path("kinds.xls"), entries));
    book = biff::openWorkbookForEditing(path("kinds.xls"), &failure);
    QVERIFY2(book, qPrintable(failure.detail));
    QCOMPARE(book->sheetCount(), 3);
    QVERIFY(book->worksheet(1) && !book->worksheet(2) && !book->worksheet(3));
}

void TestBiff::changesOnlyPageSetup_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("LibreOffice's .xls, bytes in place") << "plain.xls";
    QTest::newRow("embedded OLE object, in the mini stream") << "embedded.xls";
    QTest::newRow("VBA project, through a link") << "vba.xls";
    QTest::newRow("records added, positions moved, 9 MiB") << "added.xls";
}

void TestBiff::changesOnlyPageSetup()
{
    QFETCH(QString, file);
    const QString original = path(file);
    const QString work = path("work/" + file);
    QDir().mkpath(path("work"));
    QFile::remove(work);
    QVERIFY(QFile::copy(original, work));
    QString opened = work;
    if (file == QLatin1String("vba.xls")) {
        QVERIFY(
            QFile::setPermissions(work, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        opened = path("work/link.xls");
        QFile::remove(opened);
        QVERIFY(QFile::link(work, opened));
    }

    Failure failure;
    auto book =
        m_app->workbooks()->open(QDir::toNativeSeparators(opened), OpenMode::ForEditing, &failure);
    QVERIFY2(book, qPrintable(failure.detail));
    auto setup = book->worksheet(2)->pageSetup();
    auto cm = [&](double c) { return m_app->centimetersToPoints(c); };
    QVERIFY(setup->setLeftMargin(cm(2.0)) && setup->setRightMargin(cm(1.5)));
    QVERIFY(setup->setTopMargin(cm(3.0)) && setup->setBottomMargin(cm(2.5)));
    QVERIFY(setup->setHeaderMargin(cm(0.8)) && setup->setFooterMargin(cm(1.2)));
    QVERIFY(setup->setOrientation(OrientationLandscape));
    QVERIFY(!setup->setLeftMargin(-1) && !setup->setOrientation(3));
    QVERIFY2(book->save(&failure), qPrintable(failure.detail));
    book->close();

    // gsf finds the same entries, each with its bytes, but the Workbook stream.
    const Entries before = gsfEntries(original), after = gsfEntries(opened);
    QCOMPARE(after.size(), before.size());
    for (int i = 0; i < before.size(); ++i) {
        QCOMPARE(after.at(i).first, before.at(i).first);
        if (before.at(i).first != QLatin1String("Workbook"))
            QVERIFY2(after.at(i).second == before.at(i).second, qPrintable(before.at(i).first));
    }
    QCOMPARE(pointedTypes(streamOf(after)), pointedTypes(streamOf(before)));
    QCOMPARE(QFileInfo(opened).isSymLink(), opened != work);
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    if (opened != work)
        QCOMPARE(int(QFileInfo(work).permissions() & 0x7077), int(mode));
    QCOMPARE(QDir(path("work")).entryList({".~quorvane-*"}, QDir::Hidden | QDir::Files),
             QStringList());

    // LibreOffice reads the asked page setup on the second sheet (Excel's
    // top margin being the distance to the body) and the others as before.
    const QString out = path("out-" + QFileInfo(file).completeBaseName());
    QDir().mkpath(out + "/before");
    QVERIFY(soffice({original}, "xlsx", out + "/before"));
    QVERIFY(soffice({work}, "xlsx", out));
    const QString x = out + '/' + QFileInfo(file).completeBaseName() + ".xlsx";
    const QString xBefore = out + "/before/" + QFileInfo(file).completeBaseName() + ".xlsx";
    const auto margins = sheetAttributes(x, 2, "pageMargins");
    const QList<QPair<const char*, double>> asked = {
        {"left", 2.0}, {"right", 1.5}, {"top", 3.0}, {"bottom", 2.5}};
    for (const auto& a : asked)
        QVERIFY2(qAbs(margins.value(a.first).toDouble() - a.second / 2.54) < 0.005, a.first);
    // The office drops the header and footer margins of a sheet without
    // header text on loading: they are read from the SETUP record.
    const QByteArray stream = streamOf(after);
    const Rec setupRecord = first(stream, 2, 0x00A1);
    QCOMPARE(setupRecord.length, 34);
    for (const auto& a : {qMakePair(20, 0.8), qMakePair(28, 1.2)}) {
        double inches;
        const quint64 bits =
            qFromLittleEndian<quint64>(stream.constData() + setupRecord.pos + a.first);
        std::memcpy(&inches, &bits, sizeof inches);
        QCOMPARE(qRound(inches * 2.54 * 1000), qRound(a.second * 1000));
    }
    QCOMPARE(sheetAttributes(x, 2, "pageSetup").value("orientation"), QStringLiteral("landscape"));
    // Reopened, the engine reads back from the records what it wrote.
    auto again = m_app->workbooks()->open(QDir::toNativeSeparators(opened), OpenMode::Inspect);
    QVERIFY(again);
    const PageSetupValues now = again->worksheet(2)->pageSetup()->current();
    QCOMPARE(qRound(now.left.value_or(0) * 2.54 * 100), 200);
    QCOMPARE(qRound(now.footer.value_or(0) * 2.54 * 100), 120);
    QCOMPARE(now.orientation.value_or(0), int(OrientationLandscape));
    again->close();
    for (int sheet : {1, 3}) {
        QCOMPARE(sheetAttributes(x, sheet, "pageMargins"),
                 sheetAttributes(xBefore, sheet, "pageMargins"));
        QCOMPARE(sheetAttributes(x, sheet, "pageSetup"),
                 sheetAttributes(xBefore, sheet, "pageSetup"));
    }
}

void TestBiff::refused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("onSave"); // opens, but save() finds the damage

    const QByteArray plain = bytesOf(path("plain.xls"));
    const Entries entries = gsfEntries(path("plain.xls"));
    auto withStream = [&](const std::function<void(QByteArray&)>& change) {
        Entries e = entries;
        change(streamOf(e));
        createOle(path("changed.xls"), e);
        return bytesOf(path("changed.xls"));
    };
    const int damaged = int(FailureKind::Damaged),
              unsupported = int(FailureKind::UnsupportedFormat);
    QTest::newRow("truncated file") << plain.left(plain.size() * 2 / 3) << damaged << false;
    QTest::newRow("record length past the end")
        << withStream([](QByteArray& s) { put16(s, records(s).last().pos + 2, 0x0100); }) << damaged
        << false;
    QTest::newRow("Workbook stream cut short")
        << withStream([](QByteArray& s) { s.chop(100); }) << damaged << false;
    QTest::newRow("sheet position points nowhere") << withStream([](QByteArray& s) {
        put32(s, first(s, 0, 0x0085).pos + 4, first(s, 1, 0x0809).pos + 1);
    }) << damaged << false;
    QTest::newRow("margin record of the wrong size") << withStream([](QByteArray& s) {
        put16(s, first(s, 2, 0x0083).pos, 0x0026); // HCENTER, 2 bytes, before LEFTMARGIN
    }) << damaged << true;
    QTest::newRow("encrypted") << withStream(
                                      [](QByteArray& s) { put16(s, records(s).at(1).pos, 0x002F); })
                               << int(FailureKind::PasswordProtected) << false;
    QTest::newRow("Excel 95") << bytesOf(path("95.xls")) << unsupported << false;
    QTest::newRow("HTML") << QByteArray("<html><table><tr><td>1</td></tr></table></html>")
                          << unsupported << false;
    QTest::newRow(".xlsx package") << bytesOf(path("plain.xlsx")) << unsupported << false;
}

void TestBiff::refused()
{
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(bool, onSave);
    QVERIFY(!content.isEmpty());
    const QString p = path("refused.xls");
    QVERIFY(writeBytes(p, content));
    Failure failure;
    auto book = biff::openWorkbookForEditing(p, &failure);
    QCOMPARE(bool(book), onSave);
    if (book) {
        QVERIFY(book->worksheet(2)->pageSetup()->setLeftMargin(36));
        QVERIFY(!book->save(&failure));
    }
    QCOMPARE(int(failure.kind), kind);
    QCOMPARE(bytesOf(p), content);
}

void TestBiff::officeServesWhatIsNoBiff8()
{
    // The office opens what the BIFF engine leaves to it, and does not turn
    // it into another format on saving.
    const QByteArray html("<html><table><tr><td>1</td></tr></table></html>");
    for (const QByteArray& content : {bytesOf(path("95.xls")), html}) {
        const QString p = path("office.xls");
        QVERIFY(writeBytes(p, content));
        auto book = m_app->workbooks()->open(p, OpenMode::ForEditing);
        QVERIFY(book);
        QVERIFY(book->worksheet(1)->pageSetup()->setLeftMargin(36));
        QVERIFY(!book->save());
        book->close();
        QCOMPARE(bytesOf(p), content);
    }
    m_app->quit();
}

void TestBiff::officeBodyMarginBelowHeader()
{
#ifndef QUORVANE_TEST_LIBREOFFICE
    QSKIP("built without LibreOffice");
#else
    // LibreOffice's page style keeps the header inside the top margin; a top
    // margin below the header margin must still put the body where asked.
    const QString p = path("office-margins.xls");
    QVERIFY(QFile::copy(path("plain.xls"), p));
    engines::lo::LibreOfficeApplication office;
    office.start();
    QVERIFY(office.workbooks());
    {
        auto book = office.workbooks()->open(p, OpenMode::ForEditing);
        QVERIFY(book);
        auto setup = book->worksheet(1)->pageSetup();
        QVERIFY(setup->setTopMargin(office.centimetersToPoints(1.0)));
        QVERIFY(setup->setBottomMargin(office.centimetersToPoints(0.5)));
        QVERIFY(book->save());
    }
    office.quit();
    QVERIFY(soffice({p}, "xlsx", path("office")));
    const auto margins = sheetAttributes(path("office/office-margins.xlsx"), 1, "pageMargins");
    QVERIFY2(qAbs(margins.value("top").toDouble() - 1.0 / 2.54) < 0.005,
             qPrintable(margins.value("top")));
    QVERIFY2(qAbs(margins.value("bottom").toDouble() - 0.5 / 2.54) < 0.005,
             qPrintable(margins.value("bottom")));
#endif
}

QTEST_GUILESS_MAIN(TestBiff)
#include "tst_biff.moc"
