// What the parts of one open LibreOffice workbook share, and the helpers
// they use.  Internal to the LibreOffice implementation.
#pragma once

#include "engines/libreoffice/libreofficedocument.h"
#include "engines/libreoffice/unosession.h"
#include "engines/ooxml/workbookfile.h"
#include "spreadsheet/spreadsheet.h"

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XRenderable.hpp>

#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace engines::lo::detail {

namespace css = ::com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using ::rtl::OUString;

enum class FileFormat { Xlsx, Xls, Csv, Other };

inline FileFormat formatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xlsm"))
        return FileFormat::Xlsx;
    if (suffix == QLatin1String("xls"))
        return FileFormat::Xls;
    if (suffix == QLatin1String("csv"))
        return FileFormat::Csv;
    return FileFormat::Other;
}

inline OUString ou(const char* ascii)
{
    return OUString::createFromAscii(ascii);
}

inline css::beans::PropertyValue property(const char* name, const Any& value)
{
    css::beans::PropertyValue p;
    p.Name = ou(name);
    p.Value = value;
    return p;
}

template <class T>
T get(const Reference<css::beans::XPropertySet>& set, const char* name)
{
    T value{};
    set->getPropertyValue(ou(name)) >>= value;
    return value;
}

inline void put(const Reference<css::beans::XPropertySet>& set, const char* name, const Any& value)
{
    set->setPropertyValue(ou(name), value);
}

// Page number fields in the headers and footers of a page style.
enum class PageNumbering {
    None,
    PageNumber, // "Page &P"
    PageCount,  // "of &N": the pages of the whole job
};

// What every object of one open workbook shares.
struct WorkbookState
{
    std::shared_ptr<UnoSession> session;
    Reference<css::lang::XComponent> document;
    QString path;
    OpenMode mode = OpenMode::ReadOnly;
    FileFormat format = FileFormat::Other;
    OUString filterName;
    // Page setup set in this session, per sheet name, as Excel stores it.
    QMap<QString, spreadsheet::PageSetupValues> changes;
    bool closed = false;
    // A CSV file is loaded from a copy in here, editable, so that its number
    // formats and column widths can be set without a lock file beside the
    // original; removed after the document is closed.
    std::unique_ptr<QTemporaryDir> scratch;
    // What the file itself says about its sheets, read on first use: the
    // office shows a very hidden sheet as merely hidden and a dialog sheet as
    // an empty worksheet.
    std::optional<ooxml::WorkbookFile> file;
    // Whether the office has exactly one sheet selected, the one it shows.
    // A workbook saved with several sheets selected (grouped) opens with all
    // of them selected, and printing the shown sheet would print them all.
    bool oneSheetSelected = false;
    // What a print job needs of a page style: its paper and the page number
    // fields its headers and footers print.
    struct StyleFacts
    {
        css::awt::Size paper;
        PageNumbering numbering = PageNumbering::None;
    };
    QMap<OUString, StyleFacts> styleFacts;
    // What was read of a sheet (by name) through the spreadsheet interface,
    // so that printing it need not ask the office again.  Each question to
    // the office is a round trip to another process, and so is each change
    // of interface: what is asked often is kept.
    struct SheetSeen
    {
        std::optional<bool> visible;
        Reference<css::uno::XInterface> usedArea; // a cell range over the used area
        Reference<css::beans::XPropertySet> properties;
        std::optional<sal_Int32> index;
    };
    QMap<QString, SheetSeen> seen;
    // The sheets collection with the sheets' names in order, the page styles
    // and the page style family, once asked for.
    Reference<css::container::XIndexAccess> sheets;
    QStringList sheetNames;
    QMap<OUString, Reference<css::beans::XPropertySet>> pageStyles;
    Reference<css::container::XNameAccess> pageStyleFamily;

    // The document as a model, its view and its printed layout, asked for
    // once.
    Reference<css::frame::XModel> model;
    Reference<css::frame::XController> controller;
    Reference<css::view::XRenderable> renderable;
    // Whether the office keeps a layout of the selected sheets from an
    // earlier count or print, which it would give again for another
    // selection.
    bool selectionLaidOut = false;

    const Reference<css::frame::XModel>& asModel()
    {
        if (!model.is())
            model.set(document, css::uno::UNO_QUERY_THROW);
        return model;
    }
    const Reference<css::frame::XController>& view()
    {
        if (!controller.is())
            controller = asModel()->getCurrentController();
        return controller;
    }
    const Reference<css::view::XRenderable>& layout()
    {
        if (!renderable.is())
            renderable.set(document, css::uno::UNO_QUERY_THROW);
        return renderable;
    }

    // The 0-based position of the sheet of that name.
    sal_Int32 sheetIndex(const QString& name, const Reference<css::sheet::XSpreadsheet>& sheet)
    {
        std::optional<sal_Int32>& index = seen[name].index;
        if (!index)
            index = Reference<css::sheet::XCellRangeAddressable>(sheet, css::uno::UNO_QUERY_THROW)
                        ->getRangeAddress()
                        .Sheet;
        return *index;
    }

    // The properties of the sheet of that name.
    Reference<css::beans::XPropertySet>
    sheetProperties(const QString& name, const Reference<css::sheet::XSpreadsheet>& sheet)
    {
        Reference<css::beans::XPropertySet>& properties = seen[name].properties;
        if (!properties.is())
            properties.set(sheet, css::uno::UNO_QUERY_THROW);
        return properties;
    }

    // The file's own account of the sheet of that name, or null.
    const ooxml::SheetFacts* sheetFacts(const QString& name)
    {
        if (!file)
            file = ooxml::inspectWorkbookFile(path);
        for (const ooxml::SheetFacts& sheet : std::as_const(file->sheets)) {
            if (sheet.name == name)
                return &sheet;
        }
        return nullptr;
    }

    bool alive() const { return !closed && session && session->usable() && document.is(); }

    template <class R, class F>
    R call(CallKind kind, R failValue, F&& f)
    {
        if (!alive())
            return failValue;
        return session->call(kind, std::move(failValue), std::forward<F>(f));
    }

    void close()
    {
        if (closed)
            return;
        closed = true;
        if (session && session->usable() && document.is()) {
            session->call(CallKind::Short, false, [&] {
                const Reference<css::util::XCloseable> closeable(document, UNO_QUERY);
                try {
                    if (closeable.is())
                        closeable->close(true);
                    else
                        document->dispose();
                } catch (const css::lang::DisposedException&) {
                    throw;
                } catch (const css::uno::Exception&) {
                    document->dispose();
                }
                return true;
            });
        }
        if (session)
            session->untrackDocument(document);
        sheets.clear();
        seen.clear();
        pageStyles.clear();
        pageStyleFamily.clear();
        model.clear();
        controller.clear();
        renderable.clear();
        document.clear();
        scratch.reset();
    }
};

using StatePtr = std::shared_ptr<WorkbookState>;

// Runs a print call; when it fails because the office died or hung on the
// way, the result says so.
template <class F>
PrintResult printCall(WorkbookState& state, F&& f)
{
    PrintResult result = state.call(
        CallKind::Long,
        PrintResult::failed(FailureKind::PrintRefused, QStringLiteral("the office did not print")),
        std::forward<F>(f));
    if (result.outcome == PrintResult::Failed && state.session && state.session->lost())
        result.failure = state.session->lostFailure();
    return result;
}

// Prints one sheet, or one area of it (area not null), and nothing else.
PrintResult printSheet(WorkbookState& state, const Reference<css::sheet::XSpreadsheet>& sheet,
                       const QString& sheetName, const css::table::CellRangeAddress* area);

// A print job for the session's print target; null when each sheet is
// printed (or counted) at once.
std::unique_ptr<PrintJob> makePrintJob(const StatePtr& state);

// Adds one sheet, or one area of it, to a job made by makePrintJob() for the
// same workbook; any other job prints it alone.
PrintResult addToJob(PrintJob& job, WorkbookState& state,
                     const Reference<css::sheet::XSpreadsheet>& sheet, const QString& sheetName,
                     const css::table::CellRangeAddress* area);

// Whether the sheet's draw page holds any shape (a chart, a picture).
bool sheetHasShapes(WorkbookState& state, const QString& sheetName,
                    const Reference<css::sheet::XSpreadsheet>& sheet);

// Number formats and column widths that show a loaded CSV file's values as
// they were written.
void showCsvAsWritten(const Reference<css::lang::XComponent>& document, const CsvLayout& layout);

// The "PageSetup" of one sheet.
std::unique_ptr<PageSetup> makePageSetup(StatePtr state, Reference<css::sheet::XSpreadsheet> sheet,
                                         QString sheetName);

} // namespace engines::lo::detail
