// The worker object: both runs in a worker thread, against the recording
// fake, reporting through the worker's two signals.
#include "automation/runs.h"
#include "runcontrol/mergeobject.h"
#include "runcontrol/runoptions.h"
#include "support/fakespreadsheet.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace testsupport;

class TestMergeObject : public QObject
{
    Q_OBJECT

private slots:
    void runInWorkerThread_data();
    void runInWorkerThread();
    void cleanup();
};

void TestMergeObject::cleanup()
{
    MergeObject::setApplicationFactory(nullptr);
    MergeObject::setFailedListOpener(nullptr);
}

void TestMergeObject::runInWorkerThread_data()
{
    QTest::addColumn<bool>("print");
    QTest::newRow("ExcelFileMerge") << true;
    QTest::newRow("ChangeMargin") << false;
}

void TestMergeObject::runInWorkerThread()
{
    QFETCH(bool, print);

    QTemporaryDir dir;
    FakeSpreadsheet fake;
    const QString good = addWorkbookFile(fake, dir.path() + QStringLiteral("/a.xlsx"),
                                         FakeWorkbook::withSheets({QStringLiteral("S1")}));
    FakeWorkbook broken;
    broken.openFails = true;
    const QString bad = addWorkbookFile(fake, dir.path() + QStringLiteral("/b.xlsx"), broken);

    RunOptions& options = runOptions();
    options.workbookList = good + QLatin1Char('\n') + bad;
    options.failedListPath = dir.path() + QLatin1Char('/') + failedListFileName();
    options.pauseRequested = false;
    options.stopRequested = false;
    options.quitRequested = false;

    QThread* creator = nullptr;
    MergeObject::setApplicationFactory([&]() {
        creator = QThread::currentThread();
        return fake.createApplication();
    });
    QStringList opened;
    MergeObject::setFailedListOpener([&](const QString& path) { opened << path; });

    QThread thread;
    auto* worker = new MergeObject(dir.path());
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    QStringList texts;
    int ends = 0;
    QObject receiver;
    connect(worker, &MergeObject::ShowDisposingFile, &receiver,
            [&](const QString& text) { texts << text; });
    connect(worker, &MergeObject::Set_pBtn_FileMerge_Enable, &receiver, [&]() { ++ends; });
    thread.start();
    QMetaObject::invokeMethod(worker, print ? "ExcelFileMerge" : "ChangeMargin",
                              Qt::QueuedConnection);
    QTRY_COMPARE_WITH_TIMEOUT(ends, 1, 20000);
    thread.quit();
    QVERIFY(thread.wait(20000));
    QCoreApplication::processEvents();

    QCOMPARE(ends, 1);
    QCOMPARE(creator, &thread);
    QCOMPARE(texts.size(), print ? 6 : 5);
    QCOMPARE(texts.mid(0, 3),
             (QStringList{QStringLiteral("excel OK!"), QStringLiteral("WorkBooks OK!"), good}));
    QCOMPARE(texts.at(texts.size() - 2), bad);
    const QRegularExpression report(
        (print ? QStringLiteral("成功打印") : QStringLiteral("成功修改")) +
        QStringLiteral("2个工作簿的1个sheet。耗时\\d+秒。"));
    QVERIFY2(report.match(texts.last()).hasMatch(), qPrintable(texts.last()));
    QCOMPARE(opened, QStringList{QDir::toNativeSeparators(options.failedListPath)});
    QCOMPARE(fake.misuse(), QStringList());
}

QTEST_GUILESS_MAIN(TestMergeObject)
#include "tst_mergeobject.moc"
