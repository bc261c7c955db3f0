// Quitting the program while a page-setup run drives the real spreadsheet
// application: the run ends after the workbook in hand, the application's
// processes are gone, and no workbook is left half written.
#include "app/mainwindow.h"
#include "e2esupport.h"
#include "runcontrol/runworker.h"
#include "runs/messages.h"
#include "workbookgen.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QMutex>
#include <QMutexLocker>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

class QuitOfficeTest : public QObject
{
    Q_OBJECT

private slots:
    void quitDuringPageSetupRun();
};

void QuitOfficeTest::quitDuringPageSetupRun()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList names{"a.xlsx", "b.xlsx", "c.xlsx", "d.xlsx", "e.xlsx"};
    QMap<QString, QByteArray> before;
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        QVERIFY(workbookgen::writeXlsx(path, {workbookgen::filledSheet("Sheet1", 40),
                                              workbookgen::filledSheet("Sheet2", 40)}));
        before.insert(name, e2e::fileBytes(path));
    }

    // The program quits as the run reaches the second workbook.
    QSemaphore secondReached;
    QMutex mutex;
    QStringList messages;
    MainWindow window;
    // The run's events, seen in the worker's thread as they happen.  The
    // worker exists once the start signal goes out; the run has not reached
    // a workbook yet (the office takes a second to start).
    QObject::connect(&window, &MainWindow::pBtn_ChangeMargin_HasClicked, &window, [&] {
        QObject::connect(
            window.currentWorker(), &RunWorker::runEvent, window.currentWorker(),
            [&](const runs::RunEvent& event) {
                const QString text = runs::eventText(event);
                {
                    QMutexLocker lock(&mutex);
                    messages << text;
                }
                if (text.endsWith(QLatin1String("b.xlsx")) ||
                    event.type == runs::RunEvent::Type::RunEnded)
                    secondReached.release(); // never wait for a run that has ended
            },
            Qt::DirectConnection);
    });
    QTemporaryDir settingsDir;
    window.setSettingsPath(settingsDir.filePath("Quorvane.mrw"));
    window.findChild<QLineEdit*>("lEdt_SourcePath")->setText(dir.path());
    window.findChild<QCheckBox*>("cBox_LeftMargin")->setChecked(true);
    window.findChild<QDoubleSpinBox*>("dsBox_LeftMargin")->setValue(2.5);
    QTest::mouseClick(window.findChild<QPushButton*>("pBtn_ChangeMargin"), Qt::LeftButton);

    QVERIFY(secondReached.tryAcquire(1, 120000));
    QVERIFY(window.finishRunBeforeExit());
    {
        QMutexLocker lock(&mutex);
        bool reachedFirst = false;
        for (const QString& text : messages)
            reachedFirst = reachedFirst || text.endsWith(QLatin1String("a.xlsx"));
        if (!reachedFirst)
            QSKIP(qPrintable("the run reached no workbook: " + messages.join(" / ")));
    }

    QTRY_COMPARE(e2e::childProcessesNamed("soffice.bin"), 0);
    QCOMPARE(e2e::childProcessesNamed("soffice"), 0);

    // The first workbook was changed and saved; the last ones were never
    // reached; every file is a whole package.
    QVERIFY(before.value("a.xlsx") != e2e::fileBytes(dir.filePath("a.xlsx")));
    QCOMPARE(e2e::fileBytes(dir.filePath("d.xlsx")), before.value("d.xlsx"));
    QCOMPARE(e2e::fileBytes(dir.filePath("e.xlsx")), before.value("e.xlsx"));
    for (const QString& name : names) {
        const QMap<QString, QByteArray> entries = e2e::zipEntries(dir.filePath(name));
        QVERIFY2(entries.contains("xl/workbook.xml"), qPrintable(name));
        QVERIFY2(entries.contains("[Content_Types].xml"), qPrintable(name));
    }
}

QTEST_MAIN(QuitOfficeTest)
#include "tst_quitoffice.moc"
