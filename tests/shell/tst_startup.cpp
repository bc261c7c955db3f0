// Start-up state from the command line, and the process helpers with the
// single-copy rule, checked against real processes started under chosen
// executable names (copies of a small system binary).
#include "app/startup.h"
#include "platform/processes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

class StartupTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> helpers;

    // A copy of a small program that waits, under executable name name.
    QString helperExecutable(const QString& name)
    {
        const QString path = dir.filePath(name);
        if (!QFile::exists(path)) {
            if (!QFile::copy(QStringLiteral("/bin/sleep"), path))
                return QString();
            QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        }
        return path;
    }

    bool startHelpers(const QString& name, int copies)
    {
        const QString program = helperExecutable(name);
        if (program.isEmpty())
            return false;
        for (int i = 0; i < copies; ++i) {
            auto process = std::make_unique<QProcess>();
            process->start(program, {QStringLiteral("120")});
            if (!process->waitForStarted())
                return false;
            helpers.push_back(std::move(process));
        }
        return true;
    }

    int runningHelpers() const
    {
        int running = 0;
        for (const auto& process : helpers)
            running += process->state() == QProcess::Running ? 1 : 0;
        return running;
    }

    // A name no other test on this machine uses at the same time.
    static QString uniqueName(const char* stem)
    {
        return QString::fromLatin1(stem) + QString::number(QCoreApplication::applicationPid());
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void cleanup()
    {
        for (auto& process : helpers) {
            process->kill();
            process->waitForFinished();
        }
        helpers.clear();
    }

    void stateFromArguments_data();
    void stateFromArguments();
    void longFirstArgumentKeptWhole();
    void countByName_data();
    void countByName();
    void countSeesRemovedExecutable();
    void nullName();
    void terminateEndsOneOfThree();
    void terminateSkipsCaller();
    void singleCopyRule_data();
    void singleCopyRule();
    void settingsPath_data();
    void settingsPath();
};

void StartupTest::settingsPath_data()
{
    QTest::addColumn<QString>("beside"); // {dir}: a folder of the user's own
    QTest::addColumn<bool>("besideExists");
    QTest::addColumn<bool>("perUserChosen");

    QTest::newRow("beside, there") << "{dir}/Quorvane.mrw" << true << false;
    QTest::newRow("beside, missing in a folder of one's own")
        << "{dir}/Quorvane.mrw" << false << false;
    QTest::newRow("installed in /usr/bin") << "/usr/bin/Quorvane.mrw" << false << true;
    QTest::newRow("installed under /opt") << "/opt/quorvane/bin/Quorvane.mrw" << false << true;
}

void StartupTest::settingsPath()
{
    QFETCH(QString, beside);
    QFETCH(bool, besideExists);
    QFETCH(bool, perUserChosen);

    QTemporaryDir own;
    beside.replace(QStringLiteral("{dir}"), own.path());
    if (besideExists) {
        QFile file(beside);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString perUser = own.filePath(QStringLiteral("config/quorvane/Quorvane.mrw"));
    QCOMPARE(startup::usableSettingsPath(beside, perUser), perUserChosen ? perUser : beside);
    // The user's own file is made so that it can be written; the one beside
    // the executable never is.
    QCOMPARE(QFileInfo::exists(perUser), perUserChosen);
    QCOMPARE(QFileInfo::exists(beside), besideExists);
}

void StartupTest::stateFromArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("executableFile");
    QTest::addColumn<QString>("startArgument");
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<QString>("language");

    const auto row = [](const char* tag, const QStringList& arguments, const QString& exe,
                        const QString& start, const QString& appDir, const QString& language) {
        QTest::newRow(tag) << arguments << exe << start << appDir << language;
    };
    row("full path", {"/opt/quorvane/bin/Quorvane"}, "", "", "/opt/quorvane/bin/", "");
    row("relative", {"./Quorvane", "-autorun"}, "", "-autorun", "./", "");
    row("bare name, no executable file", {"Quorvane"}, "", "", "", "");
    row("bare name, executable file known", {"Quorvane", "x"}, "/usr/local/bin/Quorvane", "x",
        "/usr/local/bin/", "");
    row("executable file wins", {"/tmp/link/Quorvane"}, "/srv/app/Quorvane", "", "/srv/app/", "");
    row("only the first argument", {"/a/Quorvane", "first", "second"}, "", "first", "/a/", "");
    row("Chinese folder", {QString::fromUtf8("/home/用户/工具/Quorvane")}, "", "",
        QString::fromUtf8("/home/用户/工具/"), "");
    row("no arguments at all", {}, "", "", "", "");
    row("language first", {"/a/Quorvane", "-lang", "en", "-autorun"}, "", "-autorun", "/a/", "en");
    row("language after", {"/a/Quorvane", "-autorun", "-lang=zh", "x"}, "", "-autorun", "/a/",
        "zh");
    row("language without a value", {"/a/Quorvane", "-lang"}, "", "", "/a/", "");
}

void StartupTest::stateFromArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, executableFile);
    QFETCH(QString, startArgument);
    QFETCH(QString, appDir);
    QFETCH(QString, language);

    std::vector<QByteArray> bytes;
    for (const QString& argument : arguments)
        bytes.push_back(argument.toLocal8Bit());
    std::vector<const char*> argv;
    for (const QByteArray& b : bytes)
        argv.push_back(b.constData());
    argv.push_back(nullptr);

    const startup::State s = startup::fromArguments(int(arguments.size()), argv.data(),
                                                    executableFile.toLocal8Bit().toStdString());
    QCOMPARE(QString::fromLocal8Bit(s.startArgument.c_str()), startArgument);
    QCOMPARE(QString::fromLocal8Bit(s.exePath.c_str()), arguments.value(0));
    QCOMPARE(QString::fromLocal8Bit(s.appDir.c_str()), appDir);
    QCOMPARE(QString::fromLocal8Bit(s.settingsPath.c_str()), appDir + "Quorvane.mrw");
    QCOMPARE(QString::fromLocal8Bit(s.language.c_str()), language);
}

void StartupTest::longFirstArgumentKeptWhole()
{
    const std::string longArgument(5000, 'x');
    const std::string longPath = "/" + std::string(3000, 'd') + "/Quorvane";
    const char* argv[] = {longPath.c_str(), longArgument.c_str(), nullptr};
    const startup::State s = startup::fromArguments(2, argv, std::string());
    QCOMPARE(s.startArgument, longArgument);
    QCOMPARE(s.exePath, longPath);
    QCOMPARE(s.settingsPath, "/" + std::string(3000, 'd') + "/Quorvane.mrw");
}

void StartupTest::countByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("askedFor");
    QTest::addColumn<int>("expected");

    const QString name = uniqueName("qvHelper");
    QTest::newRow("none running") << name << 0 << name << 0;
    QTest::newRow("one") << name << 1 << name << 1;
    QTest::newRow("three") << name << 3 << name << 3;
    QTest::newRow("other letter case") << name << 2 << name.toUpper() << 0;
    QTest::newRow("prefix of the name") << name << 2 << name.left(name.size() - 1) << 0;
    QTest::newRow("longer than the name") << name << 2 << name + "x" << 0;
    // Longer than the 15 bytes the kernel keeps of a command name.
    const QString longName = uniqueName("QuorvaneLongHelperName_");
    QTest::newRow("long name") << longName << 2 << longName << 2;
    QTest::newRow("long name, cut short") << longName << 2 << longName.left(15) << 0;
    const QString exeName = uniqueName("helper") + ".exe";
    QTest::newRow("name with a suffix") << exeName << 1 << exeName << 1;
}

void StartupTest::countByName()
{
    QFETCH(QString, name);
    QFETCH(int, copies);
    QFETCH(QString, askedFor);
    QFETCH(int, expected);

    QVERIFY(startHelpers(name, copies));
    QCOMPARE(countProcessesByName(askedFor.toLocal8Bit().constData()), expected);

    // The ids are exactly those of the matching processes.
    std::vector<long long> ids = processIdsByName(askedFor.toLocal8Bit().constData());
    std::vector<long long> started;
    if (expected > 0) {
        for (const auto& process : helpers)
            started.push_back(process->processId());
    }
    std::sort(ids.begin(), ids.end());
    std::sort(started.begin(), started.end());
    QVERIFY(ids == started);
}

void StartupTest::countSeesRemovedExecutable()
{
    // An executable replaced while it runs (an update) still counts under its
    // name; the kernel reports it with " (deleted)" appended.
    const QString name = uniqueName("qvRemoved");
    QVERIFY(startHelpers(name, 1));
    QVERIFY(QFile::remove(dir.filePath(name)));
    QCOMPARE(countProcessesByName(name.toLocal8Bit().constData()), 1);
    QCOMPARE(countProcessesByName((name + " (deleted)").toLocal8Bit().constData()), 0);
}

void StartupTest::nullName()
{
    QCOMPARE(countProcessesByName(nullptr), 0);
    QVERIFY(processIdsByName(nullptr).empty());
    QCOMPARE(terminateProcessByName(nullptr), 0);
    QCOMPARE(terminateProcessByName(nullptr, true), 0);
}

void StartupTest::terminateEndsOneOfThree()
{
    const QString name = uniqueName("qvTerm");
    const QByteArray bytes = name.toLocal8Bit();
    QCOMPARE(terminateProcessByName(bytes.constData()), 0);

    QVERIFY(startHelpers(name, 3));
    QCOMPARE(terminateProcessByName(bytes.toUpper().constData()), 0);
    QCOMPARE(runningHelpers(), 3);

    QCOMPARE(terminateProcessByName(bytes.constData()), 1);
    QTRY_COMPARE(runningHelpers(), 2);
    QTRY_COMPARE(countProcessesByName(bytes.constData()), 2);
}

void StartupTest::terminateSkipsCaller()
{
    // This test program is the only process of its name: skipping itself it
    // finds nothing to end.
    const QByteArray self =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLocal8Bit();
    QCOMPARE(countProcessesByName(self.constData()), 1);
    QCOMPARE(terminateProcessByName(self.constData(), true), 0);
}

void StartupTest::singleCopyRule_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("left");

    QTest::newRow("none") << 0 << 0;
    QTest::newRow("one stays") << 1 << 1;
    QTest::newRow("two become one") << 2 << 1;
    QTest::newRow("three become two") << 3 << 2;
}

void StartupTest::singleCopyRule()
{
    QFETCH(int, copies);
    QFETCH(int, left);

    const QString name = uniqueName("qvCopy");
    QVERIFY(startHelpers(name, copies));
    startup::keepSingleCopy(name.toLocal8Bit().constData());
    QTRY_COMPARE(runningHelpers(), left);
    QCOMPARE(countProcessesByName(name.toLocal8Bit().constData()), left);
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
