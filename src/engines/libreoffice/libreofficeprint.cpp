// Printing one sheet or one area of it, to a printer or into a PDF folder,
// and several sheets of a workbook in one print job.
#include "engines/libreoffice/workbookstate.h"

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/UnknownPropertyException.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/frame/DispatchHelper.hpp>
#include <com/sun/star/frame/XDispatchProvider.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XHeaderFooterContent.hpp>
#include <com/sun/star/sheet/XPrintAreas.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/view/DuplexMode.hpp>
#include <com/sun/star/view/PrintableState.hpp>
#include <com/sun/star/view/XPrintJobBroadcaster.hpp>
#include <com/sun/star/view/XPrintJobListener.hpp>
#include <com/sun/star/view/XPrintable.hpp>
#include <com/sun/star/view/XRenderable.hpp>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryFile>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <numeric>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#ifdef QUORVANE_HAVE_CUPS
#include <cups/cups.h>
#endif

using namespace ::com::sun::star;
using ::com::sun::star::uno::Any;
using ::com::sun::star::uno::Reference;
using ::com::sun::star::uno::Sequence;
using ::com::sun::star::uno::UNO_QUERY;
using ::com::sun::star::uno::UNO_QUERY_THROW;
using ::rtl::OUString;

namespace engines::lo::detail {

namespace {

// Collects the states of one print job.
class PrintJobWatcher : public ::cppu::WeakImplHelper1<view::XPrintJobListener>
{
public:
    void SAL_CALL printJobEvent(const view::PrintJobEvent& event) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        switch (event.State) {
        case view::PrintableState_JOB_SPOOLED:
        case view::PrintableState_JOB_COMPLETED:
            m_result = true;
            break;
        case view::PrintableState_JOB_ABORTED:
        case view::PrintableState_JOB_FAILED:
        case view::PrintableState_JOB_SPOOLING_FAILED:
            m_result = false;
            break;
        default:
            return;
        }
        m_done.notify_all();
    }
    void SAL_CALL disposing(const lang::EventObject&) override {}

    // The job's outcome, waiting up to the given time for it to be known.
    std::optional<bool> result(std::chrono::milliseconds wait)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait_for(lock, wait, [this] { return m_result.has_value(); });
        return m_result;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::optional<bool> m_result;
};
// Whether the cells carry formatting that shows on paper: a fill or a border.
bool showsFormatting(const Reference<uno::XInterface>& range)
{
    const Reference<sheet::XCellFormatRangesSupplier> supplier(range, UNO_QUERY);
    if (!supplier.is())
        return false;
    const Reference<container::XIndexAccess> runs = supplier->getCellFormatRanges();
    const sal_Int32 count = runs.is() ? runs->getCount() : 0;
    // So many differently formatted runs are a formatted sheet.
    if (count > 20000)
        return true;
    for (sal_Int32 i = 0; i < count; ++i) {
        const Reference<beans::XPropertySet> run(runs->getByIndex(i), UNO_QUERY);
        if (!run.is())
            continue;
        if (!get<bool>(run, "IsCellBackgroundTransparent"))
            return true;
        for (const char* side : {"TopBorder2", "BottomBorder2", "LeftBorder2", "RightBorder2",
                                 "DiagonalTLBR2", "DiagonalBLTR2"}) {
            const table::BorderLine2 line = get<table::BorderLine2>(run, side);
            if (line.OuterLineWidth > 0 || line.InnerLineWidth > 0 || line.LineWidth > 0)
                return true;
        }
    }
    return false;
}

// Whether anything would be printed from the range: content, a fill or a
// border in cells that are not in hidden rows or columns.  (The office lays
// out a page for a range holding only merged or number-formatted blanks, or
// content only in hidden rows, and then prints a page of another sheet or a
// blank one.)
bool rangeHasContent(const Reference<uno::XInterface>& range)
{
    const Reference<sheet::XCellRangesQuery> query(range, UNO_QUERY_THROW);
    const Reference<sheet::XSheetCellRanges> visible = query->queryVisibleCells();
    if (!visible.is())
        return false;
    // No visible cells hold no content either: not counted first, which
    // would cost a call for every sheet with content.
    const Reference<sheet::XCellRangesQuery> visibleQuery(visible, UNO_QUERY_THROW);
    const sal_Int16 flags = sheet::CellFlags::VALUE | sheet::CellFlags::DATETIME |
                            sheet::CellFlags::STRING | sheet::CellFlags::FORMULA;
    const Reference<sheet::XSheetCellRanges> found = visibleQuery->queryContentCells(flags);
    if (found.is() && found->getCount() > 0)
        return true;
    const Reference<container::XIndexAccess> parts(visible, UNO_QUERY_THROW);
    const sal_Int32 count = parts->getCount();
    for (sal_Int32 i = 0; i < count; ++i) {
        if (showsFormatting(Reference<uno::XInterface>(parts->getByIndex(i), UNO_QUERY)))
            return true;
    }
    return false;
}

bool areaHasContent(const Reference<sheet::XSpreadsheet>& sheet,
                    const table::CellRangeAddress& area)
{
    return rangeHasContent(sheet->getCellRangeByPosition(area.StartColumn, area.StartRow,
                                                         area.EndColumn, area.EndRow));
}

// The used area of the sheet (A1 alone for an empty one).
table::CellRangeAddress usedArea(const Reference<sheet::XSpreadsheet>& sheet)
{
    const Reference<sheet::XSheetCellCursor> cursor = sheet->createCursor();
    const Reference<sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
    used->gotoStartOfUsedArea(false);
    used->gotoEndOfUsedArea(true);
    return Reference<sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress();
}

} // namespace

bool sheetHasShapes(WorkbookState& state, const QString& sheetName,
                    const Reference<sheet::XSpreadsheet>& sheet)
{
    const Reference<drawing::XDrawPagesSupplier> supplier(state.document, UNO_QUERY);
    if (!supplier.is())
        return false;
    const Reference<container::XIndexAccess> pages(supplier->getDrawPages(), UNO_QUERY_THROW);
    const sal_Int32 index = state.sheetIndex(sheetName, sheet);
    if (index < 0 || index >= pages->getCount())
        return false;
    const Reference<container::XIndexAccess> page(pages->getByIndex(index), UNO_QUERY);
    return page.is() && page->getCount() > 0;
}

namespace {

QString safeFileName(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('/') || c == QChar(0))
            c = QLatin1Char('_');
    }
    return text;
}

// Reserves "<workbook> - <sheet>.pdf" in the folder, numbered " (2)", " (3)"
// when taken, by creating it empty; the print job then fills it.
QString reservePdfPath(const QString& folder, const QString& workbookPath, const QString& sheet)
{
    const QString stem = safeFileName(QFileInfo(workbookPath).completeBaseName()) +
                         QStringLiteral(" - ") + safeFileName(sheet);
    for (int n = 1; n < 10000; ++n) {
        const QString name =
            n == 1 ? stem + QStringLiteral(".pdf") : stem + QStringLiteral(" (%1).pdf").arg(n);
        const QString path = QDir(folder).filePath(name);
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}

// What the print system says about a printer (the default one for an empty
// name) that refused a job: that it does not exist or cannot be reached, that
// it rejects jobs, and the state message its administrator or driver set.
QString printSystemWords(const QString& printer)
{
#ifdef QUORVANE_HAVE_CUPS
    const QByteArray name = printer.toUtf8();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT,
                                         printer.isEmpty() ? nullptr : name.constData(), nullptr);
    if (!dest)
        return QString::fromUtf8(cupsLastErrorString());
    QStringList words;
    auto option = [dest](const char* key) {
        return QString::fromUtf8(cupsGetOption(key, dest->num_options, dest->options));
    };
    if (option("printer-is-accepting-jobs") == QLatin1String("false"))
        words << QStringLiteral("%1 is not accepting jobs").arg(QString::fromUtf8(dest->name));
    if (option("printer-state") == QLatin1String("5"))
        words << QStringLiteral("%1 is stopped").arg(QString::fromUtf8(dest->name));
    // The reason given for rejecting jobs or stopping the printer is its
    // state message, which only the printer's own attributes carry.
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
                     "/printers/%s", dest->name);
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-state-message");
    if (ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/")) {
        ipp_attribute_t* attr = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT);
        const QString message =
            attr ? QString::fromUtf8(ippGetString(attr, 0, nullptr)) : QString();
        if (!message.isEmpty())
            words << message;
        ippDelete(response);
    }
    const QString reasons = option("printer-state-reasons");
    if (!reasons.isEmpty() && reasons != QLatin1String("none"))
        words << reasons;
    cupsFreeDests(1, dest);
    return words.join(QStringLiteral("; "));
#else
    Q_UNUSED(printer);
    return QString();
#endif
}

// The pages the office lays out for the sheet (its print areas included) as
// it would print it; at least 1, as the office counts.  Asked with the sheet
// as the selection, which the office lays out alone, whatever sheets its
// view shows or has selected.
int pagesOfSheet(WorkbookState& state, const Reference<sheet::XSpreadsheet>& sheet)
{
    return state.layout()->getRendererCount(Any(sheet), Sequence<beans::PropertyValue>());
}

// The options that make the office lay out the sheets selected in its view.
Sequence<beans::PropertyValue> selectedSheetsOptions(WorkbookState& state)
{
    Sequence<beans::PropertyValue> options(2);
    options[0] = property("View", Any(state.view()));
    options[1] = property("PrintContent", Any(sal_Int32(1))); // the selected sheets
    return options;
}

// The pages the office lays out for the sheets selected in its view.
int pagesOfSelectedSheets(WorkbookState& state, const Reference<sheet::XSpreadsheet>& sheet)
{
    // The office keeps the layout of the last count or print of "the
    // selected sheets" and gives it again after the selection changed:
    // counting one cell in between makes it lay the selected sheets out anew.
    if (state.selectionLaidOut)
        state.layout()->getRendererCount(Any(sheet->getCellRangeByPosition(0, 0, 0, 0)),
                                         Sequence<beans::PropertyValue>());
    state.selectionLaidOut = true;
    return state.layout()->getRendererCount(Any(state.asModel()), selectedSheetsOptions(state));
}

// Selects exactly these sheets (0-based, at least one) in the office's view,
// as clicking their tabs would; the first one becomes the shown sheet.  What
// the office prints is the selected sheets.
void selectSheets(WorkbookState& state, const std::vector<sal_Int32>& indexes)
{
    const Reference<frame::XDispatchProvider> frame(state.view()->getFrame(), UNO_QUERY_THROW);
    Sequence<beans::PropertyValue> args(1);
    args[0] =
        property("Tables", Any(Sequence<sal_Int32>(indexes.data(), sal_Int32(indexes.size()))));
    frame::DispatchHelper::create(state.session->context())
        ->executeDispatch(frame, ou(".uno:SelectTables"), OUString(), 0, args);
    state.oneSheetSelected = indexes.size() == 1;
}

// Makes the sheet the one shown and the only one selected, so that nothing
// but this sheet is printed or counted; a failure when the office shows
// another.
std::optional<PrintResult> showOnly(WorkbookState& state,
                                    const Reference<sheet::XSpreadsheet>& sheet,
                                    const QString& sheetName)
{
    // The only sheet of a workbook is the one shown and selected.
    if (state.sheetNames.size() == 1 && state.sheetNames.front() == sheetName)
        return std::nullopt;
    const Reference<sheet::XSpreadsheetView> view(state.view(), UNO_QUERY_THROW);
    // Showing another sheet moves a selection of one sheet along, but keeps
    // a selection of several.
    if (state.oneSheetSelected)
        view->setActiveSheet(sheet);
    else
        selectSheets(state, {state.sheetIndex(sheetName, sheet)});
    // Whatever the office made of that, nothing but this sheet is printed.
    const Reference<container::XNamed> active(view->getActiveSheet(), UNO_QUERY_THROW);
    if (toQ(active->getName()) != sheetName)
        return PrintResult::failed(
            FailureKind::PrintRefused,
            QStringLiteral("the office did not show sheet \"%1\"").arg(sheetName));
    return std::nullopt;
}

// Prints the selected sheets of the document on the session's printer.
PrintResult printSelectedSheets(WorkbookState& state, int pages)
{
    const PrintTarget target = state.session->printTarget();
    const Reference<view::XPrintable> printable(state.document, UNO_QUERY_THROW);
    std::vector<beans::PropertyValue> options{property("Wait", Any(true))};
    if (target.kind == PrintTarget::NamedPrinter) {
        Sequence<beans::PropertyValue> printer(1);
        printer[0] = property("Name", Any(toOU(target.name)));
        printable->setPrinter(printer);
        // The office falls back to the default printer for an unknown name.
        const Sequence<beans::PropertyValue> chosen = printable->getPrinter();
        OUString chosenName;
        for (sal_Int32 i = 0; i < chosen.getLength(); ++i) {
            if (chosen[i].Name == "Name")
                chosen[i].Value >>= chosenName;
        }
        if (toQ(chosenName) != target.name) {
            const QString words = printSystemWords(target.name);
            return PrintResult::failed(
                FailureKind::PrintRefused,
                words.isEmpty() ? QStringLiteral("printer \"%1\" not found").arg(target.name)
                                : words);
        }
    }
    // Copies, collation and sides go to the print system with the job.
    if (target.copies > 1) {
        options.push_back(property("CopyCount", Any(sal_Int16(std::min(target.copies, 9999)))));
        options.push_back(property("Collate", Any(target.collate)));
    }
    switch (target.duplex) {
    case PrintTarget::Duplex::PrinterDefault:
        break;
    case PrintTarget::Duplex::None:
        options.push_back(property("DuplexMode", Any(view::DuplexMode::OFF)));
        break;
    case PrintTarget::Duplex::LongEdge:
        options.push_back(property("DuplexMode", Any(view::DuplexMode::LONGEDGE)));
        break;
    case PrintTarget::Duplex::ShortEdge:
        options.push_back(property("DuplexMode", Any(view::DuplexMode::SHORTEDGE)));
        break;
    }

    const Reference<view::XPrintJobBroadcaster> broadcaster(state.document, UNO_QUERY);
    ::rtl::Reference<PrintJobWatcher> watcher(new PrintJobWatcher);
    if (broadcaster.is())
        broadcaster->addPrintJobListener(watcher.get());
    std::optional<bool> result;
    try {
        state.selectionLaidOut = true;
        printable->print(Sequence<beans::PropertyValue>(options.data(), sal_Int32(options.size())));
        // With Wait the call returns once the job is spooled; its final state
        // arrives through the listener at about the same time.
        result = watcher->result(std::chrono::milliseconds(5000));
    } catch (...) {
        if (broadcaster.is())
            broadcaster->removePrintJobListener(watcher.get());
        throw;
    }
    if (broadcaster.is())
        broadcaster->removePrintJobListener(watcher.get());
    if (!result.value_or(true)) {
        return PrintResult::failed(
            FailureKind::PrintRefused,
            printSystemWords(target.kind == PrintTarget::NamedPrinter ? target.name : QString()));
    }
    return PrintResult::printed(pages);
}

// The pages of a PDF file the office wrote: its page objects, counted in the
// file (the office writes their dictionaries as plain text).  -1 when none is
// found.
int pdfPageCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    const char* const data = bytes.constData();
    const auto size = bytes.size();
    int pages = 0;
    for (auto at = bytes.indexOf("/Type"); at >= 0; at = bytes.indexOf("/Type", at + 1)) {
        auto next = at + 5;
        while (next < size && (data[next] == ' ' || data[next] == '\n'))
            ++next;
        if (bytes.mid(next, 5) == "/Page" &&
            (next + 5 >= size || !std::isalnum(static_cast<unsigned char>(data[next + 5]))))
            ++pages;
    }
    return pages > 0 ? pages : -1;
}

// Writes the sheet alone (its print areas included) as a PDF file, through
// the office's PDF export: the pages it prints, without a print job.  The
// pages are read from the file when not known: laying the sheet out only to
// count them would cost as much as the export.
PrintResult writePdf(WorkbookState& state, const Reference<sheet::XSpreadsheet>& sheet,
                     const QString& path, int pages)
{
    const Reference<frame::XStorable> storable(state.document, UNO_QUERY_THROW);
    Sequence<beans::PropertyValue> filterData(1);
    filterData[0] = property("Selection", Any(sheet));
    Sequence<beans::PropertyValue> args(3);
    args[0] = property("FilterName", Any(ou("calc_pdf_Export")));
    args[1] = property("FilterData", Any(filterData));
    args[2] = property("Overwrite", Any(true));
    QString why;
    try {
        state.selectionLaidOut = true;
        storable->storeToURL(toOU(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)), args);
    } catch (const lang::DisposedException&) {
        throw;
    } catch (const uno::Exception& e) {
        why = toQ(e.Message).section(QLatin1String(" at "), 0, 0);
    }
    if (!why.isEmpty() || QFileInfo(path).size() == 0)
        return PrintResult::failed(
            FailureKind::PrintRefused,
            QStringLiteral("no PDF file was written to %1%2")
                .arg(QFileInfo(path).absolutePath(),
                     why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    return PrintResult::printed(pages >= 0 ? pages : pdfPageCount(path));
}

// Writes the sheet into its own "<workbook> - <sheet>.pdf" in the folder.
PrintResult writeNamedPdf(WorkbookState& state, const Reference<sheet::XSpreadsheet>& sheet,
                          const QString& sheetName, const QString& folder, int pages)
{
    const QString pdfPath = reservePdfPath(folder, state.path, sheetName);
    if (pdfPath.isEmpty())
        return PrintResult::failed(FailureKind::PrintRefused,
                                   QStringLiteral("cannot create a PDF file in %1: %2")
                                       .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    PrintResult result;
    try {
        result = writePdf(state, sheet, pdfPath, pages);
    } catch (...) {
        QFile::remove(pdfPath);
        throw;
    }
    if (result.outcome == PrintResult::Failed)
        QFile::remove(pdfPath);
    return result;
}

// Why the sheet, or the area, prints nothing (hidden, nothing visible on
// it) or cannot be printed; nothing when it is to be printed.  The office
// prints a page of another sheet when asked to print a hidden sheet, an
// empty sheet or an empty area, so those are caught here.
std::optional<PrintResult> notPrintable(WorkbookState& state,
                                        const Reference<sheet::XSpreadsheet>& sheet,
                                        const QString& sheetName,
                                        const table::CellRangeAddress* area)
{
    const WorkbookState::SheetSeen seen = state.seen.value(sheetName);
    if (!(seen.visible ? *seen.visible
                       : get<bool>(state.sheetProperties(sheetName, sheet), "IsVisible")))
        return PrintResult::nothing();
    const ooxml::SheetFacts* facts = state.sheetFacts(sheetName);
    if (facts && facts->kind == ooxml::SheetKind::DialogSheet)
        return PrintResult::failed(FailureKind::UnsupportedFormat,
                                   QStringLiteral("dialog sheet \"%1\": the office cannot print "
                                                  "dialog sheets")
                                       .arg(sheetName));
    if (area)
        return areaHasContent(sheet, *area) ? std::nullopt
                                            : std::optional<PrintResult>(PrintResult::nothing());
    const Sequence<table::CellRangeAddress> areas =
        Reference<sheet::XPrintAreas>(sheet, UNO_QUERY_THROW)->getPrintAreas();
    if (areas.getLength() > 0) {
        for (sal_Int32 i = 0; i < areas.getLength(); ++i) {
            if (areaHasContent(sheet, areas[i]))
                return std::nullopt;
        }
        return PrintResult::nothing();
    }
    // The cursor that found the used area spans it.
    if (!(seen.usedArea.is() ? rangeHasContent(seen.usedArea)
                             : areaHasContent(sheet, usedArea(sheet))) &&
        !sheetHasShapes(state, sheetName, sheet))
        return PrintResult::nothing();
    return std::nullopt;
}

// Sets the area as the sheet's only print area until it is put back, when
// there is an area.
class AreaOnly
{
public:
    AreaOnly() = default;
    AreaOnly(const Reference<sheet::XSpreadsheet>& sheet, const table::CellRangeAddress* area)
    {
        if (!area)
            return;
        m_areas.set(sheet, UNO_QUERY_THROW);
        m_saved = m_areas->getPrintAreas();
        Sequence<table::CellRangeAddress> only(1);
        only[0] = *area;
        m_areas->setPrintAreas(only);
    }
    void putBack()
    {
        if (m_areas.is())
            m_areas->setPrintAreas(m_saved);
        m_areas.clear();
    }

private:
    Reference<sheet::XPrintAreas> m_areas;
    Sequence<table::CellRangeAddress> m_saved;
};

// What the print system does to every job of the printer by default beyond
// printing its pages: both sides of the paper, several pages on one side,
// banner pages, stapling and the like.
struct JobHabits
{
    bool known = false;
    bool twoSided = false;
    bool perJobExtras = false; // banner pages, several pages per side, finishings
};

JobHabits askJobHabits(const QString& printer)
{
    JobHabits habits;
#ifdef QUORVANE_HAVE_CUPS
    const QByteArray name = printer.toUtf8();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT,
                                         printer.isEmpty() ? nullptr : name.constData(), nullptr);
    if (!dest)
        return habits;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
                     "/printers/%s", dest->name);
    cupsFreeDests(1, dest);
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"sides-default", "number-up-default", "job-sheets-default",
                                         "finishings-default"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (!response)
        return habits;
    if (ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        habits.known = true;
        if (ipp_attribute_t* sides = ippFindAttribute(response, "sides-default", IPP_TAG_KEYWORD))
            habits.twoSided = qstrcmp(ippGetString(sides, 0, nullptr), "one-sided") != 0;
        if (ipp_attribute_t* up = ippFindAttribute(response, "number-up-default", IPP_TAG_INTEGER))
            habits.perJobExtras = habits.perJobExtras || ippGetInteger(up, 0) > 1;
        if (ipp_attribute_t* sheets =
                ippFindAttribute(response, "job-sheets-default", IPP_TAG_ZERO)) {
            for (int i = 0; i < ippGetCount(sheets); ++i)
                habits.perJobExtras =
                    habits.perJobExtras || qstrcmp(ippGetString(sheets, i, nullptr), "none") != 0;
        }
        if (ipp_attribute_t* finishings =
                ippFindAttribute(response, "finishings-default", IPP_TAG_ENUM)) {
            for (int i = 0; i < ippGetCount(finishings); ++i)
                habits.perJobExtras =
                    habits.perJobExtras || ippGetInteger(finishings, i) != IPP_FINISHINGS_NONE;
        }
    }
    ippDelete(response);
#else
    Q_UNUSED(printer);
#endif
    return habits;
}

// The habits of the printer, asked once a minute at most.
JobHabits jobHabits(const QString& printer)
{
    struct Known
    {
        JobHabits habits;
        std::chrono::steady_clock::time_point asked;
    };
    static std::mutex mutex;
    static QMap<QString, Known> known;
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = known.constFind(printer);
        if (it != known.cend() && now - it->asked < std::chrono::minutes(1))
            return it->habits;
    }
    const JobHabits habits = askJobHabits(printer);
    std::lock_guard<std::mutex> lock(mutex);
    known.insert(printer, Known{habits, now});
    return habits;
}

bool hasField(const Reference<text::XText>& text, const char* service)
{
    if (!text.is() || text->getString().isEmpty())
        return false;
    const Reference<container::XEnumerationAccess> paragraphs(text, UNO_QUERY);
    if (!paragraphs.is())
        return false;
    const Reference<container::XEnumeration> eachParagraph = paragraphs->createEnumeration();
    while (eachParagraph->hasMoreElements()) {
        const Reference<container::XEnumerationAccess> portions(eachParagraph->nextElement(),
                                                                UNO_QUERY);
        if (!portions.is())
            continue;
        const Reference<container::XEnumeration> eachPortion = portions->createEnumeration();
        while (eachPortion->hasMoreElements()) {
            const Reference<beans::XPropertySet> portion(eachPortion->nextElement(), UNO_QUERY);
            if (!portion.is() || get<OUString>(portion, "TextPortionType") != "TextField")
                continue;
            const Reference<lang::XServiceInfo> field(portion->getPropertyValue(ou("TextField")),
                                                      UNO_QUERY);
            if (field.is() && field->supportsService(ou(service)))
                return true;
        }
    }
    return false;
}

// The paper of a page style and the page number fields in the headers and
// footers it prints.  What decides which headers and footers print is asked
// for in one call where the office answers so: each call is a round trip.
WorkbookState::StyleFacts styleFactsOf(const Reference<beans::XPropertySet>& style)
{
    static const char* const names[] = {
        "Size",       "HeaderIsOn",     "HeaderIsShared",         "FirstPageHeaderIsShared",
        "FooterIsOn", "FooterIsShared", "FirstPageFooterIsShared"};
    constexpr int count = int(sizeof names / sizeof names[0]);
    Sequence<Any> values;
    const Reference<beans::XMultiPropertySet> multi(style, UNO_QUERY);
    if (multi.is()) {
        Sequence<OUString> asked(count);
        for (int i = 0; i < count; ++i)
            asked[i] = ou(names[i]);
        try {
            values = multi->getPropertyValues(asked);
        } catch (const beans::UnknownPropertyException&) {
        }
    }
    if (values.getLength() != count) {
        // One by one; the first page's own header is not known to every
        // version of the office.
        const Reference<beans::XPropertySetInfo> info = style->getPropertySetInfo();
        values.realloc(count);
        for (int i = 0; i < count; ++i) {
            if (info->hasPropertyByName(ou(names[i])))
                values[i] = style->getPropertyValue(ou(names[i]));
        }
    }
    WorkbookState::StyleFacts facts;
    values[0] >>= facts.paper;
    for (const int side : {1, 4}) {
        bool on = false;
        bool shared = true;
        bool firstShared = true;
        values[side] >>= on;
        values[side + 1] >>= shared;
        values[side + 2] >>= firstShared; // kept when the office has no such header
        if (!on)
            continue;
        const QByteArray s(side == 1 ? "Header" : "Footer");
        QList<QByteArray> contents{"RightPage" + s + "Content"};
        if (!shared)
            contents << "LeftPage" + s + "Content";
        if (!firstShared)
            contents << "FirstPage" + s + "Content";
        for (const QByteArray& name : std::as_const(contents)) {
            const Reference<sheet::XHeaderFooterContent> content(
                style->getPropertyValue(ou(name.constData())), UNO_QUERY);
            if (!content.is())
                continue;
            for (const Reference<text::XText>& text :
                 {content->getLeftText(), content->getCenterText(), content->getRightText()}) {
                if (hasField(text, "com.sun.star.text.textfield.PageCount")) {
                    facts.numbering = PageNumbering::PageCount;
                    return facts;
                }
                if (hasField(text, "com.sun.star.text.textfield.PageNumber"))
                    facts.numbering = PageNumbering::PageNumber;
            }
        }
    }
    return facts;
}

// The same paper, whichever way round the sheets print on it.
bool samePaper(const awt::Size& a, const awt::Size& b)
{
    return std::min(a.Width, a.Height) == std::min(b.Width, b.Height) &&
           std::max(a.Width, a.Height) == std::max(b.Width, b.Height);
}

// The sheets waiting in a job, and sending them as one.
class LoPrintJob : public PrintJob
{
public:
    explicit LoPrintJob(StatePtr state) : m_state(std::move(state))
    {
        const PrintTarget target = m_state->session->printTarget();
        m_pdfFolder = target.kind == PrintTarget::PdfDirectory ? target.name : QString();
        if (m_pdfFolder.isEmpty()) {
            // Several sheets in one job come out as they would one job each
            // only when the job is not copied, stapled, given a banner page
            // or put several pages to a side.
            const JobHabits habits =
                jobHabits(target.kind == PrintTarget::NamedPrinter ? target.name : QString());
            m_oneSheetEach = target.copies > 1 || !habits.known || habits.perJobExtras;
            m_twoSided = target.duplex == PrintTarget::Duplex::LongEdge ||
                         target.duplex == PrintTarget::Duplex::ShortEdge ||
                         (target.duplex == PrintTarget::Duplex::PrinterDefault && habits.twoSided);
        }
    }
    ~LoPrintJob() override { discard(); }

    const WorkbookState* state() const { return m_state.get(); }
    int waitingCount() const override { return int(m_waiting.size()); }
    QList<int> sentPages() const override { return m_sentPages; }

    PrintResult send() override
    {
        if (m_waiting.empty())
            return PrintResult::nothing();
        PrintResult result = printCall(*m_state, [&] { return sendWaiting(); });
        discard();
        return result;
    }

    PrintResult add(const Reference<sheet::XSpreadsheet>& sheet, const QString& sheetName,
                    const table::CellRangeAddress* area)
    {
        if (const std::optional<PrintResult> refused =
                notPrintable(*m_state, sheet, sheetName, area))
            return *refused;
        Waiting next;
        next.sheet = sheet;
        next.index = m_state->sheetIndex(sheetName, sheet);
        next.name = sheetName;
        if (m_pdfFolder.isEmpty() && !joins(next))
            return PrintResult::notJoined();
        AreaOnly areaOnly(sheet, area);
        try {
            // A printer's job is laid out as a whole when it is sent; the
            // pages of each sheet come from that.  Printing on both sides,
            // whether a sheet may join depends on the pages before it.
            next.pages = !m_twoSided ? -1 : pagesOfSheet(*m_state, sheet);
            if (!m_pdfFolder.isEmpty()) {
                // Written now; named in the order of the run when sent.
                const PrintResult written = writeWaitingPdf(next);
                areaOnly.putBack();
                if (written.outcome != PrintResult::Printed)
                    return written;
            }
        } catch (const lang::DisposedException&) {
            throw;
        } catch (...) {
            areaOnly.putBack();
            throw;
        }
        next.area = std::move(areaOnly);
        m_waiting.push_back(std::move(next));
        return PrintResult::waiting(m_waiting.back().pages);
    }

private:
    struct Waiting
    {
        Reference<sheet::XSpreadsheet> sheet;
        sal_Int32 index = -1;
        QString name;
        int pages = 0;
        AreaOnly area;
        OUString style;
        awt::Size paper;
        PageNumbering numbering = PageNumbering::None;
        QString pdf; // written, under a name of its own until sent
    };

    // The page style of a waiting sheet: its name, paper and page number
    // fields, read when first needed.
    const Reference<beans::XPropertySet>& readStyle(Waiting& waiting)
    {
        if (waiting.style.isEmpty())
            waiting.style =
                get<OUString>(m_state->sheetProperties(waiting.name, waiting.sheet), "PageStyle");
        Reference<beans::XPropertySet>& style = m_state->pageStyles[waiting.style];
        if (!style.is()) {
            if (!m_state->pageStyleFamily.is()) {
                const Reference<style::XStyleFamiliesSupplier> families(m_state->document,
                                                                        UNO_QUERY_THROW);
                m_state->pageStyleFamily.set(
                    families->getStyleFamilies()->getByName(ou("PageStyles")), UNO_QUERY_THROW);
            }
            style.set(m_state->pageStyleFamily->getByName(waiting.style), UNO_QUERY_THROW);
        }
        if (waiting.paper.Width == 0) {
            auto known = m_state->styleFacts.constFind(waiting.style);
            if (known == m_state->styleFacts.cend())
                known = m_state->styleFacts.insert(waiting.style, styleFactsOf(style));
            waiting.paper = known->paper;
            waiting.numbering = known->numbering;
        }
        return style;
    }

    // Whether the sheet comes out of one job with the waiting sheets as it
    // would in a job of its own: the same paper (a printer may take the paper
    // of a job from its first page), page numbers that start anew, and no
    // page count of the whole job in a header or footer.  A sheet that
    // joins gets its page style's first page number set when the style
    // leaves it to follow on.  Alone, a sheet comes out as it always does.
    bool joins(Waiting& next)
    {
        if (m_waiting.empty())
            return true;
        if (m_oneSheetEach)
            return false;
        int pages = 0;
        for (Waiting& waiting : m_waiting) {
            if (waiting.index == next.index)
                return false;
            pages += waiting.pages;
            readStyle(waiting);
            if (waiting.numbering == PageNumbering::PageCount)
                return false;
        }
        const Reference<beans::XPropertySet>& style = readStyle(next);
        if (next.numbering == PageNumbering::PageCount || (m_twoSided && pages % 2 != 0) ||
            !samePaper(next.paper, m_waiting.front().paper))
            return false;
        if (next.numbering == PageNumbering::PageNumber) {
            // The office numbers the pages on from the sheet before unless
            // the page style changes there and gives a first page number.
            if (next.style == m_waiting.back().style)
                return false;
            if (get<sal_Int16>(style, "FirstPageNumber") == 0)
                put(style, "FirstPageNumber", Any(sal_Int16(1)));
        }
        return true;
    }

    PrintResult writeWaitingPdf(Waiting& next)
    {
        QTemporaryFile file(QDir(m_pdfFolder).filePath(QStringLiteral(".~quorvane-XXXXXX.pdf")));
        file.setAutoRemove(false);
        if (!file.open())
            return PrintResult::failed(FailureKind::PrintRefused,
                                       QStringLiteral("cannot create a PDF file in %1: %2")
                                           .arg(m_pdfFolder, file.errorString()));
        next.pdf = file.fileName();
        file.close();
        PrintResult result;
        try {
            result = writePdf(*m_state, next.sheet, next.pdf, next.pages);
        } catch (...) {
            QFile::remove(next.pdf);
            throw;
        }
        if (result.outcome != PrintResult::Printed)
            QFile::remove(next.pdf);
        else
            next.pages = result.pages;
        return result;
    }

    PrintResult sendWaiting()
    {
        m_sentPages.clear();
        if (!m_pdfFolder.isEmpty()) {
            int pages = 0;
            for (const Waiting& waiting : m_waiting) {
                pages += waiting.pages;
                m_sentPages << waiting.pages;
            }
            return namePdfs(pages);
        }
        if (m_waiting.size() > 1) {
            std::vector<sal_Int32> indexes;
            for (const Waiting& waiting : m_waiting)
                indexes.push_back(waiting.index);
            selectSheets(*m_state, indexes);
            // Printed together only when the office lays out the waiting
            // sheets and nothing else, each on pages of its own.
            QList<int> each = pagesBySheet();
            if (each.isEmpty()) {
                // The first selection of sheets in a freshly loaded .xls
                // workbook leaves the office's layout at its shown sheet;
                // the same selection once more takes.
                selectSheets(*m_state, indexes);
                each = pagesBySheet();
            }
            if (!each.isEmpty()) {
                m_sentPages = each;
                return printSelectedSheets(*m_state, std::accumulate(each.begin(), each.end(), 0));
            }
        }
        int pages = 0;
        for (const Waiting& waiting : m_waiting) {
            if (const std::optional<PrintResult> failure =
                    showOnly(*m_state, waiting.sheet, waiting.name))
                return *failure;
            // The office prints from the layout it counted.
            m_sentPages << pagesOfSelectedSheets(*m_state, waiting.sheet);
            pages += m_sentPages.last();
            const PrintResult printed = printSelectedSheets(*m_state, m_sentPages.last());
            if (printed.outcome != PrintResult::Printed)
                return printed;
        }
        return PrintResult::printed(pages);
    }

    // The pages of each waiting sheet in the office's layout of the selected
    // sheets, read from the sheet each page shows; empty unless the layout
    // holds the waiting sheets in order, each on pages of its own, and
    // nothing else.  Pages go sheet by sheet, so the last page of each sheet
    // is looked for by halving.
    QList<int> pagesBySheet()
    {
        const int total = pagesOfSelectedSheets(*m_state, m_waiting.front().sheet);
        const Reference<view::XRenderable>& renderable = m_state->layout();
        const Reference<frame::XModel>& model = m_state->asModel();
        const Sequence<beans::PropertyValue> options = selectedSheetsOptions(*m_state);
        QMap<int, sal_Int32> known;
        const auto sheetOf = [&](int page) {
            const auto it = known.constFind(page);
            if (it != known.cend())
                return *it;
            sal_Int32 sheet = -1;
            const Sequence<beans::PropertyValue> props =
                renderable->getRenderer(page, Any(model), options);
            for (sal_Int32 i = 0; i < props.getLength(); ++i) {
                table::CellRangeAddress range;
                if (props[i].Name == "SourceRange" && (props[i].Value >>= range))
                    sheet = range.Sheet;
            }
            known.insert(page, sheet);
            return sheet;
        };
        QList<int> each;
        int first = 0;
        for (const Waiting& waiting : m_waiting) {
            if (first >= total || sheetOf(first) != waiting.index)
                return {};
            int last = first;
            int beyond = total; // the first page known to show a later sheet
            while (last + 1 < beyond) {
                const int middle = (last + beyond) / 2;
                const sal_Int32 sheet = sheetOf(middle);
                if (sheet == waiting.index)
                    last = middle;
                else if (sheet > waiting.index)
                    beyond = middle;
                else
                    return {};
            }
            each << last - first + 1;
            first = last + 1;
        }
        return first == total ? each : QList<int>();
    }

    // Gives each written file its name, "<workbook> - <sheet>.pdf", in the
    // order the sheets were added.
    PrintResult namePdfs(int pages)
    {
        for (Waiting& waiting : m_waiting) {
            const QString path = reservePdfPath(m_pdfFolder, m_state->path, waiting.name);
            if (path.isEmpty() || ::rename(QFile::encodeName(waiting.pdf).constData(),
                                           QFile::encodeName(path).constData()) != 0) {
                const QString why = QString::fromLocal8Bit(std::strerror(errno));
                if (!path.isEmpty())
                    QFile::remove(path);
                return PrintResult::failed(
                    FailureKind::PrintRefused,
                    QStringLiteral("cannot create a PDF file in %1: %2").arg(m_pdfFolder, why));
            }
            waiting.pdf.clear();
        }
        return PrintResult::printed(pages);
    }

    // Forgets the waiting sheets: their print areas back, their files gone.
    void discard()
    {
        if (m_waiting.empty())
            return;
        // Several sheets left selected are selected anew by the next print.
        m_state->call(CallKind::Short, false, [&] {
            for (Waiting& waiting : m_waiting)
                waiting.area.putBack();
            return true;
        });
        for (const Waiting& waiting : m_waiting) {
            if (!waiting.pdf.isEmpty())
                QFile::remove(waiting.pdf);
        }
        m_waiting.clear();
    }

    StatePtr m_state;
    QString m_pdfFolder;
    bool m_oneSheetEach = true;
    bool m_twoSided = false;
    std::vector<Waiting> m_waiting;
    QList<int> m_sentPages;
};

} // namespace

PrintResult printSheet(WorkbookState& state, const Reference<sheet::XSpreadsheet>& sheet,
                       const QString& sheetName, const table::CellRangeAddress* area)
{
    if (const std::optional<PrintResult> refused = notPrintable(state, sheet, sheetName, area))
        return *refused;
    const PrintTarget target = state.session->printTarget();
    AreaOnly areaOnly(sheet, area);
    PrintResult result;
    try {
        const int pages = target.kind == PrintTarget::PdfDirectory && !target.countOnly
                              ? -1
                              : pagesOfSheet(state, sheet);
        if (target.countOnly)
            result = PrintResult::printed(pages);
        else if (target.kind == PrintTarget::PdfDirectory)
            result = writeNamedPdf(state, sheet, sheetName, target.name, pages);
        else if (const std::optional<PrintResult> failure = showOnly(state, sheet, sheetName))
            result = *failure;
        else
            result = printSelectedSheets(state, pages);
    } catch (const lang::DisposedException&) {
        throw;
    } catch (...) {
        areaOnly.putBack();
        throw;
    }
    areaOnly.putBack();
    return result;
}

std::unique_ptr<PrintJob> makePrintJob(const StatePtr& state)
{
    if (!state->alive() || state->session->printTarget().countOnly)
        return nullptr;
    return std::make_unique<LoPrintJob>(state);
}

PrintResult addToJob(PrintJob& job, WorkbookState& state,
                     const Reference<sheet::XSpreadsheet>& sheet, const QString& sheetName,
                     const table::CellRangeAddress* area)
{
    auto* ours = dynamic_cast<LoPrintJob*>(&job);
    if (!ours || ours->state() != &state)
        return printSheet(state, sheet, sheetName, area);
    return ours->add(sheet, sheetName, area);
}

} // namespace engines::lo::detail
