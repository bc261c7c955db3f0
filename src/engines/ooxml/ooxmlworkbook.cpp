#include "engines/ooxml/ooxmlworkbook.h"

#include "engines/ooxml/ooxmlpagesetup.h"
#include "engines/ooxml/package.h"
#include "engines/ooxml/sheetpart.h"
#include "engines/ooxml/workbookfile.h"
#include "platform/editblocker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QStringList>
#include <QVector>
#include <QXmlStreamReader>

#include <climits>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

namespace ooxml {

using namespace detail;
using namespace spreadsheet;

namespace {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

quint64 cellKey(int row, int column)
{
    return (quint64(row) << 16) | quint64(column);
}

// A cell reference such as "C3" -> row and column from 1; false for anything else.
template <class Text>
bool parseCellReference(const Text& ref, int* row, int* column)
{
    const qsizetype n = ref.size();
    qsizetype i = 0;
    int c = 0;
    while (i < n) {
        const char16_t ch = ref.at(i).unicode();
        int letter;
        if (ch >= u'A' && ch <= u'Z')
            letter = ch - u'A';
        else if (ch >= u'a' && ch <= u'z')
            letter = ch - u'a';
        else
            break;
        c = c * 26 + letter + 1;
        if (c > kMaxColumns)
            return false;
        ++i;
    }
    if (i == 0 || i == n)
        return false;
    int r = 0;
    for (; i < n; ++i) {
        const char16_t ch = ref.at(i).unicode();
        if (ch < u'0' || ch > u'9')
            return false;
        r = r * 10 + (ch - u'0');
        if (r > kMaxRows)
            return false;
    }
    if (r < 1)
        return false;
    *row = r;
    *column = c;
    return true;
}

template <class Text>
bool parseNumber(const Text& text, int max, int* value)
{
    if (text.isEmpty())
        return false;
    int v = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text.at(i).unicode();
        if (ch < u'0' || ch > u'9')
            return false;
        v = v * 10 + (ch - u'0');
        if (v > max)
            return false;
    }
    *value = v;
    return true;
}

int hexDigit(QChar ch)
{
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// Resolves the _xHHHH_ escapes Excel writes into texts for characters XML
// cannot hold (control characters; "_x005F_" for a literal underscore).
QString unescapeText(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() &&
            text.at(i + 1) == QLatin1Char('x') && text.at(i + 6) == QLatin1Char('_')) {
            int code = 0;
            bool hex = true;
            for (int k = 2; k < 6 && hex; ++k) {
                const int d = hexDigit(text.at(i + k));
                hex = d >= 0;
                code = code * 16 + d;
            }
            if (hex) {
                out.append(QChar(char16_t(code)));
                i += 7;
                continue;
            }
        }
        out.append(text.at(i));
        ++i;
    }
    return out;
}

// The text of a string item (<si> of the shared strings, <is> of a cell), the
// reader on its start element: plain <t>, or the <t> of its rich text runs
// joined.  Phonetic runs (<rPh>) are not part of the value.
QString readStringItem(QXmlStreamReader& reader)
{
    QString text;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("t")) {
            text += reader.readElementText();
        } else if (reader.name() == QLatin1String("r")) {
            while (reader.readNextStartElement()) {
                if (reader.name() == QLatin1String("t"))
                    text += reader.readElementText();
                else
                    reader.skipCurrentElement();
            }
        } else {
            reader.skipCurrentElement();
        }
    }
    return unescapeText(text);
}

struct CellValue
{
    int sharedIndex = -1; // t="s": index into the shared strings
    QString text;         // every other type: the value as text
};

// What a page-setup run needs of a worksheet part.
struct SheetCells
{
    int firstRow = 0, firstColumn = 0, lastRow = 0, lastColumn = 0; // 0: no cells
    QHash<quint64, CellValue> values; // cells with a value, by cellKey()
    // The part's <pageMargins> and <pageSetup>, Excel's defaults for what
    // they leave out.
    PageSetupValues pageSetup;

    void include(int row, int column)
    {
        if (firstRow == 0) {
            firstRow = lastRow = row;
            firstColumn = lastColumn = column;
            return;
        }
        firstRow = qMin(firstRow, row);
        lastRow = qMax(lastRow, row);
        firstColumn = qMin(firstColumn, column);
        lastColumn = qMax(lastColumn, column);
    }
};

// Reads one <c>, the reader on its start element.
bool readCell(QXmlStreamReader& reader, int row, int* column, SheetCells* cells)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    const auto ref = attributes.value(QLatin1String("r"));
    int cellRow = row;
    if (ref.isEmpty()) {
        // Without a reference a cell follows the one before it in its row.
        if (row < 1 || ++*column > kMaxColumns)
            return false;
    } else if (!parseCellReference(ref, &cellRow, column)) {
        return false;
    }
    cells->include(cellRow, *column);

    const auto type = attributes.value(QLatin1String("t"));
    QString value, inlineText;
    bool hasValue = false, hasInline = false;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("v")) {
            value = reader.readElementText();
            hasValue = true;
        } else if (reader.name() == QLatin1String("is")) {
            inlineText = readStringItem(reader);
            hasInline = true;
        } else {
            reader.skipCurrentElement(); // <f>, <extLst>
        }
    }
    CellValue cell;
    if (type == QLatin1String("s")) {
        if (!hasValue || !parseNumber(value.trimmed(), INT_MAX - 1, &cell.sharedIndex))
            return !reader.hasError(); // no string: an empty cell
    } else if (type == QLatin1String("inlineStr")) {
        if (!hasInline)
            return !reader.hasError();
        cell.text = inlineText;
    } else if (type == QLatin1String("b")) {
        const QString v = value.trimmed();
        if (v == QLatin1String("1") || v == QLatin1String("true"))
            cell.text = QStringLiteral("TRUE");
        else if (v == QLatin1String("0") || v == QLatin1String("false"))
            cell.text = QStringLiteral("FALSE");
        else
            cell.text = v;
    } else if (type == QLatin1String("str")) {
        cell.text = unescapeText(value);
    } else {
        cell.text = value; // numbers, dates, errors: as stored, not formatted
    }
    if (cell.sharedIndex >= 0 || !cell.text.isEmpty())
        cells->values.insert(cellKey(cellRow, *column), cell);
    return !reader.hasError();
}

// Reads <pageMargins> or <pageSetup> into setup, the reader on its start
// element.  A value that is not a number is left as it was.
void readPageSetupElement(QXmlStreamReader& reader, PageSetupValues* setup)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    auto number = [&](const char* name, std::optional<double>* value) {
        bool ok = false;
        const double v = attributes.value(QLatin1String(name)).toString().toDouble(&ok);
        if (ok && std::isfinite(v) && v >= 0)
            *value = v;
    };
    if (reader.name() == QLatin1String("pageMargins")) {
        number("left", &setup->left);
        number("right", &setup->right);
        number("top", &setup->top);
        number("bottom", &setup->bottom);
        number("header", &setup->header);
        number("footer", &setup->footer);
    } else {
        const auto orientation = attributes.value(QLatin1String("orientation"));
        if (orientation == QLatin1String("landscape"))
            setup->orientation = OrientationLandscape;
        else if (orientation == QLatin1String("portrait"))
            setup->orientation = OrientationPortrait;
        int paper = 0;
        if (parseNumber(attributes.value(QLatin1String("paperSize")), 1000, &paper) && paper > 0)
            setup->paperSize = paper;
    }
    reader.skipCurrentElement();
}

// Excel's values for what a sheet part does not say: the margins of a new
// sheet, portrait, and the schema's paper code 1 (Letter).
PageSetupValues withExcelDefaults(PageSetupValues setup)
{
    std::optional<double>* margins[6] = {&setup.left,   &setup.right,  &setup.top,
                                         &setup.bottom, &setup.header, &setup.footer};
    for (int i = 0; i < 6; ++i) {
        if (!*margins[i])
            *margins[i] = kDefaultMargins[i];
    }
    if (!setup.orientation)
        setup.orientation = OrientationPortrait;
    if (!setup.paperSize)
        setup.paperSize = 1;
    return setup;
}

// Reads the cells of a worksheet part.  False when the part is not a
// well-formed SpreadsheetML <worksheet> as far as its <sheetData> goes.
bool parseWorksheet(const QByteArray& xml, SheetCells* cells)
{
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("worksheet") ||
        !isMainNamespace(reader.namespaceUri()))
        return false;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("pageMargins") ||
            reader.name() == QLatin1String("pageSetup")) {
            readPageSetupElement(reader, &cells->pageSetup);
            continue;
        }
        if (reader.name() != QLatin1String("sheetData")) {
            reader.skipCurrentElement();
            continue;
        }
        int row = 0;
        while (reader.readNextStartElement()) {
            if (reader.name() != QLatin1String("row")) {
                reader.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes attributes = reader.attributes();
            const auto r = attributes.value(QLatin1String("r"));
            if (r.isEmpty()) {
                if (++row > kMaxRows)
                    return false;
            } else if (!parseNumber(r, kMaxRows, &row) || row < 1) {
                return false;
            }
            int column = 0;
            while (reader.readNextStartElement()) {
                if (reader.name() != QLatin1String("c")) {
                    reader.skipCurrentElement();
                    continue;
                }
                if (!readCell(reader, row, &column, cells))
                    return false;
            }
        }
    }
    return !reader.hasError();
}

bool parseSharedStrings(const QByteArray& xml, QStringList* strings)
{
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("sst"))
        return false;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("si"))
            strings->append(readStringItem(reader));
        else
            reader.skipCurrentElement();
    }
    return !reader.hasError();
}

struct SheetInfo
{
    QString name;
    QString part; // empty when the relationship is missing
    SheetVisibility visibility = SheetVisibility::Visible;
    bool isWorksheet = false; // by its relationship type
    bool loaded = false;      // its part was read (whatever the outcome)
    bool readable = false;
    SheetCells cells;
};

// What the workbook and its sheets, cells and page setups share.
struct BookState
{
    QString path;
    QVector<SheetInfo> sheets;
    QString sharedStringsPart;                // empty when the workbook has none
    std::optional<QStringList> sharedStrings; // loaded on first use; empty list on failure
    QMap<QString, SheetPageSetup> changes;    // sheet name -> page setup set in this session
    Archive archive;                          // open while reading; dropped before saving
    // A worksheet part could not be read: the package is damaged, and
    // saving it as if the run had gone through every sheet would hide that.
    bool damaged = false;
    bool closed = false;

    zip_t* zip()
    {
        if (!archive) {
            int code = 0;
            archive.reset(
                zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
        }
        return archive.get();
    }

    SheetInfo* loadedSheet(int index)
    {
        if (closed || index < 0 || index >= sheets.size())
            return nullptr;
        SheetInfo& sheet = sheets[index];
        if (!sheet.isWorksheet)
            return nullptr;
        if (!sheet.loaded) {
            sheet.loaded = true;
            QByteArray xml;
            zip_t* z = zip();
            SheetCells cells;
            sheet.readable = !sheet.part.isEmpty() && z && readPart(z, sheet.part, &xml, nullptr) &&
                             parseWorksheet(xml, &cells);
            if (sheet.readable)
                sheet.cells = std::move(cells);
            else
                damaged = true;
        }
        return sheet.readable ? &sheet : nullptr;
    }

    // The shared string at index, or nothing when the shared strings cannot
    // be read or hold no such string.
    std::optional<QString> sharedString(int index)
    {
        if (!sharedStrings) {
            QStringList strings;
            QByteArray xml;
            zip_t* z = zip();
            const bool readable = !sharedStringsPart.isEmpty() && z &&
                                  readPart(z, sharedStringsPart, &xml, nullptr) &&
                                  parseSharedStrings(xml, &strings);
            sharedStrings = readable ? strings : QStringList();
        }
        if (index < 0 || index >= sharedStrings->size())
            return std::nullopt;
        return sharedStrings->at(index);
    }

    void close()
    {
        closed = true;
        sheets.clear();
        sharedStrings.reset();
        changes.clear();
        archive.reset();
    }
};

using StatePtr = std::shared_ptr<BookState>;

class DirectCell : public Cell
{
public:
    explicit DirectCell(QString text) : m_text(std::move(text)) {}
    QString valueText() override { return m_text; }

private:
    QString m_text;
};

class DirectUsedRange : public UsedRange
{
public:
    DirectUsedRange(int row, int column, int rows, int columns)
        : m_row(row), m_column(column), m_rows(rows), m_columns(columns)
    {}
    int row() override { return m_row; }
    int column() override { return m_column; }
    int rowCount() override { return m_rows; }
    int columnCount() override { return m_columns; }

private:
    int m_row, m_column, m_rows, m_columns;
};

class DirectPageSetup : public PageSetup
{
public:
    DirectPageSetup(StatePtr state, QString sheetName)
        : m_state(std::move(state)), m_name(std::move(sheetName))
    {}

    bool setPaperSize(int code) override { return record(&SheetPageSetup::paperSize, code); }
    bool setLeftMargin(double points) override { return margin(&SheetPageSetup::left, points); }
    bool setRightMargin(double points) override { return margin(&SheetPageSetup::right, points); }
    bool setTopMargin(double points) override { return margin(&SheetPageSetup::top, points); }
    bool setBottomMargin(double points) override { return margin(&SheetPageSetup::bottom, points); }
    bool setHeaderMargin(double points) override { return margin(&SheetPageSetup::header, points); }
    bool setFooterMargin(double points) override { return margin(&SheetPageSetup::footer, points); }
    bool setOrientation(int orientation) override
    {
        return record(&SheetPageSetup::orientation, orientation);
    }
    // What the sheet part holds, with what this session set over it.
    PageSetupValues current() override
    {
        if (m_state->closed)
            return PageSetupValues();
        PageSetupValues values;
        for (const SheetInfo& sheet : std::as_const(m_state->sheets)) {
            if (sheet.name == m_name && sheet.readable) {
                values = withExcelDefaults(sheet.cells.pageSetup);
                break;
            }
        }
        return values.overlaid(m_state->changes.value(m_name));
    }

private:
    bool margin(std::optional<double> SheetPageSetup::*member, double points)
    {
        return record(member, points / 72.0);
    }

    // Checks the value as the writer will, then remembers it for save().
    template <class T>
    bool record(std::optional<T> SheetPageSetup::*member, T value)
    {
        if (m_state->closed)
            return false;
        SheetPageSetup single;
        single.*member = value;
        if (!validatePageSetup(single, nullptr))
            return false;
        m_state->changes[m_name].*member = value;
        return true;
    }

    StatePtr m_state;
    QString m_name;
};

class DirectWorksheet : public Worksheet
{
public:
    DirectWorksheet(StatePtr state, int index, QString name)
        : m_state(std::move(state)), m_index(index), m_name(std::move(name))
    {}

    QString name() override { return m_state->closed ? QString() : m_name; }

    std::unique_ptr<UsedRange> usedRange() override
    {
        const SheetInfo* sheet = m_state->loadedSheet(m_index);
        if (!sheet)
            return nullptr;
        const SheetCells& c = sheet->cells;
        if (c.firstRow == 0)
            return std::make_unique<DirectUsedRange>(1, 1, 1, 1);
        return std::make_unique<DirectUsedRange>(c.firstRow, c.firstColumn,
                                                 c.lastRow - c.firstRow + 1,
                                                 c.lastColumn - c.firstColumn + 1);
    }

    std::unique_ptr<Cell> cell(int row, int column) override
    {
        if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
            return nullptr;
        const SheetInfo* sheet = m_state->loadedSheet(m_index);
        if (!sheet)
            return nullptr;
        const auto it = sheet->cells.values.constFind(cellKey(row, column));
        if (it == sheet->cells.values.constEnd())
            return std::make_unique<DirectCell>(QString());
        if (it->sharedIndex < 0)
            return std::make_unique<DirectCell>(it->text);
        // A string that cannot be had is no empty cell: the cell cannot be had.
        const std::optional<QString> text = m_state->sharedString(it->sharedIndex);
        if (!text)
            return nullptr;
        return std::make_unique<DirectCell>(*text);
    }

    std::unique_ptr<PageSetup> pageSetup() override
    {
        if (m_state->closed)
            return nullptr;
        return std::make_unique<DirectPageSetup>(m_state, m_name);
    }

    std::unique_ptr<Range> range(const QString&) override { return nullptr; }
    SheetVisibility visibility() override
    {
        const SheetInfo* sheet = m_state->loadedSheet(m_index);
        return sheet ? sheet->visibility : SheetVisibility::Visible;
    }
    bool hasDrawings() override { return false; }
    // Only for page setup: nothing can be printed from the package.
    PrintResult printOut() override { return PrintResult::failed(FailureKind::UnsupportedFormat); }
    PrintResult printOut(PrintJob&) override { return printOut(); }

private:
    StatePtr m_state;
    int m_index;
    QString m_name;
};

class DirectWorkbook : public Workbook
{
public:
    explicit DirectWorkbook(StatePtr state) : m_state(std::move(state)) {}
    ~DirectWorkbook() override { m_state->close(); }

    int sheetCount() override { return m_state->closed ? -1 : int(m_state->sheets.size()); }

    std::unique_ptr<Worksheet> worksheet(int index) override
    {
        const SheetInfo* sheet = m_state->loadedSheet(index - 1);
        if (!sheet)
            return nullptr;
        return std::make_unique<DirectWorksheet>(m_state, index - 1, sheet->name);
    }

    bool save(Failure* failure = nullptr) override
    {
        auto failed = [&](FailureKind kind, const QString& detail) {
            if (failure)
                *failure = Failure{kind, detail};
            return false;
        };
        if (m_state->closed)
            return failed(FailureKind::SaveFailed, QStringLiteral("workbook closed"));
        if (m_state->damaged)
            return failed(FailureKind::Damaged, QStringLiteral("a worksheet part cannot be read"));
        QMap<QString, SheetPageSetup> changes;
        for (auto it = m_state->changes.cbegin(); it != m_state->changes.cend(); ++it) {
            if (!it.value().isEmpty())
                changes.insert(it.key(), it.value());
        }
        if (changes.isEmpty())
            return true;
        // The file is replaced by a new one: let go of the old one first.
        m_state->archive.reset();
        if (const EditBlock block = editBlocker(m_state->path)) {
            const Failure why = editFailure(block);
            return failed(why.kind, why.detail);
        }
        QString error;
        if (!applyPageSetup(m_state->path, changes, &error))
            return failed(FailureKind::SaveFailed, error);
        m_state->changes.clear();
        return true;
    }

    void close() override { m_state->close(); }
    // Opened for its page setup only: nothing of it is printed.
    std::unique_ptr<PrintJob> printJob() override { return nullptr; }

private:
    StatePtr m_state;
};

} // namespace

std::unique_ptr<Workbook> openWorkbookForEditing(const QString& path, Failure* failure)
{
    auto state = std::make_shared<BookState>();
    state->path = QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath();
    auto failed = [&](const Failure& why) {
        if (failure)
            *failure = why;
        return nullptr;
    };
    if (!QFileInfo::exists(state->path))
        return failed({FailureKind::NotFound, {}});
    if (const EditBlock block = editBlocker(state->path))
        return failed(editFailure(block));
    zip_t* z = state->zip();
    WorkbookStructure book;
    if (!z || !readWorkbookStructure(z, &book, nullptr))
        return failed(unopenedReason(inspectWorkbookFile(state->path)));
    state->sheets.reserve(book.sheets.size());
    for (const SheetEntry& entry : std::as_const(book.sheets)) {
        SheetInfo sheet;
        sheet.name = entry.name;
        sheet.visibility = entry.visibility();
        const Relationship* rel = book.relationshipOf(entry);
        // Chart, dialog and macro sheets are sheets but no worksheets.
        sheet.isWorksheet = rel && rel->type.endsWith(QLatin1String("/worksheet"));
        sheet.part = book.partOf(entry);
        state->sheets.append(sheet);
    }
    for (const Relationship& rel : std::as_const(book.rels)) {
        if (!rel.external && rel.type.endsWith(QLatin1String("/sharedStrings"))) {
            state->sharedStringsPart = resolveTarget(book.workbookPart, rel.target);
            break;
        }
    }
    return std::make_unique<DirectWorkbook>(state);
}

} // namespace ooxml
