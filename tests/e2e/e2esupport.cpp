#include "e2esupport.h"

#include "platform/processes.h"
#include "runcontrol/runworker.h"
#include "runcontrol/services.h"
#include "runs/messages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>

#include <unistd.h>
#include <zip.h>

namespace e2e {

QString pdfPrinterFolder()
{
    const QString folder = QString::fromLocal8Bit(qgetenv("QUORVANE_PDF_DIR"));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return QString();
    return folder;
}

QStringList pdfFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

PdfInfo pdfInfo(const QString& path)
{
    PdfInfo info;
    QProcess process;
    process.start(QStringLiteral("pdfinfo"),
                  {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                   QStringLiteral("100000"), path});
    if (!process.waitForFinished(30000))
        return info;
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                   QRegularExpression::MultilineOption);
    const QRegularExpression size(QStringLiteral("^Page\\s+\\d*\\s*size:\\s+([\\d.]+) x ([\\d.]+)"),
                                  QRegularExpression::MultilineOption);
    const auto p = pages.match(out);
    if (p.hasMatch())
        info.pages = p.captured(1).toInt();
    for (auto it = size.globalMatch(out); it.hasNext();) {
        const auto s = it.next();
        info.sizes << QSizeF(s.captured(1).toDouble(), s.captured(2).toDouble());
    }
    if (!info.sizes.isEmpty()) {
        info.width = info.sizes.first().width();
        info.height = info.sizes.first().height();
    }
    return info;
}

QStringList spooledJobs(const QString& folder, const QStringList& prefixes, int count,
                        const QStringList& before, int timeoutMs)
{
    static const QRegularExpression jobId(QStringLiteral("job_(\\d+)\\.pdf$"));
    const auto jobs = [&] {
        QStringList files;
        for (const QString& file : pdfFiles(folder)) {
            const bool ours = std::any_of(prefixes.begin(), prefixes.end(),
                                          [&](const QString& p) { return file.startsWith(p); });
            if (ours && !before.contains(file) && jobId.match(file).hasMatch())
                files << file;
        }
        std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
            return jobId.match(a).captured(1).toLongLong() <
                   jobId.match(b).captured(1).toLongLong();
        });
        return files;
    };
    QDeadlineTimer deadline(timeoutMs);
    while (jobs().size() < count && !deadline.hasExpired())
        QThread::msleep(200);
    QThread::msleep(3000); // a job too many would be there by now
    const QStringList files = jobs();
    // cups-pdf names the file before it is complete.
    for (const QString& file : files) {
        while (pdfInfo(QDir(folder).filePath(file)).pages == 0 && !deadline.hasExpired())
            QThread::msleep(200);
    }
    return files;
}

QMap<QString, QByteArray> zipEntries(const QString& path)
{
    QMap<QString, QByteArray> entries;
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive, zip_uint64_t(i), 0, &st) != 0)
            continue;
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        if (!file)
            continue;
        QByteArray data(int(st.size), Qt::Uninitialized);
        const zip_int64_t read = zip_fread(file, data.data(), st.size);
        zip_fclose(file);
        if (read == zip_int64_t(st.size))
            entries.insert(QString::fromUtf8(st.name), data);
    }
    zip_close(archive);
    return entries;
}

QString xmlAttribute(const QByteArray& xml, const QString& element, const QString& attr)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == element)
            return reader.attributes().value(attr).toString();
    }
    return QString();
}

int childProcessesNamed(const QByteArray& name)
{
    int count = 0;
    const QByteArray self = "PPid:\t" + QByteArray::number(qint64(getpid()));
    for (const long long pid : processIdsByName(name.constData())) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (status.open(QIODevice::ReadOnly) && status.readAll().split('\n').contains(self))
            ++count;
    }
    return count;
}

bool sofficeConvert(const QString& input, const QString& filter, const QString& outDir)
{
    QTemporaryDir profile;
    QProcess process;
    process.start(
        QStringLiteral("soffice"),
        {QStringLiteral("--headless"), QStringLiteral("--norestore"),
         QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
         QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir, input});
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

namespace {

QStringList runInWorkerThread(const std::function<void(RunWorker&)>& start, int timeoutMs)
{
    runcontrol::Services services = runcontrol::desktopServices();
    services.environment.showFailedList = nullptr;
    runs::RunControl control;
    QThread thread;
    RunWorker worker(services.environment, control);
    worker.moveToThread(&thread);
    QStringList texts;
    bool finished = false;
    QObject receiver; // lives in this thread, so the events arrive queued here
    QObject::connect(&worker, &RunWorker::runEvent, &receiver,
                     [&texts, &finished](const runs::RunEvent& event) {
                         const QString text = runs::eventText(event);
                         if (!text.isEmpty())
                             texts << text;
                         if (event.type == runs::RunEvent::Type::RunEnded)
                             finished = true;
                     });
    thread.start();
    start(worker);
    QDeadlineTimer deadline(timeoutMs);
    while (!finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    thread.quit();
    thread.wait();
    return finished ? texts : QStringList();
}

} // namespace

QStringList runWorker(const runs::PrintOptions& options, int timeoutMs)
{
    return runInWorkerThread(
        [&options](RunWorker& worker) {
            worker.setPrintOptions(options);
            QMetaObject::invokeMethod(&worker, "print", Qt::QueuedConnection);
        },
        timeoutMs);
}

QStringList runWorker(const runs::PageSetupOptions& options, int timeoutMs)
{
    return runInWorkerThread(
        [&options](RunWorker& worker) {
            worker.setPageSetupOptions(options);
            QMetaObject::invokeMethod(&worker, "changePageSetup", Qt::QueuedConnection);
        },
        timeoutMs);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

namespace {

quint16 u16(const QByteArray& data, int at)
{
    return quint16(uchar(data.at(at)) | (uchar(data.at(at + 1)) << 8));
}

double f64(const QByteArray& data, int at)
{
    double value = 0;
    if (at + 8 <= data.size())
        memcpy(&value, data.constData() + at, 8); // little-endian, as on x86
    return value;
}

} // namespace

QList<XlsPageSetup> xlsPageSetups(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("gsf"), {QStringLiteral("cat"), path, QStringLiteral("Workbook")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    const QByteArray stream = process.readAllStandardOutput();

    QStringList names; // from the BOUNDSHEET records of the globals, in order
    QList<XlsPageSetup> sheets;
    XlsPageSetup* current = nullptr;
    for (int at = 0; at + 4 <= stream.size();) {
        const quint16 type = u16(stream, at);
        const int length = u16(stream, at + 2);
        const QByteArray data = stream.mid(at + 4, length);
        at += 4 + length;
        if (data.size() != length)
            break;
        switch (type) {
        case 0x0085: { // BOUNDSHEET: name at 6 (length, flags, characters)
            const int count = uchar(data.at(6));
            const bool wide = data.at(7) & 1;
            names << (wide ? QString::fromUtf16(
                                 reinterpret_cast<const char16_t*>(data.constData() + 8), count)
                           : QString::fromLatin1(data.mid(8, count)));
            break;
        }
        case 0x0809: // BOF: a worksheet substream begins
            if (u16(data, 2) == 0x0010) {
                sheets.append(XlsPageSetup{});
                current = &sheets.last();
                current->sheetName = names.value(sheets.size() - 1);
            } else {
                current = nullptr;
            }
            break;
        case 0x000A: // EOF
            current = nullptr;
            break;
        case 0x0026:
        case 0x0027:
        case 0x0028:
        case 0x0029:
            if (current) {
                const double v = f64(data, 0);
                (type == 0x0026   ? current->left
                 : type == 0x0027 ? current->right
                 : type == 0x0028 ? current->top
                                  : current->bottom) = v;
            }
            break;
        case 0x00A1: // SETUP: paper, flags (bit 1: portrait), header/footer
            if (current && length >= 34) {
                current->paperSize = u16(data, 0);
                current->landscape = !(u16(data, 10) & 0x0002);
                current->header = f64(data, 16);
                current->footer = f64(data, 24);
            }
            break;
        default:
            break;
        }
    }
    return sheets;
}

} // namespace e2e
