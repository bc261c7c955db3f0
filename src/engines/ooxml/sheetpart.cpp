#include "engines/ooxml/sheetpart.h"

#include "engines/ooxml/package.h"

#include <QHash>
#include <QVector>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace ooxml {

using namespace detail;

namespace {

// Child element order of each sheet kind (CT_Worksheet, CT_Chartsheet,
// CT_Dialogsheet).  An element missing from a part goes after the last
// present element that comes before it in this order.
const QVector<QByteArray> kWorksheetOrder = {
    "sheetPr",
    "dimension",
    "sheetViews",
    "sheetFormatPr",
    "cols",
    "sheetData",
    "sheetCalcPr",
    "sheetProtection",
    "protectedRanges",
    "scenarios",
    "autoFilter",
    "sortState",
    "dataConsolidate",
    "customSheetViews",
    "mergeCells",
    "phoneticPr",
    "conditionalFormatting",
    "dataValidations",
    "hyperlinks",
    "printOptions",
    "pageMargins",
    "pageSetup",
    "headerFooter",
    "rowBreaks",
    "colBreaks",
    "customProperties",
    "cellWatches",
    "ignoredErrors",
    "smartTags",
    "drawing",
    "legacyDrawing",
    "legacyDrawingHF",
    "drawingHF",
    "picture",
    "oleObjects",
    "controls",
    "webPublishItems",
    "tableParts",
    "extLst",
};
const QVector<QByteArray> kChartsheetOrder = {
    "sheetPr",   "sheetViews",   "sheetProtection", "customSheetViews", "pageMargins",
    "pageSetup", "headerFooter", "drawing",         "legacyDrawing",    "legacyDrawingHF",
    "drawingHF", "picture",      "webPublishItems", "extLst",
};
const QVector<QByteArray> kDialogsheetOrder = {
    "sheetPr",          "sheetViews",   "sheetFormatPr", "sheetProtection",
    "customSheetViews", "printOptions", "pageMargins",   "pageSetup",
    "headerFooter",     "drawing",      "legacyDrawing", "legacyDrawingHF",
    "drawingHF",        "picture",      "oleObjects",    "extLst",
};
// Excel 4.0 macro sheets: the root is in Excel's own namespace, the children
// in the main one.
const QByteArray kMacrosheetNamespace = "http://schemas.microsoft.com/office/excel/2006/main";
const QVector<QByteArray> kMacrosheetOrder = {
    "sheetPr",
    "dimension",
    "sheetViews",
    "sheetFormatPr",
    "cols",
    "sheetData",
    "sheetProtection",
    "autoFilter",
    "sortState",
    "dataConsolidate",
    "customSheetViews",
    "phoneticPr",
    "conditionalFormatting",
    "printOptions",
    "pageMargins",
    "pageSetup",
    "headerFooter",
    "rowBreaks",
    "colBreaks",
    "customProperties",
    "drawing",
    "legacyDrawing",
    "legacyDrawingHF",
    "drawingHF",
    "picture",
    "oleObjects",
    "extLst",
};

struct Attribute
{
    QByteArray name;
    int begin = 0;      // the white space before the name
    int valueBegin = 0; // first byte of the value, after the opening quote
    int valueEnd = 0;   // the closing quote
};

struct StartTag
{
    int begin = 0;    // the '<'
    int nameEnd = 0;  // just after the element name
    int attrsEnd = 0; // just after the last attribute, nameEnd when there is none
    int end = 0;      // just after the closing '>'
    QByteArray name;
    QVector<Attribute> attributes;
    bool selfClosing = false;
};

struct Child
{
    StartTag tag;
    int end = -1;   // just after the whole element
    int order = -1; // position in the sheet kind's order; -1 for foreign or unknown elements
    QByteArray localName;
};

struct ScannedPart
{
    StartTag root;
    int rootEndTag = -1; // the '<' of the root's end tag
    QVector<Child> children;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isBlank(const QByteArray& d, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (!isSpace(d.at(i)))
            return false;
    }
    return true;
}

bool startsWithAt(const QByteArray& d, int pos, const char* text)
{
    const int len = int(qstrlen(text));
    return pos + len <= d.size() && qstrncmp(d.constData() + pos, text, uint(len)) == 0;
}

QByteArray localPart(const QByteArray& qname)
{
    const int colon = qname.indexOf(':');
    return colon < 0 ? qname : qname.mid(colon + 1);
}

QByteArray prefixPart(const QByteArray& qname)
{
    const int colon = qname.indexOf(':');
    return colon < 0 ? QByteArray() : qname.left(colon);
}

// Reads the start tag whose '<' is at lt.  Attribute values are skipped as a
// whole, so a '>' or '/' inside one does not end the tag.
bool parseStartTag(const QByteArray& d, int lt, StartTag* tag)
{
    const int n = d.size();
    int i = lt + 1;
    while (i < n && !isSpace(d.at(i)) && d.at(i) != '/' && d.at(i) != '>')
        ++i;
    if (i == lt + 1)
        return false;
    tag->begin = lt;
    tag->name = d.mid(lt + 1, i - lt - 1);
    tag->nameEnd = tag->attrsEnd = i;
    for (;;) {
        const int spaceBegin = i;
        while (i < n && isSpace(d.at(i)))
            ++i;
        if (i >= n)
            return false;
        if (d.at(i) == '>') {
            tag->end = i + 1;
            return true;
        }
        if (d.at(i) == '/') {
            if (i + 1 >= n || d.at(i + 1) != '>')
                return false;
            tag->selfClosing = true;
            tag->end = i + 2;
            return true;
        }
        const int nameBegin = i;
        while (i < n && !isSpace(d.at(i)) && d.at(i) != '=' && d.at(i) != '>' && d.at(i) != '/')
            ++i;
        Attribute attribute;
        attribute.name = d.mid(nameBegin, i - nameBegin);
        attribute.begin = spaceBegin;
        if (attribute.name.isEmpty())
            return false;
        while (i < n && isSpace(d.at(i)))
            ++i;
        if (i >= n || d.at(i) != '=')
            return false;
        ++i;
        while (i < n && isSpace(d.at(i)))
            ++i;
        if (i >= n || (d.at(i) != '"' && d.at(i) != '\''))
            return false;
        const int close = d.indexOf(d.at(i), i + 1);
        if (close < 0)
            return false;
        attribute.valueBegin = i + 1;
        attribute.valueEnd = close;
        tag->attributes.append(attribute);
        i = close + 1;
        tag->attrsEnd = i;
    }
}

// Finds the root element, its end tag and the byte ranges of its children.
// Comments, processing instructions and CDATA sections are skipped whole.
bool scanPart(const QByteArray& d, ScannedPart* part, QString* error)
{
    const int n = d.size();
    int p = startsWithAt(d, 0, "\xEF\xBB\xBF") ? 3 : 0;
    QVector<QByteArray> open; // names of the open elements, root first
    bool rootSeen = false;
    const QString malformed = tr("The sheet part is not well-formed XML.");
    for (;;) {
        const int lt = d.indexOf('<', p);
        if (open.isEmpty() && !isBlank(d, p, lt < 0 ? n : lt))
            return fail(error, malformed);
        if (lt < 0)
            break;
        if (startsWithAt(d, lt, "<?")) {
            const int e = d.indexOf("?>", lt + 2);
            if (e < 0)
                return fail(error, malformed);
            p = e + 2;
        } else if (startsWithAt(d, lt, "<!--")) {
            const int e = d.indexOf("-->", lt + 4);
            if (e < 0)
                return fail(error, malformed);
            p = e + 3;
        } else if (startsWithAt(d, lt, "<![CDATA[")) {
            const int e = d.indexOf("]]>", lt + 9);
            if (e < 0 || open.isEmpty())
                return fail(error, malformed);
            p = e + 3;
        } else if (startsWithAt(d, lt, "<!")) {
            return fail(error, tr("The sheet part carries a document type declaration, which "
                                  "workbook parts may not have."));
        } else if (startsWithAt(d, lt, "</")) {
            int i = lt + 2;
            while (i < n && !isSpace(d.at(i)) && d.at(i) != '>')
                ++i;
            const QByteArray name = d.mid(lt + 2, i - lt - 2);
            while (i < n && isSpace(d.at(i)))
                ++i;
            if (i >= n || d.at(i) != '>' || open.isEmpty() || open.last() != name)
                return fail(error, malformed);
            open.removeLast();
            if (open.size() == 1)
                part->children.last().end = i + 1;
            else if (open.isEmpty())
                part->rootEndTag = lt;
            p = i + 1;
        } else {
            StartTag tag;
            if (!parseStartTag(d, lt, &tag))
                return fail(error, malformed);
            if (open.isEmpty()) {
                if (rootSeen)
                    return fail(error, malformed);
                rootSeen = true;
                part->root = tag;
            } else if (open.size() == 1) {
                Child child;
                child.tag = tag;
                if (tag.selfClosing)
                    child.end = tag.end;
                part->children.append(child);
            }
            if (!tag.selfClosing)
                open.append(tag.name);
            p = tag.end;
        }
    }
    if (!rootSeen || !open.isEmpty())
        return fail(error, malformed);
    return true;
}

bool isWellFormed(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

// Namespace declarations of one start tag: prefix ("" for the default) -> URI.
QHash<QByteArray, QByteArray> declarations(const QByteArray& d, const StartTag& tag)
{
    QHash<QByteArray, QByteArray> result;
    for (const Attribute& a : tag.attributes) {
        const QByteArray value = d.mid(a.valueBegin, a.valueEnd - a.valueBegin);
        if (a.name == "xmlns")
            result.insert(QByteArray(), value);
        else if (a.name.startsWith("xmlns:"))
            result.insert(a.name.mid(6), value);
    }
    return result;
}

struct Edit
{
    int pos = 0;
    int removed = 0;
    QByteArray text;
};

// Replaces the values of the given attributes in a start tag, adding those it
// lacks after its last attribute, and drops the attributes named in removed.
// Only unprefixed attributes count: that is how SpreadsheetML writes them.
void setAttributes(const QByteArray& d, const StartTag& tag,
                   const QVector<QPair<QByteArray, QByteArray>>& values,
                   const QVector<QByteArray>& removed, QVector<Edit>* edits)
{
    for (const Attribute& a : tag.attributes) {
        if (removed.contains(a.name))
            edits->append({a.begin, a.valueEnd + 1 - a.begin, QByteArray()});
    }
    QByteArray appended;
    for (const auto& value : values) {
        auto it = std::find_if(tag.attributes.begin(), tag.attributes.end(),
                               [&](const Attribute& a) { return a.name == value.first; });
        if (it == tag.attributes.end()) {
            appended += ' ' + value.first + "=\"" + value.second + '"';
        } else if (d.mid(it->valueBegin, it->valueEnd - it->valueBegin) != value.second) {
            edits->append({it->valueBegin, it->valueEnd - it->valueBegin, value.second});
        }
    }
    if (!appended.isEmpty())
        edits->append({tag.attrsEnd, 0, appended});
}

// Where a missing element of the given order index goes: after the last
// present element that precedes it, else before the first that follows it,
// else before the root's end tag.
int insertionPoint(const ScannedPart& part, int order)
{
    int pos = -1;
    for (const Child& c : part.children) {
        if (c.order >= 0 && c.order < order)
            pos = c.end;
    }
    if (pos >= 0)
        return pos;
    for (const Child& c : part.children) {
        if (c.order > order)
            return c.tag.begin;
    }
    return part.rootEndTag;
}

} // namespace

QByteArray formatXmlNumber(double value)
{
    if (value == 0)
        value = 0; // no "-0"
    return QByteArray::number(value, 'g', 15);
}

bool validatePageSetup(const SheetPageSetup& setup, QString* error)
{
    for (const auto* margin :
         {&setup.left, &setup.right, &setup.top, &setup.bottom, &setup.header, &setup.footer}) {
        if (*margin && (!std::isfinite(**margin) || **margin < 0))
            return fail(error, tr("A page margin must be a number of zero or more."));
    }
    if (setup.orientation && *setup.orientation != 1 && *setup.orientation != 2)
        return fail(error, tr("The orientation must be portrait (1) or landscape (2)."));
    if (setup.paperSize && *setup.paperSize < 1)
        return fail(error, tr("The paper size code must be a positive number."));
    return true;
}

bool patchSheetPart(const QByteArray& xml, const SheetPageSetup& setup, QByteArray* out,
                    QString* error)
{
    if (!validatePageSetup(setup, error))
        return false;
    if (xml.startsWith("\xFE\xFF") || xml.startsWith("\xFF\xFE") || xml.startsWith('\0') ||
        (xml.size() > 1 && xml.at(1) == '\0'))
        return fail(error, tr("The sheet part is not UTF-8 encoded, which is not supported."));

    ScannedPart part;
    if (!scanPart(xml, &part, error))
        return false;

    const QHash<QByteArray, QByteArray> rootNs = declarations(xml, part.root);
    const QByteArray rootPrefix = prefixPart(part.root.name);
    QByteArray mainNs = rootNs.value(rootPrefix);
    const QByteArray rootName = localPart(part.root.name);
    const QVector<QByteArray>* order = nullptr;
    if (std::find(std::begin(kMainNamespaces), std::end(kMainNamespaces), mainNs) !=
        std::end(kMainNamespaces)) {
        if (rootName == "worksheet")
            order = &kWorksheetOrder;
        else if (rootName == "chartsheet")
            order = &kChartsheetOrder;
        else if (rootName == "dialogsheet")
            order = &kDialogsheetOrder;
        else if (rootName == "macrosheet")
            order = &kMacrosheetOrder;
    } else if (mainNs == kMacrosheetNamespace && rootName == "macrosheet") {
        mainNs = kMainNamespaces[0];
        order = &kMacrosheetOrder;
    }
    if (!order)
        return fail(error, tr("The part is not a worksheet, chart sheet, dialog sheet or macro "
                              "sheet."));
    if (part.root.selfClosing)
        return fail(error, tr("The sheet part is empty."));

    for (Child& c : part.children) {
        const QByteArray prefix = prefixPart(c.tag.name);
        const QHash<QByteArray, QByteArray> own = declarations(xml, c.tag);
        const QByteArray ns = own.contains(prefix) ? own.value(prefix) : rootNs.value(prefix);
        if (ns == mainNs) {
            c.localName = localPart(c.tag.name);
            c.order = int(order->indexOf(c.localName));
        }
    }

    // New elements use a prefix the root binds to the main namespace (the
    // default namespace when it is that), or declare it themselves.
    QByteArray elementPrefix, elementDeclaration;
    if (rootNs.value(QByteArray()) != mainNs) {
        const QByteArray prefix =
            rootNs.value(rootPrefix) == mainNs ? rootPrefix : rootNs.key(mainNs);
        if (prefix.isEmpty())
            elementDeclaration = " xmlns=\"" + mainNs + '"';
        else
            elementPrefix = prefix + ':';
    }
    QVector<Edit> edits;
    auto change = [&](const QByteArray& name, const QVector<QPair<QByteArray, QByteArray>>& values,
                      const QVector<QPair<QByteArray, QByteArray>>& created,
                      const QVector<QByteArray>& removed) {
        const Child* existing = nullptr;
        for (const Child& c : part.children) {
            if (c.order >= 0 && c.localName == name) {
                if (existing)
                    return fail(error, tr("The sheet part holds more than one %1 element.")
                                           .arg(QString::fromLatin1(name)));
                existing = &c;
            }
        }
        if (existing) {
            setAttributes(xml, existing->tag, values, removed, &edits);
        } else {
            QByteArray text = '<' + elementPrefix + name + elementDeclaration;
            for (const auto& value : created)
                text += ' ' + value.first + "=\"" + value.second + '"';
            text += "/>";
            edits.append({insertionPoint(part, int(order->indexOf(name))), 0, text});
        }
        return true;
    };

    const std::optional<double>* margins[6] = {&setup.left,   &setup.right,  &setup.top,
                                               &setup.bottom, &setup.header, &setup.footer};
    const char* const marginNames[6] = {"left", "right", "top", "bottom", "header", "footer"};
    QVector<QPair<QByteArray, QByteArray>> marginValues, marginCreated;
    for (int i = 0; i < 6; ++i) {
        const QByteArray value = formatXmlNumber(margins[i]->value_or(kDefaultMargins[i]));
        if (*margins[i])
            marginValues.append({marginNames[i], value});
        marginCreated.append({marginNames[i], value});
    }
    if (!marginValues.isEmpty() && !change("pageMargins", marginValues, marginCreated, {}))
        return false;

    QVector<QPair<QByteArray, QByteArray>> setupValues;
    if (setup.paperSize)
        setupValues.append(
            qMakePair(QByteArray("paperSize"), QByteArray::number(*setup.paperSize)));
    if (setup.orientation)
        setupValues.append(
            qMakePair(QByteArray("orientation"),
                      QByteArray(*setup.orientation == 2 ? "landscape" : "portrait")));
    // A paper height and width given in the element win over the paper code:
    // they go when a paper size is set.
    QVector<QByteArray> setupRemoved;
    if (setup.paperSize)
        setupRemoved = {"paperHeight", "paperWidth"};
    if (!setupValues.isEmpty() && !change("pageSetup", setupValues, setupValues, setupRemoved))
        return false;

    // Insertions at the same point keep the order in which they were planned
    // (pageMargins before pageSetup).
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.pos < b.pos; });
    QByteArray result;
    result.reserve(xml.size() + 256);
    int cursor = 0;
    for (const Edit& e : edits) {
        result += xml.mid(cursor, e.pos - cursor);
        result += e.text;
        cursor = e.pos + e.removed;
    }
    result += xml.mid(cursor);

    // One full parse of the result: it refuses a part that was not well-formed
    // to begin with (the scan above checks only the structure it needs) and
    // would catch a splice in the wrong place.  Parsing the original as well
    // would double the time for large sheets and prove nothing more.
    if (!isWellFormed(result))
        return fail(error, tr("The sheet part is not well-formed XML."));
    *out = result;
    return true;
}

} // namespace ooxml
