// The worker object: both runs in a worker thread, against the recording
// fake, reporting through the worker's event signal.
#include "runcontrol/runworker.h"
#include "runs/messages.h"
#include "support/fakespreadsheet.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace testsupport;

class TestRunWorker : public QObject
{
    Q_OBJECT

private slots:
    void runInWorkerThread_data();
    void runInWorkerThread();
};

void TestRunWorker::runInWorkerThread_data()
{
    QTest::addColumn<bool>("print");
    QTest::newRow("print") << true;
    QTest::newRow("changePageSetup") << false;
}

void TestRunWorker::runInWorkerThread()
{
    QFETCH(bool, print);

    QTemporaryDir dir;
    FakeSpreadsheet fake;
    const QString good = addWorkbookFile(fake, dir.path() + QStringLiteral("/a.xlsx"),
                                         FakeWorkbook::withSheets({QStringLiteral("S1")}));
    FakeWorkbook broken;
    broken.openFails = true;
    const QString bad = addWorkbookFile(fake, dir.path() + QStringLiteral("/b.xlsx"), broken);

    runs::PrintOptions printOptions;
    printOptions.workbookList = good + QLatin1Char('\n') + bad;
    printOptions.failedListPath = dir.path() + QLatin1Char('/') + runs::failedListFileName();
    runs::PageSetupOptions pageSetupOptions;
    pageSetupOptions.folder = dir.path();
    pageSetupOptions.failedListPath = printOptions.failedListPath;

    QThread* creator = nullptr;
    FakeEnvironment fakeEnvironment(fake);
    runs::RunEnvironment env = fakeEnvironment.environment();
    env.createApplication = [&]() {
        creator = QThread::currentThread();
        return fake.createApplication();
    };
    QStringList opened;
    env.showFailedList = [&](const QString& path) { opened << path; };
    runs::RunControl control;

    QThread thread;
    auto* worker = new RunWorker(env, control);
    worker->setPrintOptions(printOptions);
    worker->setPageSetupOptions(pageSetupOptions);
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    QStringList texts;
    int ends = 0;
    QObject receiver;
    connect(worker, &RunWorker::runEvent, &receiver, [&](const runs::RunEvent& event) {
        const QString text = runs::eventText(event);
        if (!text.isEmpty())
            texts << text;
        if (event.type == runs::RunEvent::Type::RunEnded)
            ++ends;
    });
    thread.start();
    QMetaObject::invokeMethod(worker, print ? "print" : "changePageSetup", Qt::QueuedConnection);
    QTRY_COMPARE_WITH_TIMEOUT(ends, 1, 20000);
    thread.quit();
    QVERIFY(thread.wait(20000));
    QCoreApplication::processEvents();

    QCOMPARE(ends, 1);
    QCOMPARE(creator, &thread);
    QCOMPARE(texts.size(), print ? 7 : 6);
    QCOMPARE(texts.mid(0, 3),
             (QStringList{QStringLiteral("excel OK!"), QStringLiteral("WorkBooks OK!"), good}));
    QCOMPARE(texts.mid(texts.size() - 3, 2),
             (QStringList{bad, bad + QStringLiteral("：无法打开")}));
    const QRegularExpression report(
        (print ? QStringLiteral("成功打印") : QStringLiteral("成功修改")) +
        QStringLiteral("2个工作簿的1个sheet。耗时\\d+秒。"));
    QVERIFY2(report.match(texts.last()).hasMatch(), qPrintable(texts.last()));
    QCOMPARE(opened, QStringList{QDir::toNativeSeparators(printOptions.failedListPath)});
    QCOMPARE(fake.misuse(), QStringList());
}

QTEST_GUILESS_MAIN(TestRunWorker)
#include "tst_runworker.moc"
