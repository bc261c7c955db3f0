#include "cli/clirun.h"

#include "app/platform/processes.h"
#include "automation/runs.h"
#include "cli/cliargs.h"
#include "cli/interrupt.h"
#include "runcontrol/runoptions.h"
#include "worklist/worklist.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

#include <algorithm>

namespace cli {

namespace {

bool isValidUtf8(const QByteArray& bytes, QString* text)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder.decode(bytes);
    return !decoder.hasError();
#else
    QTextCodec* codec = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    *text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
#endif
}

// Sleeps in short slices so that Ctrl-C during a long delay is seen at once.
void sleepUnlessInterrupted(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!interruptRequested()) {
        const qint64 left = milliseconds - timer.elapsed();
        if (left <= 0)
            break;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 50)));
    }
}

// One path per line, each made absolute against the current folder, so that
// the run, the messages and a failure list fed back later all name the same
// file whatever folder the next run starts in.
QString workbookListFromFile(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line = line.trimmed();
        if (!line.isEmpty() && QDir::isRelativePath(line))
            line = QDir::current().absoluteFilePath(line);
    }
    return lines.join(QLatin1Char('\n')).trimmed();
}

QString workbookCountText(int count)
{
    return count == 1 ? QStringLiteral("1 workbook")
                      : QString::number(count) + QStringLiteral(" workbooks");
}

} // namespace

QString decodeListFile(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QString text;
    if (!isValidUtf8(data, &text))
        text = QString::fromLocal8Bit(data);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

int runCli(const QStringList& arguments, const AppFactory& createApplication, QTextStream& out,
           QTextStream& err, const PrinterLister& listPrinters)
{
    auto refuse = [&err](const QString& message) {
        err << QStringLiteral("quorvane-cli: ") << message << '\n';
        err.flush();
        return int(ExitUsage);
    };

    CliArguments args;
    QString error;
    if (!parseArguments(arguments, &args, &error))
        return refuse(error);
    if (args.help) {
        out << usageText();
        out.flush();
        return ExitDone;
    }

    // Everything that can be refused is refused before anything changes on
    // disk or any spreadsheet process starts.
    const QFileInfo folderInfo(args.folder);
    if (!folderInfo.isDir())
        return refuse(QStringLiteral("FOLDER: \"") + args.folder +
                      QStringLiteral("\" is not an existing folder"));
    const QString folder = QDir::cleanPath(folderInfo.absoluteFilePath());

    QString listText;
    if (!args.listFile.isEmpty()) {
        QFile file(args.listFile);
        if (!QFileInfo(args.listFile).isFile() || !file.open(QIODevice::ReadOnly))
            return refuse(QStringLiteral("--list: cannot read \"") + args.listFile +
                          QStringLiteral("\""));
        listText = workbookListFromFile(decodeListFile(file.readAll()));
    }

    automation::PrintTarget target = args.printTarget;
    if (target.kind == automation::PrintTarget::NamedPrinter) {
        const PrinterQuery printers = listPrinters ? listPrinters() : PrinterQuery();
        if (!printers.ok)
            return refuse(QStringLiteral("--printer: cannot list the system's printers: ") +
                          printers.error);
        const auto known =
            std::find_if(printers.names.cbegin(), printers.names.cend(), [&](const QString& name) {
                // CUPS names ignore letter case.
                return name.compare(target.name, Qt::CaseInsensitive) == 0;
            });
        if (known == printers.names.cend()) {
            const QString list = printers.names.isEmpty()
                                     ? QStringLiteral("none is set up")
                                     : printers.names.join(QStringLiteral(", "));
            return refuse(QStringLiteral("--printer: unknown printer \"") + target.name +
                          QStringLiteral("\"; known printers: ") + list);
        }
        target.name = *known;
    } else if (target.kind == automation::PrintTarget::PdfDirectory) {
        const QString pdfDir = QDir::cleanPath(QFileInfo(target.name).absoluteFilePath());
        if (!QDir().mkpath(pdfDir) || !QFileInfo(pdfDir).isDir())
            return refuse(QStringLiteral("--pdf: cannot create the folder \"") + target.name +
                          QStringLiteral("\""));
        target.name = pdfDir;
    }

    const bool printing = args.command == Command::Print;
    RunOptions& options = cliRunOptions();
    applyOptions(args, options);
    options.sourceFolder = folder;
    options.failedListPath = folder + QLatin1Char('/') + failedListFileName();
    if (printing)
        options.workbookList =
            args.listFile.isEmpty() ? worklist::workbookListText(folder).trimmed() : listText;

    // The failure list always belongs to the latest run (a --list that names
    // it has been read already).
    if (QFileInfo::exists(options.failedListPath))
        QFile::remove(options.failedListPath);

    options.pauseRequested = false;
    options.stopRequested = false;
    options.quitRequested = false;
    // A signal that came before the flags were lowered is not lost: it is seen
    // here, and one that comes later finds the flags of the run.
    if (interruptRequested())
        return ExitInterrupted;

    const QString reportStart = printing ? QStringLiteral("成功打印") : QStringLiteral("成功修改");
    const bool quiet = args.quiet;
    automation::RunEnvironment env;
    env.createApplication = [&createApplication, target, printing]() {
        std::unique_ptr<automation::Application> application = createApplication();
        if (application && printing)
            application->setPrintTarget(target);
        return application;
    };
    env.progress = [&](const QString& text) {
        if (text.startsWith(reportStart)) {
            out << text << '\n';
            out.flush();
            return;
        }
        // Failures are shown even with --quiet.
        if (quiet && !automation::isFailureText(text))
            return;
        err << text << '\n';
        err.flush();
    };
    env.finished = [] {};
    env.countProcesses = [](const char* name) { return countProcessesByName(name); };
    // The list stays a file: a script or a user reads it; no editor is opened.
    env.openFailedList = [](const QString&) {};
    env.sleep = sleepUnlessInterrupted;
    env.now = [] { return QDateTime::currentMSecsSinceEpoch() / 1000; };

    const automation::RunResult result = printing ? automation::runPrint(options, env)
                                                  : automation::runPageSetup(folder, options, env);

    if (result.ending == automation::RunEnding::Normal && !result.failed.isEmpty()) {
        err << QStringLiteral("quorvane-cli: ") << workbookCountText(result.failed.size())
            << QStringLiteral(" could not be opened; listed in ")
            << QDir::toNativeSeparators(options.failedListPath) << '\n';
        err.flush();
    }

    if (interruptRequested() || result.ending == automation::RunEnding::Stopped)
        return ExitInterrupted;
    switch (result.ending) {
    case automation::RunEnding::NoApplication:
    case automation::RunEnding::ApplicationLost: // died, and no fresh one would start
        return ExitNoApplication;
    case automation::RunEnding::InvalidRange:
        return ExitFailures;
    default:
        break;
    }
    return result.failed.isEmpty() ? ExitDone : ExitFailures;
}

} // namespace cli
