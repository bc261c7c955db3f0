// The settings file: lookups on text, and rewrites checked byte for byte on
// real files, including files the rewrite must leave alone.
#include "settings/settingsfile.h"
#include "settings/settingsfile_testing.h"
#include "withoutadminoverride.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace settings;

namespace {

const QByteArray sourcePath("sourcePath");

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Lines "key<n>=<filler>\r\n" up to about the given size, ending with the line
// "tail=end\r\n".
QByteArray bigText(int size)
{
    QByteArray text;
    for (int n = 0; text.size() < size; ++n)
        text += "key" + QByteArray::number(n) + '=' + QByteArray(90, char('a' + n % 26)) + "\r\n";
    return text + "tail=end\r\n";
}

// Restores the rewrite hook however a test ends.
struct FailingRewrites
{
    FailingRewrites() { testing::setFailRewrites(true); }
    ~FailingRewrites() { testing::setFailRewrites(false); }
};

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void findSettingValue_data();
    void findSettingValue();
    void writeSetting_data();
    void writeSetting();
    void readSetting_data();
    void readSetting();
    void writeSettingRefused_data();
    void writeSettingRefused();
    void largeFileKeptWhole_data();
    void largeFileKeptWhole();
    void failedRewriteKeepsOldFile_data();
    void failedRewriteKeepsOldFile();
    void rewriteKeepsFileAttributes();
};

void TestSettingsFile::findSettingValue_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("entry among others")
        << QByteArray("a=1\r\nsourcePath=/x\r\nb=2\r\n") << sourcePath << QByteArray("/x");
    QTest::newRow("key absent") << QByteArray("a=1\r\n") << sourcePath << QByteArray();
    QTest::newRow("key compared with case")
        << QByteArray("SourcePath=/x\r\n") << sourcePath << QByteArray();
    QTest::newRow("last line without line end reads empty")
        << QByteArray("a=1\r\nsourcePath=/x") << sourcePath << QByteArray();
    QTest::newRow("trailing blanks of the file do not make a line end")
        << QByteArray("sourcePath=/x \t ") << sourcePath << QByteArray();
    QTest::newRow("spaces and tabs around the value dropped")
        << QByteArray("sourcePath= \t/x y\t \r\n") << sourcePath << QByteArray("/x y");
    QTest::newRow("blanks around the whole text ignored")
        << QByteArray(" \t sourcePath=/x\r\n\t ") << sourcePath << QByteArray("/x");
    QTest::newRow("carriage return before the line end kept")
        << QByteArray("sourcePath=/x\r\r\n") << sourcePath << QByteArray("/x\r");
    QTest::newRow("line feed alone does not end the value")
        << QByteArray("sourcePath=/x\nb=2\r\n") << sourcePath << QByteArray("/x\nb=2");
    QTest::newRow("empty value") << QByteArray("sourcePath=\r\n") << sourcePath << QByteArray();
    QTest::newRow("first of two entries")
        << QByteArray("sourcePath=/a\r\nsourcePath=/b\r\n") << sourcePath << QByteArray("/a");
    QTest::newRow("key found inside another key")
        << QByteArray("oldsourcePath=/a\r\nsourcePath=/b\r\n") << sourcePath << QByteArray("/a");
    QTest::newRow("8-bit value bytes unchanged")
        << QByteArray("sourcePath=D:\\\xd6\xd0\xce\xc4\r\n") << sourcePath
        << QByteArray("D:\\\xd6\xd0\xce\xc4");
    QTest::newRow("value may hold an equals sign")
        << QByteArray("sourcePath=/a=b\r\n") << sourcePath << QByteArray("/a=b");
    QTest::newRow("empty key finds nothing")
        << QByteArray("=x\r\n") << QByteArray() << QByteArray();
}

void TestSettingsFile::findSettingValue()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);

    QByteArray out("stale");
    settings::findSettingValue(text, key, out);
    QCOMPARE(out, expected);
}

void TestSettingsFile::writeSetting_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("readBack");

    QTest::newRow("new entry goes first")
        << QByteArray("lang=zh\r\n") << QByteArray("/d")
        << QByteArray("sourcePath=/d\r\nlang=zh\r\n") << QByteArray("/d");
    QTest::newRow("empty file") << QByteArray() << QByteArray("/d")
                                << QByteArray("sourcePath=/d\r\n") << QByteArray("/d");
    QTest::newRow("entry in the middle keeps its place")
        << QByteArray("a=1\r\nsourcePath=/old/longer\r\nb=2\r\n") << QByteArray("/new")
        << QByteArray("a=1\r\nsourcePath=/new\r\nb=2\r\n") << QByteArray("/new");
    QTest::newRow("last entry without line end gets one")
        << QByteArray("a=1\r\nsourcePath=/old") << QByteArray("/new")
        << QByteArray("a=1\r\nsourcePath=/new\r\n") << QByteArray("/new");
    QTest::newRow("leading space written, not read back")
        << QByteArray("a=1\r\n") << QByteArray(" /d") << QByteArray("sourcePath= /d\r\na=1\r\n")
        << QByteArray("/d");
    QTest::newRow("trailing blanks written, not read back")
        << QByteArray() << QByteArray("/d \t") << QByteArray("sourcePath=/d \t\r\n")
        << QByteArray("/d");
    QTest::newRow("empty value") << QByteArray("a=1\r\n") << QByteArray()
                                 << QByteArray("sourcePath=\r\na=1\r\n") << QByteArray();
    QTest::newRow("blanks around the file dropped")
        << QByteArray(" \t a=1\r\n\t ") << QByteArray("/d")
        << QByteArray("sourcePath=/d\r\na=1\r\n") << QByteArray("/d");
    QTest::newRow("line ends around the file kept")
        << QByteArray("\r\na=1\r\n\r\n") << QByteArray("/d")
        << QByteArray("sourcePath=/d\r\n\r\na=1\r\n\r\n") << QByteArray("/d");
    QTest::newRow("only the first of two entries replaced")
        << QByteArray("sourcePath=/a\r\nsourcePath=/b\r\n") << QByteArray("/c")
        << QByteArray("sourcePath=/c\r\nsourcePath=/b\r\n") << QByteArray("/c");
    QTest::newRow("entry found inside another key is the one replaced")
        << QByteArray("oldsourcePath=/a\r\nb=2\r\n") << QByteArray("/c")
        << QByteArray("oldsourcePath=/c\r\nb=2\r\n") << QByteArray("/c");
    QTest::newRow("lines ended by line feed alone kept")
        << QByteArray("a=1\nb=2\n") << QByteArray("/d") << QByteArray("sourcePath=/d\r\na=1\nb=2\n")
        << QByteArray("/d");
    QTest::newRow("8-bit value bytes written unchanged")
        << QByteArray("a=1\r\n") << QByteArray("D:\\\xd6\xd0\xce\xc4 \xc4\xbf\xc2\xbc")
        << QByteArray("sourcePath=D:\\\xd6\xd0\xce\xc4 \xc4\xbf\xc2\xbc\r\na=1\r\n")
        << QByteArray("D:\\\xd6\xd0\xce\xc4 \xc4\xbf\xc2\xbc");
    QTest::newRow("value with a line feed alone")
        << QByteArray() << QByteArray("/a\nb") << QByteArray("sourcePath=/a\nb\r\n")
        << QByteArray("/a\nb");
}

void TestSettingsFile::writeSetting()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, readBack);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Quorvane.mrw"));
    QVERIFY(writeBytes(path, before));

    QCOMPARE(settings::writeSetting(path, sourcePath, value), 0);
    QCOMPARE(readBytes(path), after);

    // Writing the same value again changes nothing.
    QCOMPARE(settings::writeSetting(path, sourcePath, value), 0);
    QCOMPARE(readBytes(path), after);

    QByteArray out("stale");
    QCOMPARE(settings::readSetting(path, sourcePath, out), 0);
    QCOMPARE(out, readBack);

    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Quorvane.mrw")});
}

void TestSettingsFile::readSetting_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("entry") << QStringLiteral("file") << 0 << QByteArray("/x");
    QTest::newRow("missing file leaves out unchanged")
        << QStringLiteral("missing") << -1 << QByteArray("stale");
    QTest::newRow("folder leaves out unchanged")
        << QStringLiteral("folder") << -1 << QByteArray("stale");
    QTest::newRow("key absent empties out") << QStringLiteral("other") << 0 << QByteArray();
}

void TestSettingsFile::readSetting()
{
    QFETCH(QString, kind);
    QFETCH(int, result);
    QFETCH(QByteArray, out);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Quorvane.mrw"));
    if (kind == QLatin1String("file"))
        QVERIFY(writeBytes(path, "a=1\r\nsourcePath=/x\r\n"));
    else if (kind == QLatin1String("other"))
        QVERIFY(writeBytes(path, "a=1\r\n"));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Quorvane.mrw")));

    QByteArray value("stale");
    QCOMPARE(settings::readSetting(path, sourcePath, value), result);
    QCOMPARE(value, out);
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFileInfo::exists(path));
}

void TestSettingsFile::writeSettingRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("missing file is not created")
        << QStringLiteral("missing") << sourcePath << QByteArray("/d");
    QTest::newRow("read-only file") << QStringLiteral("readonly") << sourcePath << QByteArray("/d");
    QTest::newRow("folder") << QStringLiteral("folder") << sourcePath << QByteArray("/d");
    QTest::newRow("link to a missing file")
        << QStringLiteral("danglinglink") << sourcePath << QByteArray("/d");
    QTest::newRow("value holding a line end")
        << QStringLiteral("file") << sourcePath << QByteArray("/d\r\nlang=en");
    QTest::newRow("empty key") << QStringLiteral("file") << QByteArray() << QByteArray("/d");
    QTest::newRow("key holding an equals sign")
        << QStringLiteral("file") << QByteArray("a=b") << QByteArray("/d");
    QTest::newRow("key holding a line feed")
        << QStringLiteral("file") << QByteArray("a\nb") << QByteArray("/d");
}

void TestSettingsFile::writeSettingRefused()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Quorvane.mrw"));
    const QByteArray before("a=1\r\nsourcePath=/old\r\n");
    if (kind == QLatin1String("file") || kind == QLatin1String("readonly"))
        QVERIFY(writeBytes(path, before));
    if (kind == QLatin1String("readonly"))
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ReadOther));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Quorvane.mrw")));
    if (kind == QLatin1String("danglinglink"))
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.mrw")), path));

    QCOMPARE(settings::writeSetting(path, key, value), -1);

    if (kind == QLatin1String("missing")) {
        QVERIFY(!QFileInfo::exists(path));
    } else if (kind == QLatin1String("danglinglink")) {
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("gone.mrw"))));
    } else if (kind != QLatin1String("folder")) {
        QCOMPARE(readBytes(path), before);
    }
    if (kind == QLatin1String("readonly"))
        QVERIFY(!(QFile::permissions(path) & QFileDevice::WriteOwner));
}

void TestSettingsFile::largeFileKeptWhole_data()
{
    QTest::addColumn<int>("entryAt");

    QTest::newRow("no entry yet") << -1;
    QTest::newRow("entry near the start") << 100;
    QTest::newRow("entry past the first 20480 bytes") << 60000;
}

void TestSettingsFile::largeFileKeptWhole()
{
    QFETCH(int, entryAt);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Quorvane.mrw"));
    QByteArray before = bigText(100 * 1024);
    QByteArray expected = "sourcePath=/new\r\n" + before;
    if (entryAt >= 0) {
        const int lineStart = before.indexOf("\r\n", entryAt) + 2;
        before.insert(lineStart, "sourcePath=/old\r\n");
        expected = before;
        expected.replace("sourcePath=/old\r\n", "sourcePath=/new\r\n");
    }
    QVERIFY(writeBytes(path, before));

    QCOMPARE(settings::writeSetting(path, sourcePath, "/new"), 0);
    const QByteArray after = readBytes(path);
    QCOMPARE(after.size(), expected.size());
    QVERIFY(after == expected);

    QByteArray out;
    QCOMPARE(settings::readSetting(path, "tail", out), 0);
    QCOMPARE(out, QByteArray("end"));
    QCOMPARE(settings::readSetting(path, sourcePath, out), 0);
    QCOMPARE(out, QByteArray("/new"));
}

void TestSettingsFile::failedRewriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("cause");

    // A write that fails half-way, made to fail by the rewrite's test hook: no
    // disk that fills up on demand is at hand.
    QTest::newRow("write fails half-way") << QStringLiteral("hook");
    // A real failure: the folder takes no new file (checked as a user would
    // meet it, also when the tests run as root).
    QTest::newRow("folder not writable") << QStringLiteral("folder");
    // A real failure with the folder writable: the file's name has the longest
    // length the file system allows, so no temporary name built from it fits.
    QTest::newRow("name at the length limit") << QStringLiteral("longname");
}

void TestSettingsFile::failedRewriteKeepsOldFile()
{
    QFETCH(QString, cause);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("app"));
    QVERIFY(QDir().mkdir(folder));
    const QString name = cause == QLatin1String("longname")
                             ? QString(255 - 4, QLatin1Char('q')) + QStringLiteral(".mrw")
                             : QStringLiteral("Quorvane.mrw");
    const QString path = folder + QLatin1Char('/') + name;
    const QByteArray before = bigText(30000);
    QVERIFY(writeBytes(path, before));

    int result = 0;
    if (cause == QLatin1String("hook")) {
        FailingRewrites failing;
        result = settings::writeSetting(path, sourcePath, "/new");
    } else if (cause == QLatin1String("longname")) {
        QFile probe(path + QStringLiteral(".x"));
        if (probe.open(QIODevice::WriteOnly))
            QSKIP("the file system takes names longer than 255 bytes");
        result = settings::writeSetting(path, sourcePath, "/new");
    } else {
        const QFileDevice::Permissions readAndEnter = QFileDevice::ReadOwner |
                                                      QFileDevice::ExeOwner |
                                                      QFileDevice::ReadUser | QFileDevice::ExeUser;
        QVERIFY(QFile::setPermissions(folder, readAndEnter));
        {
            WithoutAdminOverride asUser;
            QFile probe(folder + QStringLiteral("/probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QFile::setPermissions(folder, readAndEnter | QFileDevice::WriteOwner |
                                                  QFileDevice::WriteUser);
                QSKIP("this process may write into a folder without write permission");
            }
            result = settings::writeSetting(path, sourcePath, "/new");
        }
        QVERIFY(QFile::setPermissions(folder, readAndEnter | QFileDevice::WriteOwner |
                                                  QFileDevice::WriteUser));
    }

    QCOMPARE(result, -1);
    QVERIFY(readBytes(path) == before);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{name});
}

void TestSettingsFile::rewriteKeepsFileAttributes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("real.mrw"));
    const QString link = dir.filePath(QStringLiteral("Quorvane.mrw"));
    QVERIFY(writeBytes(target, "a=1\r\n"));
    const QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ReadUser | QFileDevice::WriteUser |
                                          QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(target, mode));
    QVERIFY(QFile::link(target, link));
#ifdef Q_OS_UNIX
    const bool asRoot = ::geteuid() == 0;
    if (asRoot)
        QCOMPARE(::chown(QFile::encodeName(target).constData(), 4321, 4321), 0);
#endif

    QCOMPARE(settings::writeSetting(link, sourcePath, "/d"), 0);

    // The link stays a link, and its target took the new text.
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(target), QByteArray("sourcePath=/d\r\na=1\r\n"));
    QCOMPARE(QFile::permissions(target) &
                 ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
             mode & ~(QFileDevice::ReadUser | QFileDevice::WriteUser));
#ifdef Q_OS_UNIX
    if (asRoot) {
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(int(st.st_uid), 4321);
        QCOMPARE(int(st.st_gid), 4321);
    }
#endif
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
