// Page setup of one sheet: paper, margins and orientation on the sheet's own
// page style, remembered as Excel stores them for saving .xlsx packages.
#include "engines/libreoffice/workbookstate.h"

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>

#include <cmath>
#include <cstdlib>
#include <optional>

using namespace ::com::sun::star;
using ::com::sun::star::uno::Any;
using ::com::sun::star::uno::Reference;
using ::com::sun::star::uno::Sequence;
using ::com::sun::star::uno::UNO_QUERY;
using ::com::sun::star::uno::UNO_QUERY_THROW;
using ::rtl::OUString;

namespace engines::lo::detail {

namespace {

// Excel's paper codes and their sizes in 1/100 mm, portrait.
bool paperSize(int code, sal_Int32* width, sal_Int32* height)
{
    switch (code) {
    case PaperA3:
        *width = 29700, *height = 42000;
        return true;
    case PaperA4:
        *width = 21000, *height = 29700;
        return true;
    case PaperA5:
        *width = 14800, *height = 21000;
        return true;
    case PaperB4:
        *width = 25700, *height = 36400;
        return true;
    case PaperB5:
        *width = 18200, *height = 25700;
        return true;
    default:
        return false;
    }
}

sal_Int32 pointsToHundredthMm(double points)
{
    return static_cast<sal_Int32>(std::lround(points / 72.0 * 2540.0));
}

// Excel's paper code of a paper size in 1/100 mm (either orientation), or 0.
int paperCode(const awt::Size& size)
{
    static const struct
    {
        int code;
        sal_Int32 width, height;
    } papers[] = {
        {1, 21590, 27940},       {3, 27940, 43180},       {5, 21590, 35560},
        {7, 18415, 26670},       {PaperA3, 29700, 42000}, {PaperA4, 21000, 29700},
        {PaperA5, 14800, 21000}, {PaperB4, 25700, 36400}, {PaperB5, 18200, 25700},
        {33, 25000, 35300},      {34, 17600, 25000},      {70, 10500, 14800},
    };
    const sal_Int32 shortSide = std::min(size.Width, size.Height);
    const sal_Int32 longSide = std::max(size.Width, size.Height);
    for (const auto& paper : papers) {
        if (std::abs(paper.width - shortSide) <= 50 && std::abs(paper.height - longSide) <= 50)
            return paper.code;
    }
    return 0;
}

// What the office writes as the header or footer margin of a sheet whose
// header or footer is off.
constexpr sal_Int32 kDefaultHeaderMargin = 1300;
// The smallest header or footer height the layer asks for, so that body and
// header never collapse into each other.
constexpr sal_Int32 kMinHeaderHeight = 100;
constexpr sal_Int32 kHeaderBodyDistance = 250;

// The page style of this sheet alone: when other sheets share the sheet's
// style, the sheet gets a copy of it first, so a change never reaches them.
Reference<beans::XPropertySet> ownPageStyle(WorkbookState& state,
                                            const Reference<sheet::XSpreadsheet>& sheet,
                                            const QString& sheetName)
{
    const Reference<beans::XPropertySet> sheetProps(sheet, UNO_QUERY_THROW);
    const OUString styleName = get<OUString>(sheetProps, "PageStyle");
    const Reference<style::XStyleFamiliesSupplier> families(state.document, UNO_QUERY_THROW);
    const Reference<container::XNameContainer> styles(
        families->getStyleFamilies()->getByName(ou("PageStyles")), UNO_QUERY_THROW);

    const Reference<sheet::XSpreadsheetDocument> doc(state.document, UNO_QUERY_THROW);
    const Reference<container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
    int users = 0;
    for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
        const Reference<beans::XPropertySet> other(sheets->getByIndex(i), UNO_QUERY_THROW);
        if (get<OUString>(other, "PageStyle") == styleName)
            ++users;
    }
    if (users <= 1)
        return Reference<beans::XPropertySet>(styles->getByName(styleName), UNO_QUERY_THROW);

    const Reference<lang::XMultiServiceFactory> factory(state.document, UNO_QUERY_THROW);
    const Reference<beans::XPropertySet> fresh(
        factory->createInstance(ou("com.sun.star.style.PageStyle")), UNO_QUERY_THROW);
    QString base = QStringLiteral("PageStyle_") + sheetName;
    QString name = base;
    for (int n = 2; styles->hasByName(toOU(name)); ++n)
        name = base + QStringLiteral("_%1").arg(n);
    styles->insertByName(toOU(name), Any(fresh));
    const Reference<beans::XPropertySet> old(styles->getByName(styleName), UNO_QUERY_THROW);
    const Sequence<beans::Property> props = old->getPropertySetInfo()->getProperties();
    // Twice: some properties (header and footer sizes) only take once the
    // switch they depend on has been copied.
    for (int pass = 0; pass < 2; ++pass) {
        for (sal_Int32 i = 0; i < props.getLength(); ++i) {
            if (props[i].Attributes & beans::PropertyAttribute::READONLY)
                continue;
            try {
                fresh->setPropertyValue(props[i].Name, old->getPropertyValue(props[i].Name));
            } catch (const lang::DisposedException&) {
                throw;
            } catch (const uno::Exception&) {
            }
        }
    }
    sheetProps->setPropertyValue(ou("PageStyle"), Any(toOU(name)));
    return fresh;
}

// Header (or footer) margin and top (or bottom) margin as Excel means them,
// mapped onto the office's page style: the page margin is the header margin
// and the header area, switched on with a fixed height, reaches to the body.
//
// bodyMargin and headerMargin are what was asked for in this session (unset:
// keep what the sheet has), so the order of the two settings does not matter.
void setEdgeMargins(const Reference<beans::XPropertySet>& style, bool top,
                    std::optional<sal_Int32> bodyMargin, std::optional<sal_Int32> headerMargin)
{
    const char* isOn = top ? "HeaderIsOn" : "FooterIsOn";
    const char* dynamic = top ? "HeaderIsDynamicHeight" : "FooterIsDynamicHeight";
    const char* margin = top ? "TopMargin" : "BottomMargin";
    const char* height = top ? "HeaderHeight" : "FooterHeight";
    const char* distance = top ? "HeaderBodyDistance" : "FooterBodyDistance";

    const bool on = get<bool>(style, isOn);
    const sal_Int32 pageMargin = get<sal_Int32>(style, margin);
    sal_Int32 currentHeader = kDefaultHeaderMargin;
    sal_Int32 currentBody = pageMargin;
    if (on) {
        currentHeader = pageMargin;
        currentBody = pageMargin + get<sal_Int32>(style, height);
    }
    const sal_Int32 newBody = std::max(bodyMargin.value_or(currentBody), sal_Int32(0));
    // In Excel the top margin is the distance to the body whatever the header
    // margin; here the header lies inside the page margin, so a header margin
    // at or past the body gives way and the body still starts where asked.
    const sal_Int32 newHeader = std::max(
        std::min(headerMargin.value_or(currentHeader), newBody - kMinHeaderHeight), sal_Int32(0));
    const sal_Int32 newHeight = newBody - newHeader;

    put(style, isOn, Any(true));
    put(style, dynamic, Any(false));
    put(style, distance, Any(sal_Int32(0)));
    put(style, margin, Any(newHeader));
    put(style, height, Any(newHeight));
    put(style, distance, Any(std::min(kHeaderBodyDistance, newHeight / 2)));
}

// A page style's values as the office writes them to .xlsx and .xls: a
// header that is on lies inside the top margin (the header margin is the page
// margin, the top margin reaches to the body); with the header off the top
// margin is the page margin and the header margin a fixed 1.3 cm.  The
// export works in twips.  For a header of dynamic height it measures the
// header's text, which the API does not tell: one line of the default
// header font (12 pt) stands in for it, as the office itself assumes when it
// imports Excel's margins.
PageSetupValues readPageStyle(const Reference<beans::XPropertySet>& style)
{
    auto twips = [&](const char* name) {
        return std::round(get<sal_Int32>(style, name) * 1440.0 / 2540.0);
    };
    constexpr double kHeaderLine = 240;
    auto edge = [&](bool top, std::optional<double>* body, std::optional<double>* header) {
        const double margin = twips(top ? "TopMargin" : "BottomMargin");
        if (!get<bool>(style, top ? "HeaderIsOn" : "FooterIsOn")) {
            *body = margin / 1440.0;
            *header = std::round(kDefaultHeaderMargin * 1440.0 / 2540.0) / 1440.0;
            return;
        }
        const double area =
            get<bool>(style, top ? "HeaderIsDynamicHeight" : "FooterIsDynamicHeight")
                ? kHeaderLine + twips(top ? "HeaderBodyDistance" : "FooterBodyDistance")
                : twips(top ? "HeaderHeight" : "FooterHeight");
        *header = margin / 1440.0;
        *body = (margin + area) / 1440.0;
    };
    PageSetupValues values;
    values.left = twips("LeftMargin") / 1440.0;
    values.right = twips("RightMargin") / 1440.0;
    edge(true, &values.top, &values.header);
    edge(false, &values.bottom, &values.footer);
    values.orientation =
        get<bool>(style, "IsLandscape") ? OrientationLandscape : OrientationPortrait;
    if (const int code = paperCode(get<awt::Size>(style, "Size")))
        values.paperSize = code;
    return values;
}

class LoPageSetup : public PageSetup
{
public:
    LoPageSetup(StatePtr state, Reference<sheet::XSpreadsheet> sheet, QString name)
        : m_state(std::move(state)), m_sheet(std::move(sheet)), m_name(std::move(name))
    {}

    bool setPaperSize(int code) override
    {
        sal_Int32 width, height;
        if (!paperSize(code, &width, &height))
            return false;
        const bool ok = withStyle([&](const Reference<beans::XPropertySet>& style) {
            awt::Size size(width, height);
            if (get<bool>(style, "IsLandscape"))
                size = awt::Size(height, width);
            put(style, "Size", Any(size));
        });
        if (ok)
            m_state->changes[m_name].paperSize = code;
        return ok;
    }

    bool setLeftMargin(double points) override { return setMargin(Side::Left, points); }
    bool setRightMargin(double points) override { return setMargin(Side::Right, points); }
    bool setTopMargin(double points) override { return setMargin(Side::Top, points); }
    bool setBottomMargin(double points) override { return setMargin(Side::Bottom, points); }
    bool setHeaderMargin(double points) override { return setMargin(Side::Header, points); }
    bool setFooterMargin(double points) override { return setMargin(Side::Footer, points); }

    bool setOrientation(int orientation) override
    {
        if (orientation != OrientationPortrait && orientation != OrientationLandscape)
            return false;
        const bool landscape = orientation == OrientationLandscape;
        // Both the flag and the paper's width and height: only the two
        // together are saved as the right orientation and paper code.
        const bool ok = withStyle([&](const Reference<beans::XPropertySet>& style) {
            const awt::Size size = get<awt::Size>(style, "Size");
            const sal_Int32 shortSide = std::min(size.Width, size.Height);
            const sal_Int32 longSide = std::max(size.Width, size.Height);
            put(style, "IsLandscape", Any(landscape));
            put(style, "Size",
                Any(landscape ? awt::Size(longSide, shortSide) : awt::Size(shortSide, longSide)));
        });
        if (ok)
            m_state->changes[m_name].orientation = orientation;
        return ok;
    }

    // The sheet's page style as Excel stores it (what saving would write),
    // with the values set in this session over it: those are exact, the
    // style holds them rounded to 1/100 mm.
    PageSetupValues current() override
    {
        if (!m_state->alive())
            return PageSetupValues();
        PageSetupValues values = m_state->call(CallKind::Short, PageSetupValues(),
                                               [&] { return readPageStyle(sheetPageStyle()); });
        return values.overlaid(m_state->changes.value(m_name));
    }

private:
    enum class Side { Left, Right, Top, Bottom, Header, Footer };

    // The style the sheet uses now, shared or not (reading needs no copy).
    Reference<beans::XPropertySet> sheetPageStyle()
    {
        const Reference<beans::XPropertySet> sheetProps(m_sheet, UNO_QUERY_THROW);
        const Reference<style::XStyleFamiliesSupplier> families(m_state->document, UNO_QUERY_THROW);
        const Reference<container::XNameContainer> styles(
            families->getStyleFamilies()->getByName(ou("PageStyles")), UNO_QUERY_THROW);
        return Reference<beans::XPropertySet>(
            styles->getByName(get<OUString>(sheetProps, "PageStyle")), UNO_QUERY_THROW);
    }

    template <class F>
    bool withStyle(F&& f)
    {
        return m_state->call(CallKind::Short, false, [&] {
            f(ownPageStyle(*m_state, m_sheet, m_name));
            return true;
        });
    }

    bool setMargin(Side side, double points)
    {
        if (!std::isfinite(points) || points < 0 || points > 72.0 * 40)
            return false;
        const sal_Int32 value = pointsToHundredthMm(points);
        // The other margin of the pair, as asked for earlier in this session.
        const spreadsheet::PageSetupValues asked = m_state->changes.value(m_name);
        auto earlier = [](const std::optional<double>& inches) -> std::optional<sal_Int32> {
            if (!inches)
                return std::nullopt;
            return pointsToHundredthMm(*inches * 72.0);
        };
        const bool ok = withStyle([&](const Reference<beans::XPropertySet>& style) {
            switch (side) {
            case Side::Left:
                put(style, "LeftMargin", Any(value));
                break;
            case Side::Right:
                put(style, "RightMargin", Any(value));
                break;
            case Side::Top:
                setEdgeMargins(style, true, value, earlier(asked.header));
                break;
            case Side::Header:
                setEdgeMargins(style, true, earlier(asked.top), value);
                break;
            case Side::Bottom:
                setEdgeMargins(style, false, value, earlier(asked.footer));
                break;
            case Side::Footer:
                setEdgeMargins(style, false, earlier(asked.bottom), value);
                break;
            }
        });
        if (!ok)
            return false;
        spreadsheet::PageSetupValues& change = m_state->changes[m_name];
        const double inches = points / 72.0;
        switch (side) {
        case Side::Left:
            change.left = inches;
            break;
        case Side::Right:
            change.right = inches;
            break;
        case Side::Top:
            change.top = inches;
            break;
        case Side::Bottom:
            change.bottom = inches;
            break;
        case Side::Header:
            change.header = inches;
            break;
        case Side::Footer:
            change.footer = inches;
            break;
        }
        return true;
    }

    StatePtr m_state;
    Reference<sheet::XSpreadsheet> m_sheet;
    QString m_name;
};

} // namespace

std::unique_ptr<PageSetup> makePageSetup(StatePtr state, Reference<sheet::XSpreadsheet> sheet,
                                         QString sheetName)
{
    return std::make_unique<LoPageSetup>(std::move(state), std::move(sheet), std::move(sheetName));
}

} // namespace engines::lo::detail
