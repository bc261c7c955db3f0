#include "automation/runcommon.h"

#include "app/platform/processes.h"
#include "app/platform/texteditor.h"
#include "automation/application.h"
#include "worklist/worklist.h"

#include <QByteArray>
#include <QDir>
#include <QSaveFile>
#include <QThread>

#include <ctime>
#include <optional>

namespace automation {
namespace runs {

QString excelOkText()
{
    return QStringLiteral("excel OK!");
}

QString workbooksOkText()
{
    return QStringLiteral("WorkBooks OK!");
}

QString noApplicationText()
{
    return QStringLiteral(
        "本功能需要电脑中装有微软office或金山wps专业版(注意是专业版,不是个人版)!");
}

QString stoppedText()
{
    return QStringLiteral("已停止");
}

QString applicationLostText()
{
    return QStringLiteral("电子表格程序已停止响应,运行已结束。");
}

QString invalidRangeText(const QString& nativePath)
{
    return QStringLiteral("此文件指定区域无效,请重新设置!") + nativePath;
}

QString workbookDelayText(int seconds)
{
    return QStringLiteral("工作簿文件延时:") + QString::number(seconds) + QStringLiteral("秒!");
}

QString sheetDelayText(int seconds)
{
    return QStringLiteral("Sheet表延时:") + QString::number(seconds) + QStringLiteral("秒!");
}

QString reportText(const QString& firstWords, int workbooks, int sheets, qint64 seconds)
{
    return firstWords + QString::number(workbooks) + QStringLiteral("个工作簿的") +
           QString::number(sheets) + QStringLiteral("个sheet。") + QStringLiteral("耗时") +
           QString::number(seconds) + QStringLiteral("秒。");
}

bool waitMilliseconds(const RunContext& ctx, int milliseconds)
{
    int remaining = milliseconds;
    while (remaining > 0) {
        if (ctx.options.quitRequested)
            return false;
        const int slice = qMin(remaining, 100);
        ctx.env.sleep(slice);
        remaining -= slice;
    }
    return !ctx.options.quitRequested;
}

RunEnvironment completeEnvironment(const RunEnvironment& env)
{
    RunEnvironment full = env;
    if (!full.createApplication)
        full.createApplication = &createSpreadsheetApplication;
    if (!full.progress)
        full.progress = [](const QString&) {};
    if (!full.finished)
        full.finished = []() {};
    if (!full.countProcesses)
        full.countProcesses = &countProcessesByName;
    if (!full.openFailedList)
        full.openFailedList = &openInTextEditor;
    if (!full.sleep)
        full.sleep = [](int milliseconds) {
            if (milliseconds > 0)
                QThread::msleep(static_cast<unsigned long>(milliseconds));
        };
    if (!full.now)
        full.now = []() { return static_cast<qint64>(std::time(nullptr)); };
    return full;
}

bool writeFailedList(const QString& path, const QStringList& nativePaths)
{
    if (path.isEmpty())
        return false;
    QByteArray bytes;
    for (const QString& nativePath : nativePaths) {
        bytes += nativePath.toLocal8Bit();
        bytes += '\n'; // text mode writes the platform's line end
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

namespace {

// One run of the skeleton: the application, its workbooks collection and the
// tallies, from the start of the application to the end signal.
class BatchRun
{
public:
    BatchRun(RunKind& kind, const RunOptions& options, std::atomic<bool>* stopFlag,
             const RunEnvironment& env)
        : m_kind(kind), m_options(options), m_stopFlag(stopFlag), m_env(env)
    {}

    RunResult run(const QStringList& entries, qint64 startTime);

private:
    struct Tally
    {
        int sheets = 0;          // changes counted in S
        bool failed = false;     // list the workbook as failed
        bool unreadable = false; // its sheets could not be gone through at all
        Step step = Step::Continue;
    };

    Tally visitWorkbook(const RunContext& ctx, Workbook& book);
    Tally visitSheet(const RunContext& ctx, Workbook& book, int index);

    bool recover();
    void closeApplication();
    void reportAndList(qint64 startTime);

    RunResult endStopped(std::unique_ptr<Workbook> book);
    RunResult endInvalidRange(const QString& path, std::unique_ptr<Workbook> book);
    RunResult endLost(qint64 startTime);
    RunResult endNormal(qint64 startTime);

    RunKind& m_kind;
    const RunOptions& m_options;
    std::atomic<bool>* m_stopFlag;
    const RunEnvironment& m_env;

    std::unique_ptr<Application> m_app;
    Workbooks* m_books = nullptr;
    QStringList m_names;
    RunResult m_result;
};

RunResult BatchRun::run(const QStringList& entries, qint64 startTime)
{
    m_app = m_env.createApplication();
    m_env.progress(excelOkText());
    m_app->start();
    m_books = m_app->workbooks();
    m_env.progress(workbooksOkText());
    if (!m_books) {
        m_env.progress(noApplicationText());
        closeApplication();
        m_env.finished();
        m_result.ending = RunEnding::NoApplication;
        return m_result;
    }

    m_names = m_options.appointedSheetNames.split(QStringLiteral("||"));
    const RunContext ctx{m_options, m_env, *m_app};

    for (const QString& entry : entries) {
        if (m_options.quitRequested)
            return endStopped(nullptr);

        const QString path = QDir::toNativeSeparators(entry);
        if (!worklist::isAcceptedWorkbookPath(path) || !m_kind.accepts(path))
            continue;

        ++m_result.workbooks;
        if (m_kind.beforeWorkbook(ctx, m_result.workbooks) == Step::Stop)
            return endStopped(nullptr);
        m_env.progress(path);

        std::unique_ptr<Workbook> book = m_books->open(path, m_kind.openMode());
        if (!book) {
            m_result.failed << path;
            if (m_app->lost() && !recover())
                return endLost(startTime);
            continue;
        }

        const Tally tally = visitWorkbook(ctx, *book);
        if (tally.step == Step::Stop)
            return endStopped(std::move(book));
        if (tally.step == Step::InvalidRange)
            return endInvalidRange(path, std::move(book));

        bool failed = tally.failed;
        bool lost = m_app->lost();
        if (!lost && !tally.unreadable) {
            if (!m_kind.finishWorkbook(ctx, *book))
                failed = true;
            lost = m_app->lost();
        }
        // A lost application cannot close anything; the handle is dropped and
        // the restart takes what is left of the process.
        if (!lost)
            book->close();
        book.reset();

        if (failed || lost) {
            m_result.failed << path;
            if (m_kind.uncountsFailedWorkbooks()) {
                --m_result.workbooks;
                m_result.sheets -= tally.sheets;
            }
        }
        if (lost && !recover())
            return endLost(startTime);
    }
    return endNormal(startTime);
}

BatchRun::Tally BatchRun::visitWorkbook(const RunContext& ctx, Workbook& book)
{
    Tally tally;
    int count = book.sheetCount();
    if (count < 0) {
        // No sheets collection: nothing of the workbook can be gone through.
        tally.failed = true;
        tally.unreadable = true;
        return tally;
    }
    if (m_options.onlyFirstSheet)
        count = 1;
    for (int index = 1; index <= count; ++index) {
        tally.step = m_kind.beforeSheet(ctx, index);
        if (tally.step != Step::Continue)
            return tally;
        const Tally sheet = visitSheet(ctx, book, index);
        tally.sheets += sheet.sheets;
        tally.failed = tally.failed || sheet.failed;
        tally.step = sheet.step;
        if (tally.step != Step::Continue || m_app->lost())
            return tally;
    }
    return tally;
}

BatchRun::Tally BatchRun::visitSheet(const RunContext& ctx, Workbook& book, int index)
{
    Tally tally;
    // A sheet index that yields no worksheet (a chart sheet) or a sheet whose
    // sub-objects cannot be had is passed over.
    std::unique_ptr<Worksheet> sheet = book.worksheet(index);
    if (!sheet)
        return tally;

    int row = 0;
    int column = 0;
    int rows = 0;
    int columns = 0;
    {
        std::unique_ptr<UsedRange> used = sheet->usedRange();
        if (!used)
            return tally;
        row = used->row();
        column = used->column();
        rows = used->rowCount();
        columns = used->columnCount();
    }
    std::unique_ptr<Cell> cell = sheet->cell(row, column);
    if (!cell)
        return tally;

    std::unique_ptr<PageSetup> setup;
    if (m_kind.pageSetupForEverySheet()) {
        setup = sheet->pageSetup();
        if (!setup)
            return tally;
        m_kind.prepareSheet(ctx, *setup);
    }

    const int matches = m_options.appointedSheetsOnly ? int(m_names.count(sheet->name())) : 1;
    std::optional<bool> empty;
    for (int match = 0; match < matches && !m_app->lost(); ++match) {
        if (m_options.skipEmptySheets) {
            if (!empty)
                empty = rows == 1 && columns == 1 && cell->valueText().isEmpty();
            if (*empty)
                continue;
        }
        const RunKind::Change change = m_kind.change(ctx, *sheet, setup.get());
        if (change.counted) {
            ++tally.sheets;
            ++m_result.sheets;
        }
        tally.failed = tally.failed || change.failed;
        if (change.step != Step::Continue) {
            tally.step = change.step;
            break;
        }
    }
    return tally;
}

bool BatchRun::recover()
{
    m_books = nullptr;
    if (!m_app->restart())
        return false;
    m_books = m_app->workbooks();
    return m_books != nullptr;
}

void BatchRun::closeApplication()
{
    m_books = nullptr;
    m_app->quit();
    m_app.reset();
}

void BatchRun::reportAndList(qint64 startTime)
{
    const qint64 seconds = m_env.now() - startTime;
    m_env.progress(
        reportText(m_kind.reportFirstWords(), m_result.workbooks, m_result.sheets, seconds));
    // A list that cannot be written leaves the run as it is; only a written
    // list is shown.
    if (!m_result.failed.isEmpty() && writeFailedList(m_options.failedListPath, m_result.failed))
        m_env.openFailedList(QDir::toNativeSeparators(m_options.failedListPath));
}

RunResult BatchRun::endStopped(std::unique_ptr<Workbook> book)
{
    if (book) {
        book->close();
        book.reset();
    }
    closeApplication();
    if (m_stopFlag)
        *m_stopFlag = false;
    m_env.progress(stoppedText());
    m_env.finished();
    m_result.ending = RunEnding::Stopped;
    return m_result;
}

RunResult BatchRun::endInvalidRange(const QString& path, std::unique_ptr<Workbook> book)
{
    m_env.progress(invalidRangeText(path));
    m_env.finished();
    book->close();
    book.reset();
    closeApplication();
    m_result.ending = RunEnding::InvalidRange;
    return m_result;
}

RunResult BatchRun::endLost(qint64 startTime)
{
    reportAndList(startTime);
    m_env.progress(applicationLostText());
    closeApplication();
    m_env.finished();
    m_result.ending = RunEnding::ApplicationLost;
    return m_result;
}

RunResult BatchRun::endNormal(qint64 startTime)
{
    reportAndList(startTime);
    closeApplication();
    m_env.finished();
    m_result.ending = RunEnding::Normal;
    return m_result;
}

} // namespace

RunResult runBatch(RunKind& kind, const QStringList& entries, qint64 startTime,
                   const RunOptions& options, std::atomic<bool>* stopFlag,
                   const RunEnvironment& env)
{
    BatchRun run(kind, options, stopFlag, env);
    return run.run(entries, startTime);
}

} // namespace runs

bool isFailureText(const QString& text)
{
    return text == runs::noApplicationText() || text == runs::applicationLostText() ||
           text.startsWith(runs::invalidRangeText(QString()));
}

} // namespace automation
