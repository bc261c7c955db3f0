// The workbook filter and the folder walk, on real folder trees built in a
// temporary folder.  Every walk case runs twice: with the Linux walk and with
// the portable one, which must agree.
#include "withoutadminoverride.h"
#include "worklist/worklist.h"
#include "worklist/worklist_testing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace worklist;

namespace {

// Builds a tree under root from lines of the form
//   "a/b.xls"       an empty file (folders on the way are made)
//   "a/c/"          a folder
//   "a/l -> target" a symbolic link with the target as written
//   "a/p|"          a named pipe
bool makeTree(const QString& root, const QStringList& lines)
{
    QDir dir(root);
    for (const QString& line : lines) {
        const int arrow = line.indexOf(QLatin1String(" -> "));
        const QString path = arrow >= 0 ? line.left(arrow) : line;
        const QString parent = QFileInfo(root + QLatin1Char('/') + path).path();
        if (!dir.mkpath(parent))
            return false;
        if (arrow >= 0) {
            if (!QFile::link(line.mid(arrow + 4), root + QLatin1Char('/') + path))
                return false;
        } else if (path.endsWith(QLatin1Char('/'))) {
            if (!dir.mkpath(path))
                return false;
        } else if (path.endsWith(QLatin1Char('|'))) {
#ifdef Q_OS_UNIX
            const QString pipe = root + QLatin1Char('/') + path.chopped(1);
            if (::mkfifo(QFile::encodeName(pipe).constData(), 0644) != 0)
                return false;
#endif
        } else {
            QFile file(root + QLatin1Char('/') + path);
            if (!file.open(QIODevice::WriteOnly))
                return false;
        }
    }
    return true;
}

QStringList pathsOf(const QList<QFileInfo>& entries)
{
    QStringList paths;
    for (const QFileInfo& entry : entries)
        paths << entry.filePath();
    return paths;
}

// Restores the walk choice however a test ends.
struct WalkChoice
{
    explicit WalkChoice(bool portable) { testing::setPortableWalk(portable); }
    ~WalkChoice() { testing::setPortableWalk(false); }
};

// Adds one row per walk.
template <typename Add>
void forBothWalks(const char* name, Add add)
{
    add(QTest::newRow(qPrintable(QString::fromUtf8(name) + QStringLiteral(" (linux)"))) << false);
    add(QTest::newRow(qPrintable(QString::fromUtf8(name) + QStringLiteral(" (portable)"))) << true);
}

} // namespace

class TestWorklist : public QObject
{
    Q_OBJECT

private slots:
    void isAcceptedWorkbookPath_data();
    void isAcceptedWorkbookPath();
    void acceptanceFollowsLowerCase();
    void walkOrder_data();
    void walkOrder();
    void folderText_data();
    void folderText();
    void unreadableFolder_data();
    void unreadableFolder();
    void listText_data();
    void listText();
    void emptyFolderText();
};

void TestWorklist::isAcceptedWorkbookPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("xls") << QStringLiteral("/d/a.xls") << true;
    QTest::newRow("upper-case xlsx") << QStringLiteral("/d/Book1.XLSX") << true;
    QTest::newRow("upper-case csv") << QStringLiteral("/d/DATA.CSV") << true;
    QTest::newRow("mixed-case xlsm") << QStringLiteral("/d/m.XlSm") << true;
    QTest::newRow("backslashes") << QStringLiteral("C:\\data\\a.xlsx") << true;
    QTest::newRow("file named only by its suffix") << QStringLiteral("/d/.xls") << true;
    QTest::newRow("Chinese name") << QStringLiteral("/d/报表/一月.xls") << true;
    QTest::newRow("tilde alone") << QStringLiteral("/d/~a.xls") << true;
    QTest::newRow("dollar before tilde") << QStringLiteral("/d/$~a.xls") << true;
    QTest::newRow("binary workbook") << QStringLiteral("/d/a.xlsb") << false;
    QTest::newRow("backup copy") << QStringLiteral("/d/r.xls.bak") << false;
    QTest::newRow("template") << QStringLiteral("/d/t.xltx") << false;
    QTest::newRow("old template") << QStringLiteral("/d/t.xlt") << false;
    QTest::newRow("OpenDocument") << QStringLiteral("/d/a.ods") << false;
    QTest::newRow("WPS workbook") << QStringLiteral("/d/a.et") << false;
    QTest::newRow("suffix without full stop") << QStringLiteral("/d/xls") << false;
    QTest::newRow("trailing space") << QStringLiteral("/d/a.xls ") << false;
    QTest::newRow("folder path") << QStringLiteral("/d/a.xls/") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("lock file") << QStringLiteral("/d/~$Book1.xlsx") << false;
    QTest::newRow("lock-like folder") << QStringLiteral("/d/x~$y/a.xls") << false;
    QTest::newRow("lock mark at the end of a folder") << QStringLiteral("/d/a~$/a.csv") << false;
    QTest::newRow("our temporary file") << QStringLiteral("/d/.~quorvane-Ab12Cd.xls") << false;
    QTest::newRow("our mark in a folder name") << QStringLiteral("/d/.~quorvane-x/a.xls") << true;
    // Lower-casing, not case folding: the long s folds to "s" but is already
    // lower case, so it does not make an "s".
    QTest::newRow("long s is no s") << QStringLiteral("/d/a.xl\u017F") << false;
    QTest::newRow("fullwidth suffix") << QStringLiteral("/d/a.\uFF58ls") << false;
}

void TestWorklist::isAcceptedWorkbookPath()
{
    QFETCH(QString, path);
    QFETCH(bool, accepted);

    QCOMPARE(worklist::isAcceptedWorkbookPath(path), accepted);
}

// The filter lowers only the ASCII letters at the end of a path; this holds
// only as long as no other character lowers to something that ends in one of
// the suffixes' characters.  Checked against lowering the whole path, for
// every character in every position of every suffix.
void TestWorklist::acceptanceFollowsLowerCase()
{
    const QStringList suffixes{QStringLiteral(".xls"), QStringLiteral(".xlsx"),
                               QStringLiteral(".csv"), QStringLiteral(".xlsm")};
    int checked = 0;
    for (char32_t code = 0x80; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const QString c = QString::fromUcs4(&code, 1);
        if (c.toLower() == c)
            continue;
        for (const QString& suffix : suffixes) {
            for (int at = 0; at <= suffix.size(); ++at) {
                const QString path = QStringLiteral("/d/a") + suffix.left(at) + c + suffix.mid(at);
                const QString lower = path.toLower();
                const bool reference = !path.contains(QLatin1String("~$")) &&
                                       (lower.endsWith(QLatin1String(".xls")) ||
                                        lower.endsWith(QLatin1String(".xlsx")) ||
                                        lower.endsWith(QLatin1String(".csv")) ||
                                        lower.endsWith(QLatin1String(".xlsm")));
                if (worklist::isAcceptedWorkbookPath(path) != reference)
                    QFAIL(qPrintable(QStringLiteral("U+%1 in %2")
                                         .arg(quint32(code), 4, 16, QLatin1Char('0'))
                                         .arg(path)));
                ++checked;
            }
        }
    }
    QVERIFY(checked > 1000);
}

void TestWorklist::walkOrder_data()
{
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("expected");

    // Entries of the top folder are written "@name", those below it "#sub/name";
    // the top folder is given by its absolute path.
    auto row = [](const char* name, const QStringList& tree, const QStringList& expected) {
        forBothWalks(name, [&](QTestData& data) { data << tree << expected; });
    };

    row("files first, then subfolders depth first, by name ignoring case",
        {"z/1.txt", "c/sub/3.txt", "c/2.txt", "b.xls", "A.xlsx"},
        {"@A.xlsx", "@b.xls", "#c/2.txt", "#c/sub/3.txt", "#z/1.txt"});
    row("full stop before digit", {"apple2.xls", "APPLE.XLSX", "Apple.xls"},
        {"@Apple.xls", "@APPLE.XLSX", "@apple2.xls"});
    row("compared in lower case, so underscore before letters", {"B.xls", "_a.xls", "a.xls"},
        {"@_a.xls", "@a.xls", "@B.xls"});
    row("names alike but for case in code order", {"ab.xls", "aB.xls", "AB.xls", "Ab.xls"},
        {"@AB.xls", "@Ab.xls", "@aB.xls", "@ab.xls"});
    row("Chinese by character code", {"阿.xls", "中.xls", "啊.xls", "b.xls"},
        {"@b.xls", "@中.xls", "@啊.xls", "@阿.xls"});
    row("by UTF-16 code unit", {"\uFF58.xls", "\U00020000.xls"},
        {"@\U00020000.xls", "@\uFF58.xls"});
    row("folders sorted like files", {"Beta/b.xls", "alpha/a.xls", "中/c.xls", "_/d.xls"},
        {"#_/d.xls", "#alpha/a.xls", "#Beta/b.xls", "#中/c.xls"});
    row("hidden files listed, hidden folders not entered",
        {".h.xls", ".hid/x.xls", "vis/.y.xls", "vis/.deep/z.xls"}, {"@.h.xls", "#vis/.y.xls"});
    row("links to files, broken links and pipes left out",
        {"real.xls", "link.xls -> real.xls", "gone.xls -> nowhere.xls", "pipe.xls|"},
        {"@real.xls"});
    row("link to a folder outside followed", {"out -> ../outside", "../outside/o.xls", "in.xls"},
        {"@in.xls", "#out/o.xls"});
    row("hidden link to a folder not followed", {".out -> ../outside", "../outside/o.xls"}, {});
    row("folder reached twice listed once, under its first name",
        {"sub/x.xls", "link -> sub", "top.xls"}, {"@top.xls", "#link/x.xls"});
    row("cycle of folder links", {"a/x.xls", "a/up -> ..", "a/b/y.xls", "a/b/loop -> ../../a"},
        {"#a/x.xls", "#a/b/y.xls"});
    row("link to the top folder", {"self -> .", "t.xls"}, {"@t.xls"});
    row("empty folders", {"e/", "e/f/", "g/"}, {});
    row("deep tree", {"1/2/3/4/5/6/7/8/9/10/deep.xls", "1/one.xls"},
        {"#1/one.xls", "#1/2/3/4/5/6/7/8/9/10/deep.xls"});
}

void TestWorklist::walkOrder()
{
    QFETCH(bool, portable);
    QFETCH(QStringList, tree);
    QFETCH(QStringList, expected);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString top = temp.filePath(QStringLiteral("top"));
    QVERIFY(QDir().mkdir(top));
    QVERIFY(makeTree(top, tree));

    WalkChoice choice(portable);
    const QString topText = top;
    const QString absolute = QDir(top).absolutePath();
    QStringList want;
    for (QString path : expected) {
        if (path.startsWith(QLatin1Char('@')))
            path = topText + QLatin1Char('/') + path.mid(1);
        else
            path = absolute + QLatin1Char('/') + path.mid(1);
        want << path;
    }
    QCOMPARE(pathsOf(FindFilesRecursive(topText)), want);
}

void TestWorklist::folderText_data()
{
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QString>("folderText");
    QTest::addColumn<QString>("topPrefix");

    // The top folder's files are named under the folder text as given, the
    // subfolders' files under their absolute path.
    forBothWalks("relative",
                 [](QTestData& d) { d << QStringLiteral("tree") << QStringLiteral("tree/"); });
    forBothWalks("relative with dot",
                 [](QTestData& d) { d << QStringLiteral("./tree") << QStringLiteral("./tree/"); });
    forBothWalks("trailing slash not doubled",
                 [](QTestData& d) { d << QStringLiteral("tree/") << QStringLiteral("tree/"); });
    forBothWalks("dot-dot kept at the top", [](QTestData& d) {
        d << QStringLiteral("tree/sub/..") << QStringLiteral("tree/sub/../");
    });
}

void TestWorklist::folderText()
{
    QFETCH(bool, portable);
    QFETCH(QString, folderText);
    QFETCH(QString, topPrefix);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QVERIFY(makeTree(temp.path(), {"tree/a.xls", "tree/sub/b.xls"}));
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(temp.path()));
    WalkChoice choice(portable);
    const QStringList paths = pathsOf(FindFilesRecursive(folderText));
    const QString text = workbookListText(folderText);
    QVERIFY(QDir::setCurrent(oldCurrent));

    const QString absolute = QDir(temp.path()).canonicalPath() + QStringLiteral("/tree/");
    const QStringList want{topPrefix + QStringLiteral("a.xls"),
                           absolute + QStringLiteral("sub/b.xls")};
    QCOMPARE(paths, want);
    QCOMPARE(text, want.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void TestWorklist::unreadableFolder_data()
{
    QTest::addColumn<bool>("portable");
    forBothWalks("unreadable subfolder", [](QTestData&) {});
}

void TestWorklist::unreadableFolder()
{
    QFETCH(bool, portable);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString top = QDir(temp.path()).canonicalPath();
    QVERIFY(makeTree(top, {"a/a.xls", "b/hidden-from-us.xls", "c/c.xls", "t.xls"}));
    const QString locked = top + QStringLiteral("/b");
    // Enter but not list: the folder's names cannot be read.
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ExeOwner | QFileDevice::ExeUser));

    QStringList paths;
    bool refused = false;
    {
        WithoutAdminOverride asUser;
        refused = QDir(locked).entryList(QDir::Files).isEmpty();
        WalkChoice choice(portable);
        paths = pathsOf(FindFilesRecursive(top));
    }
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner));
    if (!refused)
        QSKIP("this process may list a folder without read permission");

    QCOMPARE(paths, (QStringList{top + QStringLiteral("/t.xls"), top + QStringLiteral("/a/a.xls"),
                                 top + QStringLiteral("/c/c.xls")}));
}

void TestWorklist::listText_data()
{
    QTest::addColumn<bool>("portable");
    forBothWalks("workbooks of a mixed tree", [](QTestData&) {});
}

void TestWorklist::listText()
{
    QFETCH(bool, portable);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString top = QDir(temp.path()).canonicalPath();
    QVERIFY(makeTree(top, {"sub/Book1.XLSX", "sub/a.xlsb", "sub/~$Book1.xlsx", "DATA.CSV", "m.XlSm",
                           "r.xls.bak", "t.xltx", "notes.txt", ".hidden.xls", ".hid/in.xls",
                           "x~$y/in.xls", "x~$y/deeper/in.csv"}));
    WalkChoice choice(portable);
    const QString expected = top + QStringLiteral("/.hidden.xls\n") + top +
                             QStringLiteral("/DATA.CSV\n") + top + QStringLiteral("/m.XlSm\n") +
                             top + QStringLiteral("/sub/Book1.XLSX\n");
    QCOMPARE(workbookListText(top), expected);
}

void TestWorklist::emptyFolderText()
{
    // An empty text names no folder, least of all the current one.
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QVERIFY(makeTree(temp.path(), {"a.xls"}));
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(temp.path()));
    const QList<QFileInfo> entries = FindFilesRecursive(QString());
    const QString text = workbookListText(QString());
    QVERIFY(QDir::setCurrent(oldCurrent));
    QVERIFY(entries.isEmpty());
    QVERIFY(text.isEmpty());
    QVERIFY(FindFilesRecursive(temp.filePath(QStringLiteral("missing"))).isEmpty());
}

QTEST_GUILESS_MAIN(TestWorklist)
#include "tst_worklist.moc"
