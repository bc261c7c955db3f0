#include "engines/libreoffice/libreofficedocument.h"

#include "engines/libreoffice/workbookstate.h"
#include "platform/editblocker.h"

#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/document/XTypeDetection.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XLoadable.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
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
#include <rtl/ref.hxx>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryFile>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
    // The type names of the requests answered ("...DocumentPasswordRequest2",
    // "...LockedDocumentRequest"): what the office wanted says why a load
    // failed.
    QStringList asked;

    void SAL_CALL handle(const Reference<task::XInteractionRequest>& request) override
    {
        asked << toQ(request->getRequest().getValueTypeName());
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
    LoCell(StatePtr state, Reference<sheet::XSpreadsheet> sheet, sal_Int32 row, sal_Int32 column)
        : m_state(std::move(state)), m_sheet(std::move(sheet)), m_row(row), m_column(column)
    {}
    QString valueText() override
    {
        return m_state->call(CallKind::Short, QString(), [&] {
            const Reference<text::XText> text(m_sheet->getCellByPosition(m_column, m_row),
                                              UNO_QUERY_THROW);
            return toQ(text->getString());
        });
    }

private:
    StatePtr m_state;
    Reference<sheet::XSpreadsheet> m_sheet;
    sal_Int32 m_row;
    sal_Int32 m_column;
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
    PrintResult printOut(PrintJob& job) override
    {
        return printCall(*m_state,
                         [&] { return addToJob(job, *m_state, m_sheet, m_sheetName, &m_address); });
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
            const table::CellRangeAddress address = addressable->getRangeAddress();
            m_state->seen[m_name].usedArea = cursor;
            return std::unique_ptr<UsedRange>(std::make_unique<LoUsedRange>(address));
        });
    }

    std::unique_ptr<Cell> cell(int row, int column) override
    {
        if (row < 1 || row > 1048576 || column < 1 || column > 16384)
            return nullptr;
        if (!m_state->alive())
            return nullptr;
        // Fetched when its content is asked for.
        return std::make_unique<LoCell>(m_state, m_sheet, row - 1, column - 1);
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

    // The office keeps no "very hidden": the file tells it from hidden.
    SheetVisibility visibility() override
    {
        const std::optional<bool> visible =
            m_state->call(CallKind::Short, std::optional<bool>(), [&] {
                return std::optional<bool>(
                    get<bool>(m_state->sheetProperties(m_name, m_sheet), "IsVisible"));
            });
        if (visible)
            m_state->seen[m_name].visible = *visible;
        if (!visible)
            return SheetVisibility::Visible; // nothing answers any more
        if (*visible)
            return SheetVisibility::Visible;
        const ooxml::SheetFacts* facts = m_state->sheetFacts(m_name);
        return facts && facts->visibility == SheetVisibility::VeryHidden
                   ? SheetVisibility::VeryHidden
                   : SheetVisibility::Hidden;
    }

    // A dialog sheet holds its dialog frame, which the office drops.
    bool hasDrawings() override
    {
        if (!m_state->alive())
            return false;
        const ooxml::SheetFacts* facts = m_state->sheetFacts(m_name);
        if (facts && facts->kind == ooxml::SheetKind::DialogSheet)
            return true;
        return m_state->call(CallKind::Short, false,
                             [&] { return sheetHasShapes(*m_state, m_name, m_sheet); });
    }

    PrintResult printOut() override
    {
        return printCall(*m_state, [&] { return printSheet(*m_state, m_sheet, m_name, nullptr); });
    }
    PrintResult printOut(PrintJob& job) override
    {
        return printCall(*m_state,
                         [&] { return addToJob(job, *m_state, m_sheet, m_name, nullptr); });
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
            sheets();
            return static_cast<int>(m_state->sheetNames.size());
        });
    }

    std::unique_ptr<Worksheet> worksheet(int index) override
    {
        if (index < 1)
            return nullptr;
        return m_state->call(CallKind::Short, std::unique_ptr<Worksheet>(), [&] {
            sheets();
            if (index > m_state->sheetNames.size())
                return std::unique_ptr<Worksheet>();
            // The collection hands out its sheets as spreadsheets: taken as
            // they are, without asking the office for the interface again.
            Reference<sheet::XSpreadsheet> sheet;
            const Any element = sheets()->getByIndex(index - 1);
            if (!(element >>= sheet))
                sheet.set(element, UNO_QUERY_THROW);
            const QString name = m_state->sheetNames.at(index - 1);
            m_state->seen[name].index = index - 1;
            return std::unique_ptr<Worksheet>(std::make_unique<LoWorksheet>(m_state, sheet, name));
        });
    }

    bool save(Failure* failure = nullptr) override
    {
        auto failed = [failure](FailureKind kind, const QString& detail) {
            if (failure)
                *failure = Failure{kind, detail};
            return false;
        };
        if (!m_state->alive()) {
            const Failure why = m_state->session && m_state->session->lost()
                                    ? m_state->session->lostFailure()
                                    : Failure{FailureKind::SaveFailed, {}};
            return failed(why.kind, why.detail);
        }
        if (m_state->mode != OpenMode::ForEditing)
            return failed(FailureKind::ReadOnly, QStringLiteral("opened read-only"));
        switch (m_state->format) {
        case FileFormat::Csv:
            // A CSV file cannot hold page setup, and storing it would rewrite
            // its texts: leave its bytes alone.
            return true;
        case FileFormat::Xlsx:
            // The office's export would lose parts of the package (frozen
            // panes, the theme, table styles): .xlsx/.xlsm are changed in
            // their package by the OOXML engine instead.
            return failed(FailureKind::UnsupportedFormat,
                          QStringLiteral("the office would lose parts of the package"));
        case FileFormat::Xls:
        case FileFormat::Other:
            // Another format under the workbook's name (HTML named .xls, an
            // old Excel 5 file) is not turned into a different file.
            if (!nativeFilter(m_state->format, m_state->filterName))
                return failed(FailureKind::UnsupportedFormat,
                              QStringLiteral("\"%1\" is not written back under this name")
                                  .arg(toQ(m_state->filterName)));
            return storeReplacing(m_state->filterName, failure);
        }
        return failed(FailureKind::SaveFailed, QString());
    }

    void close() override { m_state->close(); }

    std::unique_ptr<PrintJob> printJob() override
    {
        return m_state->alive() ? makePrintJob(m_state) : nullptr;
    }

private:
    // The sheets collection and the sheets' names, asked for once.
    const Reference<container::XIndexAccess>& sheets()
    {
        if (!m_state->sheets.is()) {
            const Reference<sheet::XSpreadsheetDocument> doc(m_state->document, UNO_QUERY_THROW);
            const Reference<sheet::XSpreadsheets> all = doc->getSheets();
            const Sequence<OUString> names = all->getElementNames();
            QStringList sheetNames;
            for (sal_Int32 i = 0; i < names.getLength(); ++i)
                sheetNames << toQ(names[i]);
            m_state->sheets.set(all, UNO_QUERY_THROW);
            m_state->sheetNames = sheetNames;
        }
        return m_state->sheets;
    }

    // Stores to a new file beside the original and renames it over the
    // original once complete, with the original's permissions.
    bool storeReplacing(const OUString& filter, Failure* failure)
    {
        auto failed = [failure](FailureKind kind, const QString& detail) {
            if (failure)
                *failure = Failure{kind, detail};
            return false;
        };
        const QFileInfo original(m_state->path);
        QTemporaryFile temp(original.absolutePath() + QStringLiteral("/.~quorvane-XXXXXX.") +
                            original.suffix());
        if (!temp.open())
            return failed(FailureKind::SaveFailed, temp.errorString());
        const QString tempPath = temp.fileName();
        temp.close();
        QString storeError;
        const bool stored = m_state->call(CallKind::Long, false, [&] {
            const Reference<frame::XStorable> storable(m_state->document, UNO_QUERY_THROW);
            Sequence<beans::PropertyValue> args(2);
            args[0] = property("FilterName", Any(filter));
            args[1] = property("Overwrite", Any(true));
            try {
                storable->storeToURL(
                    toOU(QUrl::fromLocalFile(tempPath).toString(QUrl::FullyEncoded)), args);
            } catch (const lang::DisposedException&) {
                throw;
            } catch (const uno::Exception& e) {
                storeError = toQ(e.Message);
                return false;
            }
            return true;
        });
        if (!stored) {
            if (m_state->session->lost())
                return failed(m_state->session->lostFailure().kind, QString());
            // The office's message carries source file names and error
            // numbers; only its first line is for people.
            return failed(FailureKind::SaveFailed, storeError.section(QLatin1String(" at "), 0, 0));
        }
        if (QFileInfo(tempPath).size() == 0)
            return failed(FailureKind::SaveFailed, QStringLiteral("the office wrote nothing"));
        struct stat st;
        const QByteArray from = QFile::encodeName(m_state->path);
        const QByteArray to = QFile::encodeName(tempPath);
        if (::stat(from.constData(), &st) != 0)
            return failed(FailureKind::SaveFailed, QString::fromLocal8Bit(std::strerror(errno)));
        ::chmod(to.constData(), st.st_mode & 07777);
        if (::chown(to.constData(), st.st_uid, st.st_gid) != 0) {
            // Only root may give the file away; the mode is what matters.
        }
        if (::rename(to.constData(), from.constData()) != 0)
            return failed(FailureKind::SaveFailed, QString::fromLocal8Bit(std::strerror(errno)));
        temp.setAutoRemove(false);
        return true;
    }

    StatePtr m_state;
};

// Loads a spreadsheet into a document of its own, without the window and the
// view the desktop makes for every document it loads: that spares about a
// third of the office's work per workbook.  Null when the office takes the
// file for something other than a spreadsheet; the desktop then loads it and
// tells what it is.
Reference<lang::XComponent> loadWithoutView(UnoSession& session, const OUString& url,
                                            std::vector<beans::PropertyValue> props)
{
    const auto given = std::find_if(props.begin(), props.end(), [](const beans::PropertyValue& p) {
        return p.Name == "FilterName";
    });
    OUString filter;
    if (given != props.end()) {
        given->Value >>= filter;
    } else {
        const Reference<lang::XMultiComponentFactory> factory =
            session.context()->getServiceManager();
        const Reference<document::XTypeDetection> detection(
            factory->createInstanceWithContext(ou("com.sun.star.document.TypeDetection"),
                                               session.context()),
            UNO_QUERY_THROW);
        Sequence<beans::PropertyValue> descriptor(1);
        descriptor[0] = property("URL", Any(url));
        const OUString type = detection->queryTypeByDescriptor(descriptor, true);
        if (type.isEmpty())
            return {};
        const Reference<container::XNameAccess> types(detection, UNO_QUERY_THROW);
        Sequence<beans::PropertyValue> typeProps;
        types->getByName(type) >>= typeProps;
        for (sal_Int32 i = 0; i < typeProps.getLength(); ++i) {
            if (typeProps[i].Name == "PreferredFilter")
                typeProps[i].Value >>= filter;
        }
        if (!acceptedFilter(filter))
            return {};
        props.push_back(property("FilterName", Any(filter)));
    }
    props.push_back(property("URL", Any(url)));
    const Reference<lang::XComponent> document(
        session.context()->getServiceManager()->createInstanceWithContext(
            ou("com.sun.star.sheet.SpreadsheetDocument"), session.context()),
        UNO_QUERY_THROW);
    try {
        Reference<frame::XLoadable>(document, UNO_QUERY_THROW)
            ->load(Sequence<beans::PropertyValue>(props.data(), sal_Int32(props.size())));
    } catch (const lang::DisposedException&) {
        throw;
    } catch (...) {
        document->dispose();
        throw;
    }
    return document;
}

} // namespace

std::unique_ptr<Workbook> LoWorkbooks::open(const QString& nativePath, OpenMode mode,
                                            Failure* failure)
{
    auto failed = [failure](const Failure& why) {
        if (failure)
            *failure = why;
        return nullptr;
    };
    const std::shared_ptr<UnoSession> session = m_session;
    if (!session || !session->usable())
        return failed(session ? session->lostFailure() : Failure{FailureKind::NotOpened, {}});
    const QFileInfo info(QDir::fromNativeSeparators(nativePath));
    const QString path = info.absoluteFilePath();
    if (!info.exists())
        return failed({FailureKind::NotFound, {}});
    // An empty file is no workbook, though the office would open it as one.
    if (!info.isFile() || info.size() == 0)
        return failed(ooxml::unopenedReason(ooxml::inspectWorkbookFile(path)));
    if (mode == OpenMode::ForEditing) {
        if (const EditBlock block = editBlocker(path))
            return failed(editFailure(block));
    }
    const FileFormat format = formatOf(path);

    const ::rtl::Reference<AbortingInteractionHandler> handler(new AbortingInteractionHandler);
    std::vector<beans::PropertyValue> props{
        property("Hidden", Any(true)),
        property("MacroExecutionMode", Any(document::MacroExecMode::NEVER_EXECUTE)),
        property("UpdateDocMode", Any(document::UpdateDocMode::NO_UPDATE)),
        property("InteractionHandler", Any(Reference<task::XInteractionHandler>(handler.get()))),
        property("RepairPackage", Any(false)),
    };
    auto state = std::make_shared<WorkbookState>();
    state->session = session;
    state->path = path;
    state->mode = mode;
    state->format = format;
    QString loadPath = path;
    CsvLayout csv;
    if (format == FileFormat::Csv) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failed({FailureKind::NotOpened, file.errorString()});
        const QByteArray content = file.readAll();
        csv = csvLayout(content);
        // The copy keeps the file's name: print jobs are named after it.
        state->scratch = std::make_unique<QTemporaryDir>();
        loadPath = state->scratch->filePath(info.fileName());
        QFile copy(loadPath);
        if (!state->scratch->isValid() || !copy.open(QIODevice::WriteOnly) ||
            copy.write(content) != content.size() || !copy.flush())
            return failed({FailureKind::NotOpened, copy.errorString()});
        props.push_back(property("FilterName", Any(ou("Text - txt - csv (StarCalc)"))));
        props.push_back(property("FilterOptions", Any(toOU(csv.filterOptions))));
    } else if (mode != OpenMode::ForEditing) {
        props.push_back(property("ReadOnly", Any(true)));
    }
    if (format != FileFormat::Csv && looksLikeHtml(path)) {
        // Left to itself the office opens HTML as a text document.
        props.push_back(property("FilterName", Any(ou("HTML (StarCalc)"))));
        // Language of the page (system) and no guessing of dates or numbers:
        // given here, the office does not ask for them.
        props.push_back(property("FilterOptions", Any(ou("0 false false"))));
    }
    const Sequence<beans::PropertyValue> args(props.data(), static_cast<sal_Int32>(props.size()));
    const OUString url = toOU(QUrl::fromLocalFile(loadPath).toString(QUrl::FullyEncoded));
    // Written into PDF files, a workbook needs no view: nothing is selected
    // or printed through one.
    const PrintTarget target = session->printTarget();
    if (mode == OpenMode::ReadOnly && target.kind == PrintTarget::PdfDirectory &&
        !target.countOnly) {
        state->document = session->call(CallKind::Long, Reference<lang::XComponent>(),
                                        [&] { return loadWithoutView(*session, url, props); });
    }
    if (!state->document.is() && !session->lost() && handler->asked.isEmpty()) {
        state->document = session->call(CallKind::Long, Reference<lang::XComponent>(), [&] {
            const Reference<frame::XComponentLoader> loader(session->desktop(), UNO_QUERY_THROW);
            return loader->loadComponentFromURL(url, ou("_blank"), 0, args);
        });
    }
    if (!state->document.is()) {
        if (session->lost())
            return failed(session->lostFailure());
        // What the office asked for tells why; otherwise the file does.
        const QString asked = handler->asked.join(QLatin1Char(' '));
        if (asked.contains(QLatin1String("PasswordRequest")))
            return failed({FailureKind::PasswordProtected, {}});
        if (asked.contains(QLatin1String("Lock"))) {
            const EditBlock block = editBlocker(path);
            return failed(block.kind == EditBlock::LockedByOther
                              ? editFailure(block)
                              : Failure{FailureKind::LockedByOther, {}});
        }
        return failed(ooxml::unopenedReason(ooxml::inspectWorkbookFile(path)));
    }
    session->trackDocument(state->document);

    enum class Refusal { None, NotSpreadsheet, OtherFilter, ReadOnlyBehindOurBack };
    const std::optional<Refusal> refusal =
        state->call(CallKind::Short, std::optional<Refusal>(), [&] {
            const Reference<sheet::XSpreadsheetDocument> doc(state->document, UNO_QUERY);
            if (!doc.is())
                return std::optional<Refusal>(Refusal::NotSpreadsheet);
            const Sequence<beans::PropertyValue> media = state->asModel()->getArgs();
            for (sal_Int32 i = 0; i < media.getLength(); ++i) {
                if (media[i].Name == "FilterName")
                    media[i].Value >>= state->filterName;
            }
            if (format != FileFormat::Csv && !acceptedFilter(state->filterName))
                return std::optional<Refusal>(
                    Refusal::OtherFilter); // some other file named like a workbook
            if (mode == OpenMode::ForEditing) {
                // Opened read-only behind our back (locked by someone else).
                const Reference<frame::XStorable> storable(state->document, UNO_QUERY_THROW);
                if (storable->isReadonly())
                    return std::optional<Refusal>(Refusal::ReadOnlyBehindOurBack);
            }
            if (format == FileFormat::Csv) {
                // Formats and widths make it look right; without them it
                // still prints.
                try {
                    showCsvAsWritten(state->document, csv);
                } catch (const lang::DisposedException&) {
                    throw;
                } catch (const uno::Exception&) {
                }
            }
            return std::optional<Refusal>(Refusal::None);
        });
    if (refusal != Refusal::None) {
        state->close();
        if (!refusal)
            return failed(session->lost() ? session->lostFailure()
                                          : Failure{FailureKind::Unreadable, {}});
        if (*refusal == Refusal::ReadOnlyBehindOurBack) {
            const EditBlock block = editBlocker(path);
            return failed(block ? editFailure(block) : Failure{FailureKind::LockedByOther, {}});
        }
        const ooxml::WorkbookFile file = ooxml::inspectWorkbookFile(path);
        if (file.content == ooxml::WorkbookFile::Text ||
            file.content == ooxml::WorkbookFile::Unknown)
            return failed(ooxml::unopenedReason(file));
        return failed({FailureKind::UnsupportedFormat,
                       state->filterName.isEmpty()
                           ? QStringLiteral("not a spreadsheet document")
                           : QStringLiteral("opened as \"%1\"").arg(toQ(state->filterName))});
    }
    // A package without the part of one of its sheets is damaged, though the
    // office opens it with an empty sheet in that place.
    if (format == FileFormat::Xlsx) {
        state->file = ooxml::inspectWorkbookFile(path);
        if (const ooxml::SheetFacts* lacking = ooxml::sheetWithoutPart(*state->file)) {
            const QString name = lacking->name;
            state->close();
            return failed({FailureKind::Damaged,
                           QStringLiteral("the package has no part for sheet \"%1\"").arg(name)});
        }
    }
    return std::make_unique<LoWorkbook>(state);
}

} // namespace engines::lo
