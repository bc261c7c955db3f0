// "选择文件夹": the folder dialog, then the folder edit and the workbook list
// filled from the chosen folder; a cancelled dialog changes nothing.
#include "app/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class FolderButtonTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tree;
    std::unique_ptr<MainWindow> window;
    QString answer; // what the folder dialog returns
    int dialogs = 0;
    QWidget* dialogParent = nullptr;
    QString dialogCaption;
    QString dialogStart;

    static bool touch(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    }

    QLineEdit* folderEdit() { return window->findChild<QLineEdit*>("lEdt_SourcePath"); }
    QPlainTextEdit* listEdit()
    {
        return window->findChild<QPlainTextEdit*>("pTEdt_ExceFilesPathList");
    }
    void clickFolderButton()
    {
        QTest::mouseClick(window->findChild<QPushButton*>("pBtn_SourcePath"), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tree.isValid());
        for (const char* name :
             {"b.xls", "A.xlsx", "notes.txt", "~$A.xlsx", "c/DATA.CSV", "c/deep/m.XlSm",
              "z/r.xls.bak", "z/t.xltx", "z/x.xlsx", "e/readme.txt"})
            QVERIFY(touch(tree.filePath(QString::fromUtf8(name))));
        MainWindow::setFolderChooser(
            [this](QWidget* parent, const QString& caption, const QString& start) {
                ++dialogs;
                dialogParent = parent;
                dialogCaption = caption;
                dialogStart = start;
                return answer;
            });
    }
    void cleanupTestCase() { MainWindow::setFolderChooser({}); }
    void init()
    {
        window = std::make_unique<MainWindow>();
        dialogs = 0;
    }
    void cleanup() { window.reset(); }

    void fillsBothWidgets_data();
    void fillsBothWidgets();
    void cancelKeepsEarlierList();
    void newFolderReplacesEditedList();
};

void FolderButtonTest::fillsBothWidgets_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("names");

    const QString root = tree.path();
    QTest::newRow("whole tree") << root
                                << QStringList{"A.xlsx", "b.xls", "c/DATA.CSV", "c/deep/m.XlSm",
                                               "z/x.xlsx"};
    QTest::newRow("subfolder") << root + "/c" << QStringList{"DATA.CSV", "deep/m.XlSm"};
    QTest::newRow("no workbooks") << root + "/e" << QStringList{};
}

void FolderButtonTest::fillsBothWidgets()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, names);

    answer = folder;
    clickFolderButton();

    QCOMPARE(dialogs, 1);
    QCOMPARE(dialogParent, window.get());
    QCOMPARE(dialogCaption, QStringLiteral("选择文件夹"));
    QCOMPARE(dialogStart, QStringLiteral("."));

    QCOMPARE(folderEdit()->text(), folder);
    QString expected;
    for (const QString& name : names)
        expected += folder + '/' + name + '\n';
    QCOMPARE(listEdit()->toPlainText(), expected);
}

void FolderButtonTest::cancelKeepsEarlierList()
{
    answer = tree.path() + "/c";
    clickFolderButton();
    const QString edited = listEdit()->toPlainText() + QStringLiteral("/my/own/line.xlsx\n");
    listEdit()->setPlainText(edited);
    folderEdit()->setText(QStringLiteral("typed by hand"));

    answer.clear();
    clickFolderButton();
    QCOMPARE(dialogs, 2);
    QCOMPARE(listEdit()->toPlainText(), edited);
    QCOMPARE(folderEdit()->text(), QStringLiteral("typed by hand"));
}

void FolderButtonTest::newFolderReplacesEditedList()
{
    listEdit()->setPlainText(QStringLiteral("/old/one.xlsx\n/old/two.xlsx\n"));
    answer = tree.path() + "/z";
    clickFolderButton();
    QCOMPARE(listEdit()->toPlainText(), tree.path() + "/z/x.xlsx\n");
    QCOMPARE(folderEdit()->text(), tree.path() + "/z");
}

QTEST_MAIN(FolderButtonTest)
#include "tst_folderbutton.moc"
