// Printing one sheet or one area of it, to a printer or into a PDF folder.
#include "engines/libreoffice/workbookstate.h"

#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XPrintAreas.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
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
#include <QStringList>
#include <QUrl>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>

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
    if (!visible.is() || visible->getCount() == 0)
        return false;
    const Reference<sheet::XCellRangesQuery> visibleQuery(visible, UNO_QUERY_THROW);
    const sal_Int16 flags = sheet::CellFlags::VALUE | sheet::CellFlags::DATETIME |
                            sheet::CellFlags::STRING | sheet::CellFlags::FORMULA;
    const Reference<sheet::XSheetCellRanges> found = visibleQuery->queryContentCells(flags);
    if (found.is() && found->getCount() > 0)
        return true;
    const Reference<container::XIndexAccess> parts(visible, UNO_QUERY_THROW);
    for (sal_Int32 i = 0; i < parts->getCount(); ++i) {
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

bool sheetHasShapes(const Reference<lang::XComponent>& document,
                    const Reference<sheet::XSpreadsheet>& sheet)
{
    const Reference<drawing::XDrawPagesSupplier> supplier(document, UNO_QUERY);
    const Reference<sheet::XCellRangeAddressable> addressable(sheet, UNO_QUERY);
    if (!supplier.is() || !addressable.is())
        return false;
    const Reference<container::XIndexAccess> pages(supplier->getDrawPages(), UNO_QUERY_THROW);
    const sal_Int32 index = addressable->getRangeAddress().Sheet;
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

// The pages the office lays out for the active sheet (its print areas
// included) as it would print them; at least 1, as the office counts.
int pagesOfActiveSheet(WorkbookState& state, const Reference<sheet::XSpreadsheet>& sheet)
{
    const Reference<view::XRenderable> renderable(state.document, UNO_QUERY_THROW);
    const Reference<frame::XModel> model(state.document, UNO_QUERY_THROW);
    // The office keeps the layout of the last count for "the selected
    // sheets" and gives it again after the active sheet changed: counting
    // one cell first makes it lay the sheet out anew.
    renderable->getRendererCount(Any(sheet->getCellByPosition(0, 0)),
                                 Sequence<beans::PropertyValue>());
    Sequence<beans::PropertyValue> options(2);
    options[0] = property("View", Any(model->getCurrentController()));
    options[1] = property("PrintContent", Any(sal_Int32(1))); // the selected sheets: the active one
    return renderable->getRendererCount(Any(model), options);
}

// Prints the active sheet of the document to the session's print target.
PrintResult printActiveSheet(WorkbookState& state, const QString& sheetName, int pages)
{
    const PrintTarget target = state.session->printTarget();
    const Reference<view::XPrintable> printable(state.document, UNO_QUERY_THROW);
    std::vector<beans::PropertyValue> options{property("Wait", Any(true))};
    QString pdfPath;
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
    } else if (target.kind == PrintTarget::PdfDirectory) {
        pdfPath = reservePdfPath(target.name, state.path, sheetName);
        if (pdfPath.isEmpty())
            return PrintResult::failed(
                FailureKind::PrintRefused,
                QStringLiteral("cannot create a PDF file in %1: %2")
                    .arg(target.name, QString::fromLocal8Bit(std::strerror(errno))));
        options.push_back(property(
            "FileName", Any(toOU(QUrl::fromLocalFile(pdfPath).toString(QUrl::FullyEncoded)))));
    }
    // Copies, collation and sides go to the print system with the job; a PDF
    // file holds one copy.
    if (target.kind != PrintTarget::PdfDirectory) {
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
    }

    const Reference<view::XPrintJobBroadcaster> broadcaster(state.document, UNO_QUERY);
    ::rtl::Reference<PrintJobWatcher> watcher(new PrintJobWatcher);
    if (broadcaster.is())
        broadcaster->addPrintJobListener(watcher.get());
    std::optional<bool> result;
    try {
        printable->print(Sequence<beans::PropertyValue>(options.data(), sal_Int32(options.size())));
        // With Wait the call returns once the job is spooled; its final state
        // arrives through the listener at about the same time.
        result = watcher->result(std::chrono::milliseconds(5000));
    } catch (...) {
        if (broadcaster.is())
            broadcaster->removePrintJobListener(watcher.get());
        if (!pdfPath.isEmpty())
            QFile::remove(pdfPath);
        throw;
    }
    if (broadcaster.is())
        broadcaster->removePrintJobListener(watcher.get());
    if (!pdfPath.isEmpty()) {
        if (!result.value_or(true) || QFileInfo(pdfPath).size() == 0) {
            QFile::remove(pdfPath);
            return PrintResult::failed(
                FailureKind::PrintRefused,
                QStringLiteral("no PDF file was written to %1").arg(target.name));
        }
    } else if (!result.value_or(true)) {
        return PrintResult::failed(
            FailureKind::PrintRefused,
            printSystemWords(target.kind == PrintTarget::NamedPrinter ? target.name : QString()));
    }
    return PrintResult::printed(pages);
}

} // namespace

// The office prints a page of another sheet when asked to print a hidden
// sheet, an empty sheet or an empty area, so those are caught here: they
// print nothing.  A print area set for a range is put back afterwards.
PrintResult printSheet(WorkbookState& state, const Reference<sheet::XSpreadsheet>& sheet,
                       const QString& sheetName, const table::CellRangeAddress* area)
{
    const Reference<beans::XPropertySet> sheetProps(sheet, UNO_QUERY_THROW);
    if (!get<bool>(sheetProps, "IsVisible"))
        return PrintResult::nothing();
    const ooxml::SheetFacts* facts = state.sheetFacts(sheetName);
    if (facts && facts->kind == ooxml::SheetKind::DialogSheet)
        return PrintResult::failed(FailureKind::UnsupportedFormat,
                                   QStringLiteral("dialog sheet \"%1\": the office cannot print "
                                                  "dialog sheets")
                                       .arg(sheetName));
    const Reference<sheet::XPrintAreas> printAreas(sheet, UNO_QUERY_THROW);
    const Sequence<table::CellRangeAddress> saved = printAreas->getPrintAreas();
    if (area) {
        if (!areaHasContent(sheet, *area))
            return PrintResult::nothing();
    } else if (saved.getLength() > 0) {
        bool content = false;
        for (sal_Int32 i = 0; i < saved.getLength() && !content; ++i)
            content = areaHasContent(sheet, saved[i]);
        if (!content)
            return PrintResult::nothing();
    } else if (!areaHasContent(sheet, usedArea(sheet)) && !sheetHasShapes(state.document, sheet)) {
        return PrintResult::nothing();
    }

    const Reference<frame::XModel> model(state.document, UNO_QUERY_THROW);
    const Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), UNO_QUERY_THROW);
    view->setActiveSheet(sheet);
    // Whatever the office made of that, nothing but this sheet is printed.
    const Reference<container::XNamed> active(view->getActiveSheet(), UNO_QUERY_THROW);
    if (toQ(active->getName()) != sheetName)
        return PrintResult::failed(
            FailureKind::PrintRefused,
            QStringLiteral("the office did not show sheet \"%1\"").arg(sheetName));
    const bool countOnly = state.session->printTarget().countOnly;
    if (!area) {
        const int pages = pagesOfActiveSheet(state, sheet);
        return countOnly ? PrintResult::printed(pages) : printActiveSheet(state, sheetName, pages);
    }

    Sequence<table::CellRangeAddress> only(1);
    only[0] = *area;
    printAreas->setPrintAreas(only);
    PrintResult ok;
    try {
        const int pages = pagesOfActiveSheet(state, sheet);
        ok = countOnly ? PrintResult::printed(pages) : printActiveSheet(state, sheetName, pages);
    } catch (const lang::DisposedException&) {
        throw;
    } catch (...) {
        printAreas->setPrintAreas(saved);
        throw;
    }
    printAreas->setPrintAreas(saved);
    return ok;
}

} // namespace engines::lo::detail
