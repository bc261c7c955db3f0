#include "engines/biff/workbookstream.h"

#include "engines/compoundfile/bytes.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace biff::detail {

using namespace cfb; // the byte helpers

namespace {

// Record types.
enum : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kVerticalPageBreaks = 0x001A,
    kHorizontalPageBreaks = 0x001B,
    kLeftMargin = 0x0026,
    kRightMargin = 0x0027,
    kTopMargin = 0x0028,
    kBottomMargin = 0x0029,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kPls = 0x004D,
    kDefColWidth = 0x0055,
    kObjProtect = 0x0063,
    kColInfo = 0x007D,
    kWsBool = 0x0081,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kBoundSheet = 0x0085,
    kSort = 0x0090,
    kFilterMode = 0x009B,
    kAutoFilterInfo = 0x009D,
    kSetup = 0x00A1,
    kScenMan = 0x00AE,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kRString = 0x00D6,
    kScenarioProtect = 0x00DD,
    kBkHim = 0x00E9,
    kSst = 0x00FC,
    kExtSst = 0x00FF,
    kLabelSst = 0x00FD,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kIndex = 0x020B,
    kArray = 0x0221,
    kTable = 0x0236,
    kRk = 0x027E,
    kBigName = 0x0418,
    kShrFmla = 0x04BC,
    kBof = 0x0809,
    kDropDownObjIds = 0x0874,
};

constexpr quint16 kBiff8 = 0x0600;
constexpr quint16 kGlobals = 0x0005;
constexpr quint16 kWorksheetSubstream = 0x0010;
constexpr quint16 kDialogFlag = 0x0010; // WsBool fDialog
constexpr quint8 kModuleSheet = 6;      // BoundSheet8 dt of a VBA module

// SETUP record: field offsets and flags.
constexpr int kSetupSize = 34;
constexpr quint16 kPortraitFlag = 0x0002;
constexpr quint16 kNoPlsFlag = 0x0004;
constexpr quint16 kNoOrientFlag = 0x0040;

const quint16 kMarginTypes[4] = {kLeftMargin, kRightMargin, kTopMargin, kBottomMargin};

QString tr(const char* text)
{
    return QCoreApplication::translate("biff", text);
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

struct Record
{
    qint64 pos = 0;
    quint16 type = 0;
    int length = 0;

    qint64 data() const { return pos + 4; }
    qint64 end() const { return pos + 4 + length; }
};

// The record at pos; false when its header or its data run past the end.
bool recordAt(const QByteArray& stream, qint64 pos, Record* r)
{
    if (pos < 0 || pos + 4 > stream.size())
        return false;
    r->pos = pos;
    r->type = u16(stream, pos);
    r->length = u16(stream, pos + 2);
    return r->end() <= stream.size();
}

// Reads across a record and the CONTINUE records after it as BIFF8 strings
// need: a string's characters that go on in the next record start there with
// a byte saying whether they are 8 or 16 bits wide.
class ContinuedReader
{
public:
    ContinuedReader(const QByteArray& stream, const Record& first) : m_stream(stream)
    {
        m_segments.append({first.data(), first.end()});
        Record r;
        for (qint64 at = first.end(); recordAt(stream, at, &r) && r.type == kContinue; at = r.end())
            m_segments.append({r.data(), r.end()});
        m_pos = first.data();
    }

    bool skip(qint64 n)
    {
        while (n > 0) {
            if (!nextSegmentIfAtEnd())
                return false;
            const qint64 step = qMin(n, end() - m_pos);
            m_pos += step;
            n -= step;
        }
        return true;
    }

    bool read(void* out, int n)
    {
        char* to = static_cast<char*>(out);
        while (n > 0) {
            if (!nextSegmentIfAtEnd())
                return false;
            const int step = int(qMin<qint64>(n, end() - m_pos));
            std::copy_n(m_stream.constData() + m_pos, step, to);
            m_pos += step;
            to += step;
            n -= step;
        }
        return true;
    }

    bool u8(quint8* v) { return read(v, 1); }
    bool u16(quint16* v)
    {
        uchar b[2];
        if (!read(b, 2))
            return false;
        *v = qFromLittleEndian<quint16>(b);
        return true;
    }
    bool u32(quint32* v)
    {
        uchar b[4];
        if (!read(b, 4))
            return false;
        *v = qFromLittleEndian<quint32>(b);
        return true;
    }

    bool chars(int count, bool wide, QString* out)
    {
        out->reserve(out->size() + count);
        while (count > 0) {
            if (m_pos == end()) {
                if (m_segment + 1 >= m_segments.size())
                    return false;
                ++m_segment;
                m_pos = m_segments.at(m_segment).first;
                quint8 flags;
                if (!read(&flags, 1))
                    return false;
                wide = flags & 1;
            }
            const qint64 available = end() - m_pos;
            const int n = int(qMin<qint64>(count, wide ? available / 2 : available));
            if (n == 0)
                return false; // half a character
            const char* at = m_stream.constData() + m_pos;
            if (wide) {
                for (int i = 0; i < n; ++i)
                    out->append(QChar(qFromLittleEndian<quint16>(at + 2 * i)));
            } else {
                out->append(QString::fromLatin1(at, n));
            }
            m_pos += wide ? 2 * n : n;
            count -= n;
        }
        return true;
    }

    // XLUnicodeString: 16-bit count, flags, characters.
    bool unicodeString(QString* out)
    {
        quint16 count;
        quint8 flags;
        return u16(&count) && u8(&flags) && chars(count, flags & 1, out);
    }

    // XLUnicodeRichExtendedString: as above, with formatting runs and
    // phonetic data after the characters.
    bool richExtendedString(QString* out)
    {
        quint16 count, runs = 0;
        quint8 flags;
        quint32 extended = 0;
        if (!u16(&count) || !u8(&flags))
            return false;
        if ((flags & 0x08) && !u16(&runs))
            return false;
        if ((flags & 0x04) && !u32(&extended))
            return false;
        return chars(count, flags & 1, out) && skip(4 * qint64(runs)) && skip(extended);
    }

private:
    qint64 end() const { return m_segments.at(m_segment).second; }
    bool nextSegmentIfAtEnd()
    {
        while (m_pos == end()) {
            if (m_segment + 1 >= m_segments.size())
                return false;
            ++m_segment;
            m_pos = m_segments.at(m_segment).first;
        }
        return true;
    }

    const QByteArray& m_stream;
    QVector<QPair<qint64, qint64>> m_segments;
    int m_segment = 0;
    qint64 m_pos = 0;
};

bool isCellRecord(quint16 type)
{
    switch (type) {
    case kFormula:
    case kBlank:
    case kNumber:
    case kLabel:
    case kBoolErr:
    case kRk:
    case kLabelSst:
    case kRString:
    case kMulRk:
    case kMulBlank:
        return true;
    default:
        return false;
    }
}

// Records of the page settings block that a new SETUP record follows.
bool isPageBlockRecord(quint16 type)
{
    switch (type) {
    case kHorizontalPageBreaks:
    case kVerticalPageBreaks:
    case kHeader:
    case kFooter:
    case kHCenter:
    case kVCenter:
    case kLeftMargin:
    case kRightMargin:
    case kTopMargin:
    case kBottomMargin:
    case kPls:
    case kSetup:
        return true;
    default:
        return false;
    }
}

// Records that come after the page settings block in a worksheet.
bool followsPageBlock(quint16 type)
{
    switch (type) {
    case kBkHim:
    case kBigName:
    case kProtect:
    case kScenarioProtect:
    case kObjProtect:
    case kPassword:
    case kDefColWidth:
    case kColInfo:
    case kScenMan:
    case kSort:
    case kFilterMode:
    case kDropDownObjIds:
    case kAutoFilterInfo:
    case kDimensions:
        return true;
    default:
        return false;
    }
}

// Walks one sheet's substream from its BOF record.
StreamStatus readSheet(const QByteArray& stream, SheetEntry* sheet, QString* detail)
{
    auto damaged = [&](const QString& text) {
        fail(detail, text);
        return StreamStatus::Damaged;
    };
    Record r;
    if (!recordAt(stream, sheet->bof, &r) || r.type != kBof || r.length < 4)
        return damaged(tr("The position of sheet %1 points to no sheet.").arg(sheet->name));
    if (u16(stream, r.data()) != kBiff8)
        return damaged(tr("Sheet %1 is not in the Excel 97-2003 format.").arg(sheet->name));
    const bool worksheetSubstream = u16(stream, r.data() + 2) == kWorksheetSubstream;
    bool dialog = false;
    qint64 pageBlockEnd = -1, firstFollower = -1;
    int depth = 1;
    for (qint64 at = r.end(); depth > 0; at = r.end()) {
        if (at >= stream.size())
            return damaged(tr("Sheet %1 ends before its end record.").arg(sheet->name));
        if (!recordAt(stream, at, &r))
            return damaged(tr("A record of sheet %1 runs past the end of the workbook stream.")
                               .arg(sheet->name));
        if (r.type == kBof) {
            ++depth;
            continue;
        }
        if (r.type == kEof) {
            --depth;
            continue;
        }
        if (depth != 1)
            continue; // an embedded chart's own records
        const int page = int(std::find(std::begin(kMarginTypes), std::end(kMarginTypes), r.type) -
                             std::begin(kMarginTypes));
        if (page < 4 && sheet->page[page] < 0)
            sheet->page[page] = r.pos;
        if (r.type == kPls && sheet->page[Pls] < 0)
            sheet->page[Pls] = r.pos;
        if (r.type == kSetup && sheet->page[Setup] < 0)
            sheet->page[Setup] = r.pos;
        if (r.type == kIndex && sheet->index < 0)
            sheet->index = r.pos;
        if (r.type == kWsBool && r.length >= 2)
            dialog = u16(stream, r.data()) & kDialogFlag;
        if (firstFollower < 0) {
            if (followsPageBlock(r.type))
                firstFollower = r.pos;
            else if (isPageBlockRecord(r.type))
                pageBlockEnd = r.end();
            else if (r.type == kContinue && pageBlockEnd == r.pos)
                pageBlockEnd = r.end(); // PLS goes on in CONTINUE records
        }
        if (isCellRecord(r.type) && r.length >= 4) {
            const int row = u16(stream, r.data());
            int first = u16(stream, r.data() + 2), last = first;
            if (r.type == kMulRk || r.type == kMulBlank) {
                if (r.length < 6)
                    continue;
                last = u16(stream, r.end() - 2);
                if (last < first)
                    continue;
            }
            if (sheet->firstRow < 0) {
                sheet->firstRow = sheet->lastRow = row;
                sheet->firstColumn = first;
                sheet->lastColumn = last;
            } else {
                sheet->firstRow = qMin(sheet->firstRow, row);
                sheet->lastRow = qMax(sheet->lastRow, row);
                sheet->firstColumn = qMin(sheet->firstColumn, first);
                sheet->lastColumn = qMax(sheet->lastColumn, last);
            }
        }
    }
    sheet->end = r.end();
    sheet->worksheet = sheet->kind == 0 && worksheetSubstream && !dialog;
    sheet->setupAnchor = pageBlockEnd >= 0 ? pageBlockEnd : firstFollower;
    return StreamStatus::Ok;
}

QString formatNumber(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    return QString::number(value, 'g', QLocale::FloatingPointShortest).toUpper();
}

double rkValue(quint32 rk)
{
    double value;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100.0 : value;
}

QString errorText(quint8 code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#GETTING_DATA");
    }
}

// The text value a FORMULA record caches, the STRING record after it for a
// text result.
std::optional<QString> formulaText(const QByteArray& stream, const Record& formula)
{
    if (formula.length < 14)
        return QString();
    const qint64 value = formula.data() + 6;
    if (u16(stream, value + 6) != 0xFFFF)
        return formatNumber(f64(stream, value));
    switch (quint8(stream.at(value))) {
    case 0: {
        Record r;
        for (qint64 at = formula.end(); recordAt(stream, at, &r); at = r.end()) {
            if (r.type == kString) {
                ContinuedReader reader(stream, r);
                QString text;
                if (!reader.unicodeString(&text))
                    return std::nullopt;
                return text;
            }
            if (r.type != kShrFmla && r.type != kArray && r.type != kTable)
                break;
        }
        return std::nullopt;
    }
    case 1:
        return stream.at(value + 2) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case 2:
        return errorText(quint8(stream.at(value + 2)));
    default:
        return QString();
    }
}

QByteArray newRecord(quint16 type, int length)
{
    QByteArray bytes(4 + length, '\0');
    put16(bytes, 0, type);
    put16(bytes, 2, quint16(length));
    return bytes;
}

// Sets header, footer, orientation and paper on the 34 data bytes of a
// SETUP record at data, leaving its other fields.
void editSetup(QByteArray& bytes, qint64 data, const spreadsheet::PageSetupValues& values)
{
    if (values.header)
        putF64(bytes, data + 16, *values.header);
    if (values.footer)
        putF64(bytes, data + 24, *values.footer);
    if (!values.orientation && !values.paperSize)
        return;
    quint16 flags = u16(bytes, data + 10);
    if (flags & kNoPlsFlag) {
        // Paper, scale, resolution, copies and orientation were undefined:
        // once they count, they need values a printer takes.
        if (u16(bytes, data) == 0)
            put16(bytes, data, spreadsheet::PaperA4);
        const quint16 scale = u16(bytes, data + 2);
        if (scale < 10 || scale > 400)
            put16(bytes, data + 2, 100);
        for (qint64 field : {data + 12, data + 14}) {
            if (u16(bytes, field) == 0)
                put16(bytes, field, 600);
        }
        if (u16(bytes, data + 32) == 0)
            put16(bytes, data + 32, 1);
        flags = quint16(flags & ~kNoPlsFlag) | kPortraitFlag;
    }
    if (values.paperSize)
        put16(bytes, data, quint16(*values.paperSize));
    if (values.orientation) {
        flags &= ~kNoOrientFlag;
        if (*values.orientation == spreadsheet::OrientationLandscape)
            flags &= ~kPortraitFlag;
        else
            flags |= kPortraitFlag;
    }
    put16(bytes, data + 10, flags);
}

// A SETUP record for a sheet without one: no printer data, portrait, the
// header and footer margins readers assume when the record is missing.
QByteArray newSetup()
{
    QByteArray bytes = newRecord(kSetup, kSetupSize);
    put16(bytes, 4, spreadsheet::PaperA4);
    put16(bytes, 6, 100); // scale
    put16(bytes, 8, 1);   // first page number
    put16(bytes, 10, 1);  // fit to width
    put16(bytes, 12, 1);  // fit to height
    put16(bytes, 14, kPortraitFlag | kNoPlsFlag);
    put16(bytes, 16, 600);
    put16(bytes, 18, 600);
    putF64(bytes, 20, 0.5);
    putF64(bytes, 28, 0.5);
    put16(bytes, 36, 1); // copies
    return bytes;
}

} // namespace

StreamStatus readStructure(const QByteArray& stream, WorkbookStructure* book, QString* detail)
{
    auto damaged = [&](const QString& text) {
        fail(detail, text);
        return StreamStatus::Damaged;
    };
    *book = WorkbookStructure();
    Record r;
    if (!recordAt(stream, 0, &r))
        return damaged(tr("The workbook stream is empty or cut short."));
    if (r.type == 0x0009 || r.type == 0x0209 || r.type == 0x0409)
        return StreamStatus::NotBiff8; // BIFF2 to BIFF4
    if (r.type != kBof || r.length < 4)
        return damaged(tr("The workbook stream does not start with a BOF record."));
    if (u16(stream, r.data()) != kBiff8) {
        fail(detail, tr("The workbook is in an Excel format older than Excel 97."));
        return StreamStatus::NotBiff8;
    }
    if (u16(stream, r.data() + 2) != kGlobals)
        return damaged(tr("The workbook stream does not start with the workbook globals."));

    int depth = 1;
    for (qint64 at = r.end(); depth > 0; at = r.end()) {
        if (at >= stream.size())
            return damaged(tr("The workbook globals end before their end record."));
        if (!recordAt(stream, at, &r))
            return damaged(tr("A record runs past the end of the workbook stream."));
        switch (r.type) {
        case kFilePass:
            fail(detail, tr("The workbook is encrypted."));
            return StreamStatus::Encrypted;
        case kBof:
            ++depth;
            break;
        case kEof:
            --depth;
            break;
        case kSst:
            if (book->sst < 0)
                book->sst = r.pos;
            break;
        case kExtSst:
            if (book->extSst < 0)
                book->extSst = r.pos;
            break;
        case kBoundSheet: {
            if (depth != 1)
                break;
            if (r.length < 8)
                return damaged(tr("A sheet record is too short."));
            SheetEntry sheet;
            sheet.boundSheet = r.pos;
            sheet.bof = u32(stream, r.data());
            sheet.kind = quint8(stream.at(r.data() + 5));
            sheet.state = quint8(stream.at(r.data() + 4)) & 0x03;
            const int count = quint8(stream.at(r.data() + 6));
            const bool wide = stream.at(r.data() + 7) & 1;
            if (r.length < 8 + count * (wide ? 2 : 1))
                return damaged(tr("A sheet name runs past its record."));
            const char* chars = stream.constData() + r.data() + 8;
            if (wide) {
                for (int i = 0; i < count; ++i)
                    sheet.name.append(QChar(qFromLittleEndian<quint16>(chars + 2 * i)));
            } else {
                sheet.name = QString::fromLatin1(chars, count);
            }
            book->sheets.append(sheet);
            break;
        }
        default:
            break;
        }
    }
    const qint64 globalsEnd = r.end();
    QSet<qint64> positions;
    for (SheetEntry& sheet : book->sheets) {
        // An Excel 5 module sheet may keep no substream of its own.
        if (sheet.kind == kModuleSheet &&
            !(recordAt(stream, sheet.bof, &r) && r.type == kBof && sheet.bof >= globalsEnd))
            continue;
        if (sheet.bof < globalsEnd || positions.contains(sheet.bof))
            return damaged(tr("The position of sheet %1 points to no sheet.").arg(sheet.name));
        positions.insert(sheet.bof);
        const StreamStatus status = readSheet(stream, &sheet, detail);
        if (status != StreamStatus::Ok)
            return status;
    }
    return StreamStatus::Ok;
}

bool validatePageSetup(const spreadsheet::PageSetupValues& values, QString* error)
{
    for (const auto* margin : {&values.left, &values.right, &values.top, &values.bottom,
                               &values.header, &values.footer}) {
        if (*margin && !(**margin >= 0 && **margin < kMaxMarginInches))
            return fail(error, tr("A page margin must be from 0 to less than 49 inches."));
    }
    if (values.orientation && *values.orientation != spreadsheet::OrientationPortrait &&
        *values.orientation != spreadsheet::OrientationLandscape)
        return fail(error, tr("The orientation must be portrait (1) or landscape (2)."));
    if (values.paperSize && (*values.paperSize < 1 || *values.paperSize > 0xFFFF))
        return fail(error, tr("The paper size code must be from 1 to 65535."));
    return true;
}

bool applyPageSetup(const QByteArray& stream, const WorkbookStructure& book,
                    const QMap<int, spreadsheet::PageSetupValues>& changes, QByteArray* out,
                    QString* error)
{
    struct Insert
    {
        qint64 pos;
        int order; // records added at one place go in the format's order
        QByteArray bytes;
    };
    QByteArray patched = stream;
    QVector<Insert> inserts;
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        const spreadsheet::PageSetupValues& values = it.value();
        if (!validatePageSetup(values, error))
            return false;
        if (it.key() < 0 || it.key() >= book.sheets.size() || !book.sheets.at(it.key()).worksheet)
            return fail(error, tr("Only a worksheet's page setup can be changed."));
        const SheetEntry& sheet = book.sheets.at(it.key());
        const QString name = sheet.name;
        auto placeBefore = [&](int page) {
            for (int next = page + 1; next < PageRecordCount; ++next) {
                if (sheet.page[next] >= 0)
                    return sheet.page[next];
            }
            return sheet.setupAnchor;
        };

        const std::optional<double> margins[4] = {values.left, values.right, values.top,
                                                  values.bottom};
        for (int page = LeftMargin; page <= BottomMargin; ++page) {
            if (!margins[page])
                continue;
            Record r;
            if (sheet.page[page] >= 0) {
                recordAt(stream, sheet.page[page], &r);
                if (r.length != 8)
                    return fail(error,
                                tr("A margin record of sheet %1 has the wrong size.").arg(name));
                putF64(patched, r.data(), *margins[page]);
                continue;
            }
            const qint64 at = placeBefore(page);
            if (at < 0)
                return fail(error, tr("Sheet %1 has no page settings block.").arg(name));
            QByteArray bytes = newRecord(kMarginTypes[page], 8);
            putF64(bytes, 4, *margins[page]);
            inserts.append({at, page, bytes});
        }

        if (!values.header && !values.footer && !values.orientation && !values.paperSize)
            continue;
        if (sheet.page[Setup] >= 0) {
            Record r;
            recordAt(stream, sheet.page[Setup], &r);
            if (r.length < kSetupSize)
                return fail(error, tr("The SETUP record of sheet %1 is too short.").arg(name));
            editSetup(patched, r.data(), values);
        } else {
            if (sheet.setupAnchor < 0)
                return fail(error, tr("Sheet %1 has no page settings block.").arg(name));
            QByteArray bytes = newSetup();
            editSetup(bytes, 4, values);
            inserts.append({sheet.setupAnchor, Setup, bytes});
        }
    }
    if (inserts.isEmpty()) {
        *out = patched;
        return true;
    }

    std::stable_sort(inserts.begin(), inserts.end(), [](const Insert& a, const Insert& b) {
        return a.pos != b.pos ? a.pos < b.pos : a.order < b.order;
    });
    // A record added at pos moves the record that was at pos and all after it.
    auto moved = [&](quint32 pos) {
        qint64 by = 0;
        for (const Insert& insert : std::as_const(inserts)) {
            if (insert.pos > qint64(pos))
                break;
            by += insert.bytes.size();
        }
        return quint32(pos + by);
    };
    auto move = [&](qint64 field) { put32(patched, field, moved(u32(stream, field))); };
    Record r;
    for (const SheetEntry& sheet : book.sheets) {
        move(sheet.boundSheet + 4);
        if (sheet.index >= 0 && recordAt(stream, sheet.index, &r) && r.length >= 16) {
            // ibXF (the DEFCOLWIDTH record), then one position per DBCELL.
            for (qint64 field = r.data() + 12; field + 4 <= r.end(); field += 4) {
                if (u32(stream, field) != 0)
                    move(field);
            }
        }
    }
    if (book.extSst >= 0 && recordAt(stream, book.extSst, &r)) {
        for (qint64 field = r.data() + 2; field + 8 <= r.end(); field += 8)
            move(field);
    }

    QByteArray result;
    qint64 total = patched.size();
    for (const Insert& insert : std::as_const(inserts))
        total += insert.bytes.size();
    result.reserve(int(total));
    qint64 from = 0;
    for (const Insert& insert : std::as_const(inserts)) {
        result.append(patched.constData() + from, int(insert.pos - from));
        result.append(insert.bytes);
        from = insert.pos;
    }
    result.append(patched.constData() + from, int(patched.size() - from));
    *out = result;
    return true;
}

spreadsheet::PageSetupValues currentPageSetup(const QByteArray& stream, const SheetEntry& sheet)
{
    spreadsheet::PageSetupValues values;
    // What Excel takes when a sheet has no margin record.
    const double defaults[4] = {0.75, 0.75, 1.0, 1.0};
    std::optional<double> spreadsheet::PageSetupValues::*const margins[4] = {
        &spreadsheet::PageSetupValues::left, &spreadsheet::PageSetupValues::right,
        &spreadsheet::PageSetupValues::top, &spreadsheet::PageSetupValues::bottom};
    for (int i = 0; i < 4; ++i) {
        Record r;
        const bool present = recordAt(stream, sheet.page[i], &r) && r.length >= 8;
        values.*margins[i] = present ? f64(stream, r.data()) : defaults[i];
    }
    values.header = 0.5;
    values.footer = 0.5;
    Record setup;
    if (recordAt(stream, sheet.page[Setup], &setup) && setup.length >= kSetupSize) {
        values.header = f64(stream, setup.data() + 16);
        values.footer = f64(stream, setup.data() + 24);
        const quint16 flags = u16(stream, setup.data() + 10);
        if (!(flags & kNoPlsFlag)) {
            values.paperSize = u16(stream, setup.data());
            if (!(flags & kNoOrientFlag))
                values.orientation = (flags & kPortraitFlag) ? spreadsheet::OrientationPortrait
                                                             : spreadsheet::OrientationLandscape;
        }
    }
    if (!values.orientation)
        values.orientation = spreadsheet::OrientationPortrait;
    return values;
}

std::optional<QString> SharedStrings::at(const QByteArray& stream, const WorkbookStructure& book,
                                         int index)
{
    if (!m_strings) {
        QStringList strings;
        Record r;
        if (book.sst >= 0 && recordAt(stream, book.sst, &r)) {
            ContinuedReader reader(stream, r);
            quint32 total, unique;
            if (reader.u32(&total) && reader.u32(&unique)) {
                for (quint32 i = 0; i < unique; ++i) {
                    QString text;
                    if (!reader.richExtendedString(&text))
                        break;
                    strings.append(text);
                }
            }
        }
        m_strings = strings;
    }
    if (index < 0 || index >= m_strings->size())
        return std::nullopt;
    return m_strings->at(index);
}

std::optional<QString> cellText(const QByteArray& stream, const WorkbookStructure& book, int sheet,
                                int row, int column, SharedStrings* strings)
{
    const SheetEntry& entry = book.sheets.at(sheet);
    if (row < entry.firstRow || row > entry.lastRow || column < entry.firstColumn ||
        column > entry.lastColumn)
        return QString();
    Record r;
    recordAt(stream, entry.bof, &r);
    int depth = 1;
    for (qint64 at = r.end(); depth > 0 && recordAt(stream, at, &r); at = r.end()) {
        if (r.type == kBof)
            ++depth;
        else if (r.type == kEof)
            --depth;
        if (depth != 1 || !isCellRecord(r.type) || r.length < 6 || u16(stream, r.data()) != row)
            continue;
        const qint64 d = r.data();
        const int first = u16(stream, d + 2);
        if (r.type == kMulRk || r.type == kMulBlank) {
            const int last = u16(stream, r.end() - 2);
            if (column < first || column > last)
                continue;
            if (r.type == kMulBlank)
                return QString();
            const qint64 rk = d + 4 + 6 * qint64(column - first) + 2;
            if (rk + 4 > r.end() - 2)
                return QString();
            return formatNumber(rkValue(u32(stream, rk)));
        }
        if (first != column)
            continue;
        switch (r.type) {
        case kLabelSst:
            if (r.length < 10)
                return std::nullopt;
            return strings->at(stream, book, int(u32(stream, d + 6)));
        case kNumber:
            return r.length >= 14 ? formatNumber(f64(stream, d + 6)) : QString();
        case kRk:
            return r.length >= 10 ? formatNumber(rkValue(u32(stream, d + 6))) : QString();
        case kBoolErr:
            if (r.length < 8)
                return QString();
            if (stream.at(d + 7))
                return errorText(quint8(stream.at(d + 6)));
            return stream.at(d + 6) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        case kLabel:
        case kRString: {
            ContinuedReader reader(stream, r);
            QString text;
            if (!reader.skip(6) || !reader.unicodeString(&text))
                return std::nullopt;
            return text;
        }
        case kFormula:
            return formulaText(stream, r);
        default:
            return QString();
        }
    }
    return QString();
}

} // namespace biff::detail
