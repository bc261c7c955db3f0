#include "engines/libreoffice/libreofficedocument.h"

#include "engines/libreoffice/workbookstate.h"
#include "platform/editblocker.h"

#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>
#include <com/sun/star/text/XText.hpp>
#include <cppuhelper/implbase1.hxx>
#include <rtl/textenc.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryFile>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

using namespace ::com::sun::star;
using ::com::sun::star::uno::Any;
using ::com::sun::star::uno::Reference;
using ::com::sun::star::uno::Sequence;
using ::com::sun::star::uno::UNO_QUERY;
using ::com::sun::star::uno::UNO_QUERY_THROW;
using ::rtl::OUString;

namespace engines::lo {

using namespace detail;

namespace {

// Answers every question the office would ask while loading (password,
// lock, repair, macros, links) with "abort", so a load never waits on a user.
class AbortingInteractionHandler : public ::cppu::WeakImplHelper1<task::XInteractionHandler>
{
public:
    void SAL_CALL handle(const Reference<task::XInteractionRequest>& request) override
    {
        const Sequence<Reference<task::XInteractionContinuation>> continuations =
            request->getContinuations();
        for (sal_Int32 i = 0; i < continuations.getLength(); ++i) {
            const Reference<task::XInteractionAbort> abort(continuations[i], UNO_QUERY);
            if (abort.is()) {
                abort->select();
                return;
            }
        }
    }
};

} // namespace

bool isValidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int follow;
        unsigned int min;
        unsigned int code;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            follow = 1, min = 0x80, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            follow = 2, min = 0x800, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            follow = 3, min = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (i + follow >= n)
            return false;
        for (int k = 1; k <= follow; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += follow + 1;
    }
    return true;
}

QString csvFilterOptions(const QByteArray& content)
{
    rtl_TextEncoding encoding = RTL_TEXTENCODING_UTF8;
    if (!isValidUtf8(content)) {
        // The ANSI code page Windows uses for the locale's language.
        const QString name = QLocale::system().name();
        if (name == QLatin1String("zh_TW") || name == QLatin1String("zh_HK") ||
            name == QLatin1String("zh_MO"))
            encoding = RTL_TEXTENCODING_MS_950;
        else if (name.startsWith(QLatin1String("zh")))
            encoding = RTL_TEXTENCODING_MS_936;
        else if (name.startsWith(QLatin1String("ja")))
            encoding = RTL_TEXTENCODING_MS_932;
        else if (name.startsWith(QLatin1String("ko")))
            encoding = RTL_TEXTENCODING_MS_949;
        else if (name.startsWith(QLatin1String("ru")) || name.startsWith(QLatin1String("uk")) ||
                 name.startsWith(QLatin1String("bg")))
            encoding = RTL_TEXTENCODING_MS_1251;
        else if (name.startsWith(QLatin1String("pl")) || name.startsWith(QLatin1String("cs")) ||
                 name.startsWith(QLatin1String("hu")))
            encoding = RTL_TEXTENCODING_MS_1250;
        else if (name == QLatin1String("C") || name.startsWith(QLatin1String("en")) ||
                 name.startsWith(QLatin1String("de")) || name.startsWith(QLatin1String("fr")) ||
                 name.startsWith(QLatin1String("es")) || name.startsWith(QLatin1String("it")))
            encoding = RTL_TEXTENCODING_MS_1252;
        else
            encoding = RTL_TEXTENCODING_MS_936; // the users this tool is made for
    }
    // Every column as text (format 2), so texts stay as written: leading
    // zeros kept, nothing evaluated.
    int columns = 1;
    for (const QByteArray& line : content.split('\n'))
        columns = std::max(columns, static_cast<int>(line.count(',')) + 1);
    columns = std::min(columns, 16384);
    QStringList formats;
    for (int c = 1; c <= columns; ++c)
        formats << QStringLiteral("%1/2").arg(c);
    // separator ',', text delimiter '"', encoding, first line 1, column
    // formats, language, quoted fields as text, no special number detection.
    return QStringLiteral("44,34,%1,1,%2,0,true,false")
        .arg(static_cast<int>(encoding))
        .arg(formats.join(QLatin1Char('/')));
}

bool looksLikeHtml(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray head = file.read(4096);
    if (head.startsWith("\xef\xbb\xbf"))
        head.remove(0, 3);
    head = head.trimmed().toLower();
    return head.startsWith('<') && (head.contains("<html") || head.contains("<table"));
}

namespace {

// The office's import filters for what the spreadsheet application itself
// opens under a workbook's name: its own formats, and HTML tables saved with
// an .xls name (as many reporting systems export them).  Plain text in a
// file named like a workbook is refused.
bool acceptedFilter(const OUString& filter)
{
    const QString name = toQ(filter);
    return name.contains(QLatin1String("Excel")) ||
           name.contains(QLatin1String("Office Open XML")) || name == QLatin1String("calc8") ||
           name.startsWith(QLatin1String("StarOffice XML (Calc)")) ||
           name == QLatin1String("calc_HTML_WebQuery") || name == QLatin1String("HTML (StarCalc)");
}

// Whether the file really is in the format its name says, so that saving
// can write that format without changing what the file is.
bool nativeFilter(FileFormat format, const OUString& filter)
{
    const QString name = toQ(filter);
    switch (format) {
    case FileFormat::Xlsx:
        return name.startsWith(QLatin1String("Calc MS Excel 2007")) ||
               name == QLatin1String("Calc Office Open XML");
    case FileFormat::Xls:
        return name.startsWith(QLatin1String("MS Excel 97"));
    case FileFormat::Csv:
        return true;
    case FileFormat::Other:
        return !name.contains(QLatin1String("HTML"));
    }
    return false;
}

class LoUsedRange : public UsedRange
{
public:
    explicit LoUsedRange(const table::CellRangeAddress& a) : m_address(a) {}
    int row() override { return m_address.StartRow + 1; }
    int column() override { return m_address.StartColumn + 1; }
    int rowCount() override { return m_address.EndRow - m_address.StartRow + 1; }
    int columnCount() override { return m_address.EndColumn - m_address.StartColumn + 1; }

private:
    table::CellRangeAddress m_address;
};

class LoCell : public Cell
{
public:
    LoCell(StatePtr state, Reference<table::XCell> cell)
        : m_state(std::move(state)), m_cell(std::move(cell))
    {}
    QString valueText() override
    {
        return m_state->call(CallKind::Short, QString(), [&] {
            const Reference<text::XText> text(m_cell, UNO_QUERY_THROW);
            return toQ(text->getString());
        });
    }

private:
    StatePtr m_state;
    Reference<table::XCell> m_cell;
};

class LoRange : public Range
{
public:
    LoRange(StatePtr state, Reference<sheet::XSpreadsheet> sheet, QString sheetName,
            const table::CellRangeAddress& address)
        : m_state(std::move(state)), m_sheet(std::move(sheet)), m_sheetName(std::move(sheetName)),
          m_address(address)
    {}
    PrintResult printOut() override
    {
        return printCall(*m_state,
                         [&] { return printSheet(*m_state, m_sheet, m_sheetName, &m_address); });
    }

private:
    StatePtr m_state;
    Reference<sheet::XSpreadsheet> m_sheet;
    QString m_sheetName;
    table::CellRangeAddress m_address;
};

class LoWorksheet : public Worksheet
{
public:
    LoWorksheet(StatePtr state, Reference<sheet::XSpreadsheet> sheet, QString name)
        : m_state(std::move(state)), m_sheet(std::move(sheet)), m_name(std::move(name))
    {}

    QString name() override { return m_state->alive() ? m_name : QString(); }

    std::unique_ptr<UsedRange> usedRange() override
    {
        return m_state->call(CallKind::Short, std::unique_ptr<UsedRange>(), [&] {
            const Reference<sheet::XSheetCellCursor> cursor = m_sheet->createCursor();
            const Reference<sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
            used->gotoStartOfUsedArea(false);
            used->gotoEndOfUsedArea(true);
            const Reference<sheet::XCellRangeAddressable> addressable(cursor, UNO_QUERY_THROW);
            return std::unique_ptr<UsedRange>(
                std::make_unique<LoUsedRange>(addressable->getRangeAddress()));
        });
    }

    std::unique_ptr<Cell> cell(int row, int column) override
    {
        if (row < 1 || row > 1048576 || column < 1 || column > 16384)
            return nullptr;
        return m_state->call(CallKind::Short, std::unique_ptr<Cell>(), [&] {
            Reference<table::XCell> cell = m_sheet->getCellByPosition(column - 1, row - 1);
            if (!cell.is())
                return std::unique_ptr<Cell>();
            return std::unique_ptr<Cell>(std::make_unique<LoCell>(m_state, cell));
        });
    }

    std::unique_ptr<PageSetup> pageSetup() override
    {
        if (!m_state->alive())
            return nullptr;
        return makePageSetup(m_state, m_sheet, m_name);
    }

    std::unique_ptr<Range> range(const QString& address) override
    {
        const QString text = address.trimmed();
        if (text.isEmpty())
            return nullptr;
        return m_state->call(CallKind::Short, std::unique_ptr<Range>(), [&] {
            const Reference<table::XCellRange> found =
                Reference<table::XCellRange>(m_sheet, UNO_QUERY_THROW)
                    ->getCellRangeByName(toOU(text));
            const Reference<sheet::XCellRangeAddressable> addressable(found, UNO_QUERY_THROW);
            return std::unique_ptr<Range>(std::make_unique<LoRange>(
                m_state, m_sheet, m_name, addressable->getRangeAddress()));
        });
    }

    SheetVisibility visibility() override
    {
        return m_state->call(CallKind::Short, SheetVisibility::Visible, [&] {
            const Reference<beans::XPropertySet> props(m_sheet, UNO_QUERY_THROW);
            return get<bool>(props, "IsVisible") ? SheetVisibility::Visible
                                                 : SheetVisibility::Hidden;
        });
    }

    bool hasDrawings() override
    {
        return m_state->call(CallKind::Short, false,
                             [&] { return sheetHasShapes(m_state->document, m_sheet); });
    }

    PrintResult printOut() override
    {
        return printCall(*m_state, [&] { return printSheet(*m_state, m_sheet, m_name, nullptr); });
    }

private:
    StatePtr m_state;
    Reference<sheet::XSpreadsheet> m_sheet;
    QString m_name;
};

class LoWorkbook : public Workbook
{
public:
    explicit LoWorkbook(StatePtr state) : m_state(std::move(state)) {}
    ~LoWorkbook() override { m_state->close(); }

    int sheetCount() override
    {
        return m_state->call(CallKind::Short, -1, [&] {
            const Reference<sheet::XSpreadsheetDocument> doc(m_state->document, UNO_QUERY_THROW);
            const Reference<container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
            return static_cast<int>(sheets->getCount());
        });
    }

    std::unique_ptr<Worksheet> worksheet(int index) override
    {
        if (index < 1)
            return nullptr;
        return m_state->call(CallKind::Short, std::unique_ptr<Worksheet>(), [&] {
            const Reference<sheet::XSpreadsheetDocument> doc(m_state->document, UNO_QUERY_THROW);
            const Reference<container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
            if (index > sheets->getCount())
                return std::unique_ptr<Worksheet>();
            const Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(index - 1),
                                                       UNO_QUERY_THROW);
            const Reference<container::XNamed> named(sheet, UNO_QUERY_THROW);
            return std::unique_ptr<Worksheet>(
                std::make_unique<LoWorksheet>(m_state, sheet, toQ(named->getName())));
        });
    }

    bool save(Failure* = nullptr) override
    {
        if (!m_state->alive() || m_state->mode != OpenMode::ForEditing)
            return false;
        switch (m_state->format) {
        case FileFormat::Csv:
            // A CSV file cannot hold page setup, and storing it would rewrite
            // its texts: leave its bytes alone.
            return true;
        case FileFormat::Xlsx:
            // The office's export would lose parts of the package (frozen
            // panes, the theme, table styles): .xlsx/.xlsm are changed in
            // their package by the OOXML engine instead.
            return false;
        case FileFormat::Xls:
        case FileFormat::Other:
            // Another format under the workbook's name (HTML named .xls, an
            // old Excel 5 file) is not turned into a different file.
            if (!nativeFilter(m_state->format, m_state->filterName))
                return false;
            return storeReplacing(m_state->filterName);
        }
        return false;
    }

    void close() override { m_state->close(); }

private:
    // Stores to a new file beside the original and renames it over the
    // original once complete, with the original's permissions.
    bool storeReplacing(const OUString& filter)
    {
        const QFileInfo original(m_state->path);
        QTemporaryFile temp(original.absolutePath() + QStringLiteral("/.~quorvane-XXXXXX.") +
                            original.suffix());
        if (!temp.open())
            return false;
        const QString tempPath = temp.fileName();
        temp.close();
        const bool stored = m_state->call(CallKind::Long, false, [&] {
            const Reference<frame::XStorable> storable(m_state->document, UNO_QUERY_THROW);
            Sequence<beans::PropertyValue> args(2);
            args[0] = property("FilterName", Any(filter));
            args[1] = property("Overwrite", Any(true));
            storable->storeToURL(toOU(QUrl::fromLocalFile(tempPath).toString(QUrl::FullyEncoded)),
                                 args);
            return true;
        });
        if (!stored || QFileInfo(tempPath).size() == 0)
            return false;
        struct stat st;
        const QByteArray from = QFile::encodeName(m_state->path);
        const QByteArray to = QFile::encodeName(tempPath);
        if (::stat(from.constData(), &st) != 0)
            return false;
        ::chmod(to.constData(), st.st_mode & 07777);
        if (::chown(to.constData(), st.st_uid, st.st_gid) != 0) {
            // Only root may give the file away; the mode is what matters.
        }
        if (::rename(to.constData(), from.constData()) != 0)
            return false;
        temp.setAutoRemove(false);
        return true;
    }

    StatePtr m_state;
};

} // namespace

std::unique_ptr<Workbook> LoWorkbooks::open(const QString& nativePath, OpenMode mode, Failure*)
{
    const std::shared_ptr<UnoSession> session = m_session;
    if (!session || !session->usable())
        return nullptr;
    const QFileInfo info(QDir::fromNativeSeparators(nativePath));
    const QString path = info.absoluteFilePath();
    // An empty file is no workbook, though the office would open it as one.
    if (!info.isFile() || info.size() == 0)
        return nullptr;
    if (mode == OpenMode::ForEditing && editBlocker(path))
        return nullptr;
    const FileFormat format = formatOf(path);

    std::vector<beans::PropertyValue> props{
        property("Hidden", Any(true)),
        property("MacroExecutionMode", Any(document::MacroExecMode::NEVER_EXECUTE)),
        property("UpdateDocMode", Any(document::UpdateDocMode::NO_UPDATE)),
        property("InteractionHandler",
                 Any(Reference<task::XInteractionHandler>(new AbortingInteractionHandler))),
        property("RepairPackage", Any(false)),
    };
    if (mode != OpenMode::ForEditing)
        props.push_back(property("ReadOnly", Any(true)));
    if (format == FileFormat::Csv) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return nullptr;
        props.push_back(property("FilterName", Any(ou("Text - txt - csv (StarCalc)"))));
        props.push_back(property("FilterOptions", Any(toOU(csvFilterOptions(file.readAll())))));
    } else if (looksLikeHtml(path)) {
        // Left to itself the office opens HTML as a text document.
        props.push_back(property("FilterName", Any(ou("HTML (StarCalc)"))));
        // Language of the page (system) and no guessing of dates or numbers:
        // given here, the office does not ask for them.
        props.push_back(property("FilterOptions", Any(ou("0 false false"))));
    }
    const Sequence<beans::PropertyValue> args(props.data(), static_cast<sal_Int32>(props.size()));
    const OUString url = toOU(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));

    auto state = std::make_shared<WorkbookState>();
    state->session = session;
    state->path = path;
    state->mode = mode;
    state->format = format;
    state->document = session->call(CallKind::Long, Reference<lang::XComponent>(), [&] {
        const Reference<frame::XComponentLoader> loader(session->desktop(), UNO_QUERY_THROW);
        return loader->loadComponentFromURL(url, ou("_blank"), 0, args);
    });
    if (!state->document.is())
        return nullptr;
    session->trackDocument(state->document);

    const bool usable = state->call(CallKind::Short, false, [&] {
        const Reference<sheet::XSpreadsheetDocument> doc(state->document, UNO_QUERY);
        if (!doc.is())
            return false; // not a spreadsheet (the office opened it as something else)
        const Reference<frame::XModel> model(state->document, UNO_QUERY_THROW);
        const Sequence<beans::PropertyValue> media = model->getArgs();
        for (sal_Int32 i = 0; i < media.getLength(); ++i) {
            if (media[i].Name == "FilterName")
                media[i].Value >>= state->filterName;
        }
        if (format != FileFormat::Csv && !acceptedFilter(state->filterName))
            return false; // some other file named like a workbook
        if (mode == OpenMode::ForEditing) {
            // Opened read-only behind our back (locked by someone else).
            const Reference<frame::XStorable> storable(state->document, UNO_QUERY_THROW);
            if (storable->isReadonly())
                return false;
        }
        return true;
    });
    if (!usable) {
        state->close();
        return nullptr;
    }
    return std::make_unique<LoWorkbook>(state);
}

} // namespace engines::lo
