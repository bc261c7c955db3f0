// Prints a few hundred generated workbooks of varied content with one print
// run per setting, and reports the office's memory along the way and its
// peak, the time per workbook, and how often the office was replaced:
//   - with one office for the whole run (no replacing),
//   - with the default replacing limits,
//   - with a memory bound low enough for these workbooks to pass it, to
//     show the replacing at work and what it costs.
// The workbooks differ in what makes an office grow: many unique and long
// texts, many sheets, large sheets, and (through LibreOffice's HTML import,
// converted to .xls and .xlsx) many fonts, colours and number formats, and
// pictures.
//
//   memory_bench [WORKBOOKS [LOW-BOUND-MIB [printer]]]
// Prints into PDF files in a temporary folder, or to the default printer
// with "printer".  Defaults: 300 workbooks, a low bound of 300 MiB.
#include "benchsupport.h"
#include "workbookgen.h"

#include "engines/libreoffice/libreofficeapplication.h"
#include "runs/runs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <random>

using engines::lo::LibreOfficeApplication;
using engines::lo::RecycleLimits;

namespace {

const QStringList kWords{"invoice", "总计",        "Lieferung", "quarterly",    "残高", "réservé",
                         "tonnage", "Überweisung", "客户名称",  "depreciation", "税率", "cost"};

QString sentence(std::mt19937& random, int words)
{
    QStringList parts;
    for (int w = 0; w < words; ++w)
        parts << kWords.at(int(random() % kWords.size())) + QString::number(random() % 100000);
    return parts.join(QLatin1Char(' '));
}

workbookgen::Sheet textSheet(std::mt19937& random, const QString& name, int rows, int longWords)
{
    workbookgen::Sheet sheet{name, {}};
    for (int r = 0; r < rows; ++r) {
        sheet.rows << QStringList{QString::number(r + 1), sentence(random, 3),
                                  QString::number(double(random() % 1000000) / 100.0),
                                  r % 7 == 0 ? sentence(random, longWords) : QString()};
    }
    return sheet;
}

// An uncompressed 24-bit picture of noise, as a logo or a scanned stamp
// stands in for in real workbooks: the office keeps decoded pictures.
bool writeBitmap(const QString& path, std::mt19937& random, int width, int height)
{
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray pixels(stride * height, '\0');
    for (int i = 0; i < pixels.size(); ++i)
        pixels[i] = char(random() & 0xff);
    QByteArray header(54, '\0');
    const auto put = [&](int at, quint32 value, int bytes) {
        for (int b = 0; b < bytes; ++b)
            header[at + b] = char((value >> (8 * b)) & 0xff);
    };
    header[0] = 'B';
    header[1] = 'M';
    put(2, quint32(header.size() + pixels.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, quint32(width), 4);
    put(22, quint32(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, quint32(pixels.size()), 4);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header + pixels) > 0;
}

// A table in LibreOffice's HTML dialect: fonts, colours, bold and italic,
// number formats ("sdnum") that its Calc import takes over, and a picture
// when one is given.
QByteArray styledHtml(std::mt19937& random, int rows, const QString& picture = QString())
{
    static const QStringList fonts{"DejaVu Sans",     "DejaVu Serif",        "Liberation Sans",
                                   "Liberation Mono", "WenQuanYi Micro Hei", "Liberation Serif"};
    static const QStringList formats{"0.00",
                                     "#,##0",
                                     "0.0%",
                                     "YYYY-MM-DD",
                                     "0.000E+00",
                                     "#,##0.00 [$€-407]",
                                     "[$¥-804]#,##0.00",
                                     "HH:MM:SS",
                                     "0.0000",
                                     "# ?/?",
                                     "[RED]-0.00;0.00"};
    QByteArray html = "<html><head><meta charset=\"utf-8\"></head><body><table>";
    for (int r = 0; r < rows; ++r) {
        html += "<tr>";
        for (int c = 0; c < 6; ++c) {
            const QString colour =
                QStringLiteral("#%1").arg(random() % 0xffffff, 6, 16, QLatin1Char('0'));
            const QString format =
                formats.at(int(random() % formats.size())) +
                (random() % 3 == 0 ? QStringLiteral(" \"u%1\"").arg(random() % 500) : QString());
            const double value = double(random() % 10000000) / 1000.0;
            html += QStringLiteral("<td bgcolor=\"%1\" sdval=\"%2\" sdnum=\"1033;1033;%3\">"
                                   "<font face=\"%4\" size=\"%5\" color=\"#%6\">%7%8%9</font></td>")
                        .arg(colour)
                        .arg(value)
                        .arg(format.toHtmlEscaped())
                        .arg(fonts.at(int(random() % fonts.size())))
                        .arg(1 + random() % 7)
                        .arg(random() % 0xffffff, 6, 16, QLatin1Char('0'))
                        .arg(c == 0 ? QStringLiteral("<b>") : QString())
                        .arg(c == 5 ? sentence(random, 4).toHtmlEscaped() : QString::number(value))
                        .arg(c == 0 ? QStringLiteral("</b>") : QString())
                        .toUtf8();
        }
        html += "</tr>";
    }
    if (!picture.isEmpty())
        html +=
            "<tr><td><img src=\"" + picture.toUtf8() + "\" width=\"320\" height=\"240\"></td></tr>";
    return html + "</table></body></html>\n";
}

// Writes the workbooks; their order mixes the kinds.
QStringList makeWorkbooks(const QString& folder, int count)
{
    QStringList paths;
    QStringList htmlForXls, htmlForXlsx;
    QDir().mkpath(folder + QStringLiteral("/html"));
    for (int i = 0; i < count; ++i) {
        std::mt19937 random(static_cast<unsigned>(i * 7919 + 1));
        const QString base = folder + QStringLiteral("/wb%1").arg(i, 4, 10, QLatin1Char('0'));
        bool ok = true;
        switch (i % 6) {
        case 0: // a few sheets of unique texts, some of them long
        case 3: {
            QList<workbookgen::Sheet> sheets;
            for (int s = 0; s < 1 + int(random() % 4); ++s)
                sheets << textSheet(random, QStringLiteral("S%1").arg(s), 10 + int(random() % 140),
                                    10 + int(random() % 50));
            ok = workbookgen::writeXlsx(base + QStringLiteral(".xlsx"), sheets);
            paths << base + QStringLiteral(".xlsx");
            break;
        }
        case 1: // many small sheets
        {
            QList<workbookgen::Sheet> sheets;
            for (int s = 0; s < 8 + int(random() % 8); ++s)
                sheets << textSheet(random, QStringLiteral("Blatt %1").arg(s),
                                    5 + int(random() % 30), 20);
            ok = workbookgen::writeXlsx(base + QStringLiteral(".xlsx"), sheets);
            paths << base + QStringLiteral(".xlsx");
            break;
        }
        case 2: // CSV, now and then a large one
        {
            const int rows = i % 60 == 2 ? 3000 : 20 + int(random() % 300);
            ok = workbookgen::writeCsv(base + QStringLiteral(".csv"),
                                       textSheet(random, QString(), rows, 12).rows);
            paths << base + QStringLiteral(".csv");
            break;
        }
        case 4:
        case 5: {
            // The .xlsx ones get a picture (the .xls export leaves it out).
            const QString name = QStringLiteral("wb%1").arg(i, 4, 10, QLatin1Char('0'));
            QString picture;
            if (i % 6 == 5) {
                picture = name + QStringLiteral(".bmp");
                ok = writeBitmap(folder + QStringLiteral("/html/") + picture, random,
                                 400 + int(random() % 800), 300 + int(random() % 600));
            }
            QFile html(folder + QStringLiteral("/html/") + name + QStringLiteral(".html"));
            ok = ok && html.open(QIODevice::WriteOnly) &&
                 html.write(styledHtml(random, 20 + int(random() % 130), picture)) > 0;
            (i % 6 == 4 ? htmlForXls : htmlForXlsx) << html.fileName();
            paths << base + (i % 6 == 4 ? QStringLiteral(".xls") : QStringLiteral(".xlsx"));
            break;
        }
        }
        if (!ok)
            return {};
    }
    // Styled workbooks through LibreOffice's own conversion, in one command each.
    const auto convert = [&](const QStringList& html, const QString& to) {
        if (html.isEmpty())
            return true;
        QStringList args{QStringLiteral("--infilter=HTML (StarCalc)"),
                         QStringLiteral("--convert-to"), to, QStringLiteral("--outdir"), folder};
        return bench::timeSoffice(args + html, 1800) >= 0;
    };
    if (!convert(htmlForXls, QStringLiteral("xls:MS Excel 97")) ||
        !convert(htmlForXlsx, QStringLiteral("xlsx:Calc MS Excel 2007 XML")))
        return {};
    for (const QString& path : paths) {
        if (!QFile::exists(path))
            return {};
    }
    return paths;
}

struct Pass
{
    double seconds = 0;
    int workbooks = 0, sheets = 0, failed = 0, recycles = 0;
    qint64 peakKiB = 0;
    QList<qint64> trace; // the office's memory (KiB) every 50 workbooks
};

Pass printAll(const QStringList& paths, const QString& pdfFolder, const RecycleLimits& limits)
{
    runs::PrintOptions options;
    options.workbookList = paths.join(QLatin1Char('\n'));
    options.sheets.skipEmptySheets = true;
    options.paperSize = QStringLiteral("默认");
    if (!pdfFolder.isEmpty())
        options.target = {spreadsheet::PrintTarget::PdfDirectory, pdfFolder};

    Pass pass;
    LibreOfficeApplication* office = nullptr;
    runs::RunEnvironment env;
    env.createApplication = [&] {
        auto app = std::make_unique<LibreOfficeApplication>();
        app->setRecycleLimits(limits);
        office = app.get();
        return std::unique_ptr<spreadsheet::Application>(std::move(app));
    };
    env.sleep = &runs::sleepMilliseconds;
    env.now = &runs::wallClockSeconds;
    int started = 0;
    const auto events = [&](const runs::RunEvent& event) {
        if (event.type == runs::RunEvent::Type::WorkbookStarted && started++ % 50 == 0 &&
            office->session())
            pass.trace << office->session()->memory().currentKiB;
        if (event.type == runs::RunEvent::Type::Report) {
            pass.peakKiB = office->peakMemoryKiB();
            pass.recycles = office->recycleCount();
        }
    };
    runs::RunControl control;
    QElapsedTimer timer;
    timer.start();
    const runs::RunResult result = runs::runPrint(options, control, env, events);
    pass.seconds = timer.elapsed() / 1000.0;
    pass.workbooks = result.workbooks;
    pass.sheets = result.sheets;
    pass.failed = int(result.failed.size());
    return pass;
}

// Start of a fresh office and end of the old one, as a replacement does.
double recycleSeconds()
{
    LibreOfficeApplication app;
    app.start();
    QElapsedTimer timer;
    timer.start();
    const int rounds = 5;
    for (int i = 0; i < rounds; ++i)
        app.restart();
    return timer.elapsed() / 1000.0 / rounds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 300;
    const qint64 lowBoundMiB = argc > 2 ? QByteArray(argv[2]).toLongLong() : 300;
    const bool toPrinter = argc > 3 && QByteArray(argv[3]) == "printer";

    QTemporaryDir dir;
    QElapsedTimer made;
    made.start();
    const QStringList paths = makeWorkbooks(dir.path(), count);
    if (paths.isEmpty()) {
        std::fprintf(stderr, "cannot make the workbooks\n");
        return 1;
    }
    QTextStream out(stdout);
    out << "memory_bench: " << count << " workbooks of varied content (made in "
        << made.elapsed() / 1000.0 << " s), printed "
        << (toPrinter ? "to the default printer" : "into PDF files") << "\n";

    const RecycleLimits defaults;
    const struct
    {
        QString name;
        RecycleLimits limits;
    } settings[] = {
        {QStringLiteral("one office, never replaced"), {0, 0, 0}},
        {QStringLiteral("replaced at the default limits"), defaults},
        {QStringLiteral("replaced above %1 MiB").arg(lowBoundMiB), {lowBoundMiB * 1024, 0, 0}}};
    QList<Pass> passes;
    for (const auto& setting : settings) {
        QTemporaryDir pdfs;
        const Pass pass = printAll(paths, toPrinter ? QString() : pdfs.path(), setting.limits);
        passes << pass;
        out << "  " << setting.name << ":\n";
        out << "    " << pass.workbooks << " workbooks, " << pass.sheets << " sheets, "
            << pass.failed << " failed, " << pass.seconds << " s, "
            << pass.seconds / std::max(pass.workbooks, 1) << " s/workbook, " << pass.recycles
            << " replacements\n";
        out << "    office memory every 50 workbooks (MiB):";
        for (const qint64 kib : pass.trace)
            out << " " << kib / 1024;
        out << "\n    peak " << pass.peakKiB / 1024 << " MiB\n";
        out.flush();
    }
    out << "  default bound: " << defaults.memoryKiB / 1024 << " MiB or " << defaults.startMultiple
        << "x the size after start, or " << defaults.workbooks << " workbooks\n";
    out << "  one replacement (start a fresh office, end the old): " << recycleSeconds() << " s\n";
    bool same = true;
    for (const Pass& pass : passes) {
        same = same && pass.workbooks == passes[0].workbooks && pass.sheets == passes[0].sheets &&
               pass.failed == passes[0].failed;
    }
    out << "  same counts in every run: " << (same ? "yes" : "NO") << "\n";
    return same ? 0 : 1;
}
