#include "workbookfactory.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <QFileInfo>
#include <QUrl>

using namespace ::com::sun::star;
using ::com::sun::star::uno::Any;
using ::com::sun::star::uno::Reference;
using ::com::sun::star::uno::Sequence;
using ::com::sun::star::uno::UNO_QUERY;
using ::com::sun::star::uno::UNO_QUERY_THROW;
using engines::lo::CallKind;
using engines::lo::toOU;
using engines::lo::toQ;

namespace testsupport {

namespace {

beans::PropertyValue prop(const char* name, const Any& value)
{
    beans::PropertyValue p;
    p.Name = ::rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

::rtl::OUString url(const QString& path)
{
    return toOU(
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

void closeDocument(const Reference<lang::XComponent>& doc)
{
    const Reference<util::XCloseable> closeable(doc, UNO_QUERY);
    if (closeable.is())
        closeable->close(true);
}

} // namespace

bool makeWorkbook(engines::lo::UnoSession& session, const QString& path,
                  const QList<SheetSpec>& specs, const QString& password)
{
    return session.call(CallKind::Long, false, [&] {
        const Reference<frame::XComponentLoader> loader(session.desktop(), UNO_QUERY_THROW);
        Sequence<beans::PropertyValue> loadArgs(1);
        loadArgs[0] = prop("Hidden", Any(true));
        const Reference<lang::XComponent> doc =
            loader->loadComponentFromURL(toOU(QStringLiteral("private:factory/scalc")),
                                         toOU(QStringLiteral("_blank")), 0, loadArgs);
        bool ok = false;
        try {
            const Reference<sheet::XSpreadsheetDocument> sdoc(doc, UNO_QUERY_THROW);
            const Reference<sheet::XSpreadsheets> sheets = sdoc->getSheets();
            const Reference<container::XIndexAccess> indexed(sheets, UNO_QUERY_THROW);
            for (int i = 0; i < specs.size(); ++i) {
                const SheetSpec& spec = specs[i];
                if (i == 0) {
                    Reference<container::XNamed>(indexed->getByIndex(0), UNO_QUERY_THROW)
                        ->setName(toOU(spec.name));
                } else {
                    sheets->insertNewByName(toOU(spec.name), static_cast<sal_Int16>(i));
                }
                const Reference<sheet::XSpreadsheet> sheet(indexed->getByIndex(i), UNO_QUERY_THROW);
                const Reference<table::XCellRange> range(sheet, UNO_QUERY_THROW);
                for (const auto& cell : spec.cells) {
                    const Reference<table::XCellRange> one =
                        range->getCellRangeByName(toOU(cell.first));
                    Reference<table::XCell>(one->getCellByPosition(0, 0), UNO_QUERY_THROW)
                        ->setFormula(toOU(cell.second));
                }
                for (const QString& blank : spec.formattedBlanks) {
                    const Reference<beans::XPropertySet> props(
                        range->getCellRangeByName(toOU(blank)), UNO_QUERY_THROW);
                    props->setPropertyValue(toOU(QStringLiteral("CellBackColor")),
                                            Any(sal_Int32(0xFFFF00)));
                }
                if (!spec.hiddenRows.isEmpty()) {
                    const Reference<container::XIndexAccess> rows(
                        Reference<table::XColumnRowRange>(sheet, UNO_QUERY_THROW)->getRows(),
                        UNO_QUERY_THROW);
                    for (int row : spec.hiddenRows) {
                        Reference<beans::XPropertySet>(rows->getByIndex(row - 1), UNO_QUERY_THROW)
                            ->setPropertyValue(toOU(QStringLiteral("IsVisible")), Any(false));
                    }
                }
                if (spec.hidden) {
                    Reference<beans::XPropertySet>(sheet, UNO_QUERY_THROW)
                        ->setPropertyValue(toOU(QStringLiteral("IsVisible")), Any(false));
                }
            }
            const QString suffix = QFileInfo(path).suffix().toLower();
            const char* filter = suffix == QLatin1String("xls")   ? "MS Excel 97"
                                 : suffix == QLatin1String("csv") ? "Text - txt - csv (StarCalc)"
                                 : suffix == QLatin1String("ods") ? "calc8"
                                                                  : "Calc MS Excel 2007 XML";
            std::vector<beans::PropertyValue> args{
                prop("FilterName", Any(::rtl::OUString::createFromAscii(filter))),
                prop("Overwrite", Any(true))};
            if (suffix == QLatin1String("csv"))
                args.push_back(prop("FilterOptions", Any(toOU(QStringLiteral("44,34,76")))));
            if (!password.isEmpty())
                args.push_back(prop("Password", Any(toOU(password))));
            Reference<frame::XStorable>(doc, UNO_QUERY_THROW)
                ->storeToURL(url(path), Sequence<beans::PropertyValue>(
                                            args.data(), static_cast<sal_Int32>(args.size())));
            ok = true;
        } catch (...) {
            closeDocument(doc);
            throw;
        }
        closeDocument(doc);
        return ok;
    });
}

bool convertToXlsx(engines::lo::UnoSession& session, const QString& from, const QString& to)
{
    return session.call(CallKind::Long, false, [&] {
        const Reference<frame::XComponentLoader> loader(session.desktop(), UNO_QUERY_THROW);
        Sequence<beans::PropertyValue> loadArgs(2);
        loadArgs[0] = prop("Hidden", Any(true));
        loadArgs[1] = prop("ReadOnly", Any(true));
        const Reference<lang::XComponent> doc =
            loader->loadComponentFromURL(url(from), toOU(QStringLiteral("_blank")), 0, loadArgs);
        if (!doc.is())
            return false;
        try {
            Sequence<beans::PropertyValue> args(2);
            args[0] = prop("FilterName", Any(toOU(QStringLiteral("Calc MS Excel 2007 XML"))));
            args[1] = prop("Overwrite", Any(true));
            Reference<frame::XStorable>(doc, UNO_QUERY_THROW)->storeToURL(url(to), args);
        } catch (...) {
            closeDocument(doc);
            throw;
        }
        closeDocument(doc);
        return true;
    });
}

} // namespace testsupport
