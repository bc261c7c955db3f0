// Printing one sheet or one area of it, to a printer or into a PDF folder.
#include "engines/libreoffice/workbookstate.h"

#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XPrintAreas.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/view/PrintableState.hpp>
#include <com/sun/star/view/XPrintJobBroadcaster.hpp>
#include <com/sun/star/view/XPrintJobListener.hpp>
#include <com/sun/star/view/XPrintable.hpp>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include <QDir>
#include <QFile>
#include <QUrl>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

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
// Whether anything would be printed from the range: content in cells that
// are not in hidden rows or columns.
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
    return found.is() && found->getCount() > 0;
}

bool areaHasContent(const Reference<sheet::XSpreadsheet>& sheet,
                    const table::CellRangeAddress& area)
{
    return rangeHasContent(sheet->getCellRangeByPosition(area.StartColumn, area.StartRow,
                                                         area.EndColumn, area.EndRow));
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

// Prints the active sheet of the document to the session's print target.
PrintResult printActiveSheet(WorkbookState& state, const QString& sheetName)
{
    const PrintTarget target = state.session->printTarget();
    const Reference<view::XPrintable> printable(state.document, UNO_QUERY_THROW);
    Sequence<beans::PropertyValue> options(1);
    options[0] = property("Wait", Any(true));
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
        if (toQ(chosenName) != target.name)
            return PrintResult::failed(FailureKind::PrintRefused,
                                       QStringLiteral("printer \"%1\" not found").arg(target.name));
    } else if (target.kind == PrintTarget::PdfDirectory) {
        pdfPath = reservePdfPath(target.name, state.path, sheetName);
        if (pdfPath.isEmpty())
            return PrintResult::failed(FailureKind::PrintRefused,
                                       QStringLiteral("cannot create a PDF file in ") +
                                           target.name);
        options.realloc(2);
        options[1] = property("FileName",
                              Any(toOU(QUrl::fromLocalFile(pdfPath).toString(QUrl::FullyEncoded))));
    }

    const Reference<view::XPrintJobBroadcaster> broadcaster(state.document, UNO_QUERY);
    ::rtl::Reference<PrintJobWatcher> watcher(new PrintJobWatcher);
    if (broadcaster.is())
        broadcaster->addPrintJobListener(watcher.get());
    std::optional<bool> result;
    try {
        printable->print(options);
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
    bool ok = result.value_or(true);
    if (!pdfPath.isEmpty() && (!ok || QFileInfo(pdfPath).size() == 0)) {
        QFile::remove(pdfPath);
        ok = false;
    }
    if (!ok)
        return PrintResult::failed(FailureKind::PrintRefused);
    return PrintResult::printed();
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
    } else if (!rangeHasContent(sheet) && !sheetHasShapes(state.document, sheet)) {
        return PrintResult::nothing();
    }

    const Reference<frame::XModel> model(state.document, UNO_QUERY_THROW);
    const Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), UNO_QUERY_THROW);
    view->setActiveSheet(sheet);
    if (!area)
        return printActiveSheet(state, sheetName);

    Sequence<table::CellRangeAddress> only(1);
    only[0] = *area;
    printAreas->setPrintAreas(only);
    PrintResult ok;
    try {
        ok = printActiveSheet(state, sheetName);
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
