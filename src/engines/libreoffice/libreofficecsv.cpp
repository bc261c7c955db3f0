// Opening a CSV file the way the people who made it saw it: in its own
// character set, numbers as numbers, everything else as the text it is.
#include "engines/libreoffice/libreofficedocument.h"
#include "engines/libreoffice/workbookstate.h"

#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <rtl/tencinfo.h>
#include <rtl/textcvt.h>
#include <rtl/textenc.h>

#include <QLocale>
#include <QSet>
#include <QStringList>

#include <uchardet/uchardet.h>

#include <memory>

using namespace ::com::sun::star;
using ::com::sun::star::uno::Any;
using ::com::sun::star::uno::Reference;
using ::com::sun::star::uno::UNO_QUERY;
using ::com::sun::star::uno::UNO_QUERY_THROW;
using ::rtl::OUString;

namespace engines::lo {

using namespace detail;

namespace {

// Column formats of the office's CSV filter.
constexpr int kColumnStandardUs = 10; // numbers read with '.' as decimal point
constexpr int kColumnText = 2;

// The legacy code page a Windows machine with the system's language uses
// for text files, which is what a CSV file made there is written in.
rtl_TextEncoding localeEncoding()
{
    const QString name = QLocale::system().name();
    if (name == QLatin1String("zh_TW") || name == QLatin1String("zh_HK") ||
        name == QLatin1String("zh_MO"))
        return RTL_TEXTENCODING_BIG5;
    if (name.startsWith(QLatin1String("zh")))
        return RTL_TEXTENCODING_GB_18030;
    if (name.startsWith(QLatin1String("ja")))
        return RTL_TEXTENCODING_MS_932;
    if (name.startsWith(QLatin1String("ko")))
        return RTL_TEXTENCODING_MS_949;
    for (const char* prefix : {"ru", "uk", "bg", "be", "sr", "mk"}) {
        if (name.startsWith(QLatin1String(prefix)))
            return RTL_TEXTENCODING_MS_1251;
    }
    for (const char* prefix : {"pl", "cs", "hu", "sk", "sl", "hr", "ro"}) {
        if (name.startsWith(QLatin1String(prefix)))
            return RTL_TEXTENCODING_MS_1250;
    }
    if (name.startsWith(QLatin1String("el")))
        return RTL_TEXTENCODING_MS_1253;
    if (name.startsWith(QLatin1String("tr")))
        return RTL_TEXTENCODING_MS_1254;
    return RTL_TEXTENCODING_MS_1252;
}

rtl_TextEncoding encodingOfCharset(const QByteArray& charset)
{
    const QByteArray name = charset.toUpper();
    if (name.isEmpty() || name == "ASCII")
        return RTL_TEXTENCODING_DONTKNOW;
    // Windows writes its Western code page where a detector sees Latin-1, and
    // GB18030 is the superset of GB2312 and GBK.
    if (name == "ISO-8859-1")
        return RTL_TEXTENCODING_MS_1252;
    if (name == "GB18030" || name == "GB2312" || name == "GBK")
        return RTL_TEXTENCODING_GB_18030;
    // The Windows code pages that extend the East Asian standard sets.
    if (name == "UHC" || name == "EUC-KR")
        return RTL_TEXTENCODING_MS_949;
    if (name == "SHIFT_JIS")
        return RTL_TEXTENCODING_MS_932;
    if (name == "BIG5")
        return RTL_TEXTENCODING_MS_950;
    if (name == "EUC-TW")
        return RTL_TEXTENCODING_EUC_TW;
    return rtl_getTextEncodingFromMimeCharset(name.constData());
}

bool isMultiByte(rtl_TextEncoding encoding)
{
    rtl_TextEncodingInfo info;
    info.StructSize = sizeof(info);
    return rtl_getTextEncodingInfo(encoding, &info) && info.MaximumCharSize > 1;
}

// The bytes as text in that encoding; false when some byte sequence is not
// valid in it or maps to nothing.
bool decode(const QByteArray& bytes, rtl_TextEncoding encoding, QString* text)
{
    rtl_TextToUnicodeConverter converter = rtl_createTextToUnicodeConverter(encoding);
    if (!converter)
        return false;
    std::u16string out(size_t(bytes.size()) + 1, u'\0');
    sal_uInt32 info = 0;
    sal_Size consumed = 0;
    const sal_Size written = rtl_convertTextToUnicode(
        converter, nullptr, bytes.constData(), sal_Size(bytes.size()),
        reinterpret_cast<sal_Unicode*>(out.data()), sal_Size(out.size()),
        RTL_TEXTTOUNICODE_FLAGS_UNDEFINED_ERROR | RTL_TEXTTOUNICODE_FLAGS_MBUNDEFINED_ERROR |
            RTL_TEXTTOUNICODE_FLAGS_INVALID_ERROR | RTL_TEXTTOUNICODE_FLAGS_FLUSH,
        &info, &consumed);
    rtl_destroyTextToUnicodeConverter(converter);
    if ((info & RTL_TEXTTOUNICODE_INFO_ERROR) || consumed != sal_Size(bytes.size()))
        return false;
    if (text)
        *text = QString::fromUtf16(out.data(), qsizetype(written));
    return true;
}

// Whether text read in a multi-byte set looks like what was written: Western
// letters read that way turn into ideographs wedged inside Latin words
// ("M\u4e2dler").
bool plausibleReading(const QString& text)
{
    auto latin = [](QChar c) { return c.unicode() < 128 && c.isLetter(); };
    for (int i = 1; i + 1 < text.size(); ++i) {
        if (text.at(i).unicode() >= 128 && latin(text.at(i - 1)) && latin(text.at(i + 1)))
            return false;
    }
    return true;
}

QByteArray uchardetGuess(const QByteArray& bytes)
{
    const std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(),
                                                                         &uchardet_delete);
    if (!detector)
        return QByteArray();
    // A megabyte is plenty to tell; the whole of a large export is not needed.
    const QByteArray sample = bytes.left(1 << 20);
    if (uchardet_handle_data(detector.get(), sample.constData(), size_t(sample.size())) != 0)
        return QByteArray();
    uchardet_data_end(detector.get());
    return QByteArray(uchardet_get_charset(detector.get()));
}

// A value as a spreadsheet would show it once read as a number: a plain
// decimal without leading zeros, sign other than '-', grouping, exponent or
// more than 15 significant digits, and not a negative zero.  *decimals gets
// the digits after the point, *trailingZero whether the last of them is 0
// (which the number would drop).
bool plainNumber(const QString& v, int* decimals, bool* trailingZero)
{
    int i = 0;
    const int n = int(v.size());
    const bool negative = n > 0 && v.at(0) == QLatin1Char('-');
    if (negative)
        ++i;
    const int intBegin = i;
    while (i < n && v.at(i).isDigit() && v.at(i).unicode() < 128)
        ++i;
    const int intDigits = i - intBegin;
    if (intDigits == 0 || (intDigits > 1 && v.at(intBegin) == QLatin1Char('0')))
        return false;
    int fraction = 0;
    bool nonZero = false;
    for (int k = intBegin; k < i; ++k)
        nonZero = nonZero || v.at(k) != QLatin1Char('0');
    int leadingFractionZeros = 0;
    if (i < n && v.at(i) == QLatin1Char('.')) {
        ++i;
        const int fracBegin = i;
        while (i < n && v.at(i).isDigit() && v.at(i).unicode() < 128) {
            if (v.at(i) != QLatin1Char('0'))
                nonZero = true;
            else if (!nonZero)
                ++leadingFractionZeros;
            ++i;
        }
        fraction = i - fracBegin;
        if (fraction == 0)
            return false;
    }
    if (i != n || (negative && !nonZero))
        return false;
    const bool zeroInteger = intDigits == 1 && v.at(intBegin) == QLatin1Char('0');
    const int significant =
        (zeroInteger ? 0 : intDigits) + fraction - (zeroInteger ? leadingFractionZeros : 0);
    // Very small fractions show in scientific notation.
    if (significant > 15 || (zeroInteger && nonZero && leadingFractionZeros > 3))
        return false;
    *decimals = fraction;
    *trailingZero = fraction > 0 && v.at(n - 1) == QLatin1Char('0');
    return true;
}

// A first-row caption the office keeps as text in a number column: words,
// not a number, a truth value or anything formula-like.
bool isCaption(const QString& v)
{
    if (v.isEmpty())
        return true;
    const QChar first = v.at(0);
    if (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') ||
        first == QLatin1Char('@'))
        return false;
    if (v.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 ||
        v.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
        return false;
    for (const QChar c : v) {
        if (c.isLetter())
            return true;
    }
    return false;
}

// What the values of one column say about it.
struct ColumnStats
{
    bool numeric = true;
    bool seen = false;   // a number was found
    bool padded = false; // one was written with a trailing zero after the point
    QSet<int> decimals;

    void add(int row, const QString& value)
    {
        if (!numeric || value.isEmpty())
            return;
        int count = 0;
        bool trailingZero = false;
        if (plainNumber(value, &count, &trailingZero)) {
            seen = true;
            padded = padded || trailingZero;
            decimals.insert(count);
        } else if (row != 0 || !isCaption(value)) {
            numeric = false;
        }
    }
};

// Goes through the fields of the text, one record after the other, without
// keeping them: ',' separates, '"' quotes ('""' inside quotes is one '"'), a
// line break inside quotes belongs to the field.
template <class F>
void forEachField(const QString& text, F&& field)
{
    QString value;
    int row = 0, column = 0;
    bool quoted = false, any = false;
    const int n = int(text.size());
    auto end = [&] {
        field(row, column, value);
        value.clear();
        ++column;
    };
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != QLatin1Char('"'))
                value.append(c);
            else if (i + 1 < n && text.at(i + 1) == QLatin1Char('"'))
                value.append(text.at(++i));
            else
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = any = true;
        } else if (c == QLatin1Char(',')) {
            end();
            any = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            if (any || !value.isEmpty()) {
                end();
                ++row;
            }
            column = 0;
            value.clear();
            any = false;
        } else {
            value.append(c);
            any = true;
        }
    }
    if (any || !value.isEmpty())
        end();
}

} // namespace

bool isValidUtf8(const QByteArray& bytes)
{
    return decode(bytes, RTL_TEXTENCODING_UTF8, nullptr);
}

int csvEncoding(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return RTL_TEXTENCODING_UTF8;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return RTL_TEXTENCODING_UNICODE; // the office reads the byte order from the mark
    if (isValidUtf8(bytes))
        return RTL_TEXTENCODING_UTF8; // plain ASCII too
    int nonAscii = 0;
    for (const char c : bytes)
        nonAscii += uchar(c) >= 0x80;
    const rtl_TextEncoding guess = encodingOfCharset(uchardetGuess(bytes));
    const bool decodes = guess != RTL_TEXTENCODING_DONTKNOW && decode(bytes, guess, nullptr);
    // The detector's character statistics decide for a multi-byte set; a
    // single-byte guess on a handful of letters is a coin toss.
    if (decodes && (isMultiByte(guess) || nonAscii >= 8))
        return guess;
    for (const rtl_TextEncoding fallback : {localeEncoding(), RTL_TEXTENCODING_GB_18030}) {
        QString text;
        if (decode(bytes, fallback, &text) && (!isMultiByte(fallback) || plausibleReading(text)))
            return fallback;
    }
    return decodes ? guess : RTL_TEXTENCODING_MS_1252;
}

CsvLayout csvLayout(const QByteArray& content)
{
    CsvLayout layout;
    layout.encoding = csvEncoding(content);
    QString text;
    if (layout.encoding == RTL_TEXTENCODING_UNICODE) {
        const bool bigEndian = content.startsWith("\xFE\xFF");
        const QByteArray body = content.mid(2);
        std::u16string units(size_t(body.size() / 2), u'\0');
        for (size_t k = 0; k < units.size(); ++k) {
            const uchar a = uchar(body.at(int(2 * k))), b = uchar(body.at(int(2 * k + 1)));
            units[k] = char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
        }
        text = QString::fromUtf16(units.data(), qsizetype(units.size()));
    } else if (!decode(content, rtl_TextEncoding(layout.encoding), &text)) {
        text = QString::fromLatin1(content);
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    QVector<ColumnStats> stats;
    forEachField(text, [&stats](int row, int column, const QString& value) {
        if (column >= 16384)
            return;
        if (column >= stats.size())
            stats.resize(column + 1);
        stats[column].add(row, value);
    });
    if (stats.isEmpty())
        stats.resize(1);
    QStringList formats;
    layout.decimals.fill(-1, stats.size());
    for (int c = 0; c < stats.size(); ++c) {
        const ColumnStats& column = stats[c];
        // Numbers whose written decimals a number would drop ("1.50") keep
        // them through a fixed number format, when every value has as many.
        const bool numeric =
            column.numeric && column.seen && (!column.padded || column.decimals.size() == 1);
        if (numeric) {
            formats << QStringLiteral("%1/%2").arg(c + 1).arg(kColumnStandardUs);
            layout.decimals[c] = column.padded ? *column.decimals.begin() : 0;
        } else {
            formats << QStringLiteral("%1/%2").arg(c + 1).arg(kColumnText);
        }
    }
    // separator ',', text delimiter '"', encoding, first line 1, column
    // formats, language of the system, quoted fields typed like the others,
    // no special numbers (dates, scientific notation), spaces kept, formulas
    // never evaluated.
    layout.filterOptions = QStringLiteral("44,34,%1,1,%2,0,false,false,false,false,false,-1,false")
                               .arg(layout.encoding)
                               .arg(formats.join(QLatin1Char('/')));
    return layout;
}

namespace detail {

void showCsvAsWritten(const Reference<lang::XComponent>& document, const CsvLayout& layout)
{
    const Reference<sheet::XSpreadsheetDocument> doc(document, UNO_QUERY_THROW);
    const Reference<container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
    const Reference<table::XColumnRowRange> sheet(sheets->getByIndex(0), UNO_QUERY_THROW);
    const Reference<container::XIndexAccess> columns(sheet->getColumns(), UNO_QUERY_THROW);
    const Reference<util::XNumberFormatsSupplier> supplier(document, UNO_QUERY_THROW);
    const Reference<util::XNumberFormats> formats = supplier->getNumberFormats();
    const lang::Locale us(ou("en"), ou("US"), OUString());
    for (int c = 0; c < layout.decimals.size() && c < columns->getCount(); ++c) {
        const int decimals = layout.decimals[c];
        if (decimals <= 0)
            continue;
        const OUString code = toOU(QStringLiteral("0.") + QString(decimals, QLatin1Char('0')));
        sal_Int32 key = formats->queryKey(code, us, false);
        if (key < 0)
            key = formats->addNew(code, us);
        const Reference<beans::XPropertySet> column(columns->getByIndex(c), UNO_QUERY_THROW);
        put(column, "NumberFormat", Any(key));
    }
    // Every value whole: no number shown as "###" or rounded to fit, no text
    // cut off by its neighbour.
    for (int c = 0; c < layout.decimals.size() && c < columns->getCount(); ++c) {
        const Reference<beans::XPropertySet> column(columns->getByIndex(c), UNO_QUERY_THROW);
        put(column, "OptimalWidth", Any(true));
    }
}

} // namespace detail

} // namespace engines::lo
