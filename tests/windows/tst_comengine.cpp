// The COM engine of the Windows build behind the real engine router and the
// real batch runs, in a worker thread as the program runs them, against a
// recording ActiveQt (fake/) answered by the FakeExcel below.
#include "engines/engines.h"
#include "engines/windows/serverprocess.h"
#include "fakeax.h"
#include "runs/runs.h"

#include <QDir>
#include <QMutex>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace spreadsheet;
using engines::windows::ServerProcess;

Q_DECLARE_METATYPE(spreadsheet::PrintTarget)

namespace {

// The machine's processes: a clock, which process owns which window, which
// still run, and which were ended.
QMutex g_machine;
qint64 g_clock = 1000;
QList<ServerProcess> g_windows;
QSet<qint64> g_running;
QList<qint64> g_ended;

bool running(qint64 id)
{
    const QMutexLocker lock(&g_machine);
    return g_running.contains(id);
}

} // namespace

namespace engines::windows {
qint64 systemTimeNow()
{
    const QMutexLocker lock(&g_machine);
    return g_clock;
}
ServerProcess processOfWindow(qint64 window)
{
    const QMutexLocker lock(&g_machine);
    return g_windows.value(int(window) - 1);
}
bool processRunning(const ServerProcess& process)
{
    return running(process.id);
}
bool terminateServerProcess(const ServerProcess& process)
{
    const QMutexLocker lock(&g_machine);
    g_ended << process.id;
    return g_running.remove(process.id);
}
} // namespace engines::windows

namespace {

// "member:argument types" of every member the engine may use; a written
// property may also be read.
const QStringList kMembers =
    QStringLiteral(
        "setControl:QString|SetVisible (bool Visible):QString|DisplayAlerts:bool|Hwnd:|WorkBooks:|"
        "CentimetersToPoints(double):double|Quit(void):|Open(const "
        "QString&):QString|Sheets:|Count:|"
        "WorkSheets(int):int|Save():|Close (Boolean):bool|Name:|Visible:|UsedRange:|Row:|Column:|"
        "Rows:|Columns:|Cells(int, int):int,int|Value():|PageSetup:|Pages:|Shapes:|PaperSize:int|"
        "Orientation:int|SetOrientation(int):int|LeftMargin:double|RightMargin:double|"
        "TopMargin:double|BottomMargin:double|HeaderMargin:double|FooterMargin:double|"
        "Range(conts QVariant&):QString|PrintOut():|"
        "ExportAsFixedFormat(int, const QString&):int,QString")
        .split('|');
// Not needed by the runs themselves, or (a cell's Value) only for a sheet
// whose used range is one cell.
const QStringList kOptional = {"Hwnd",   "Visible", "Pages",
                               "Shapes", "Value()", "ExportAsFixedFormat(int, const QString&)"};

QString signature(const AxCall& call)
{
    QStringList types;
    for (const QVariant& arg : call.args)
        types << QString::fromLatin1(arg.typeName());
    return call.member + ':' + types.join(',');
}

// "Excel.Application" with workbooks of two sheets, page setups that keep
// what is written, and faults on request.
class FakeExcel : public FakeAxServer
{
public:
    QMap<QString, QString> books; // path -> what "Open" raises ("hang": it hangs)
    QHash<QString, QVariantMap> setups;
    QSet<QByteArray> refused, ignored; // property writes
    QString printError, saveError;
    QStringList printed, saved;
    bool ranBefore = false; // the server process started before the session
    qint64 process = 0;

    QVariant call(QAxObject& o, const QByteArray& m, const QVariantList& a) override
    {
        const QString key = o.values["path"].toString() + '|' + o.values["Name"].toString();
        if (m == "Hwnd") {
            const QMutexLocker lock(&g_machine);
            g_windows << ServerProcess{process = 4000 + g_windows.size(),
                                       ranBefore ? 1 : ++g_clock};
            g_running << process;
            return g_windows.size();
        }
        if (m == "CentimetersToPoints(double)")
            return a.value(0).toDouble() / 2.54 * 72.0;
        if (m == "PrintOut()" || m == "Save()") {
            const QString& error = m == "Save()" ? saveError : printError;
            if (!error.isEmpty())
                fakeax::raise(o, error);
            else
                (m == "Save()" ? saved : printed) << key;
        } else if (m == "ExportAsFixedFormat(int, const QString&)") {
            QFile file(a.value(1).toString());
            return file.open(QIODevice::WriteOnly) && file.write("%PDF") > 0;
        } else if (m == "SetOrientation(int)") {
            setups[key]["Orientation"] = a.value(0);
        } else if (!m.contains('(')) {
            QVariantMap& values = o.kind == "PageSetup" ? setups[key] : o.values;
            if (a.isEmpty())
                return values.value(m);
            if (refused.contains(m))
                fakeax::raise(o, "Unable to set the " + m + " property");
            else if (!ignored.contains(m))
                values[m] = a.value(0);
        }
        return QVariant();
    }

    bool query(QAxObject& from, const QByteArray& m, const QVariantList& a, QAxObject& sub) override
    {
        // query -> what it yields
        static const QStringList kinds =
            QStringLiteral(
                "WorkBooks=Workbooks|Open(const QString&)=Workbook|Sheets=Sheets|"
                "WorkSheets(int)=Worksheet|UsedRange=UsedRange|Rows=Rows|Columns=Columns|"
                "Cells(int, int)=Cell|PageSetup=PageSetup|Pages=Pages|Shapes=Shapes|"
                "Range(conts QVariant&)=Range")
                .split('|');
        sub.kind = kinds.filter(QString(m) + '=').value(0).section('=', 1);
        sub.values = from.values;
        sub.values.insert({{"Row", 1}, {"Column", 1}, {"Visible", -1}});
        sub.values["Count"] = m == "Shapes" ? 0 : m == "Pages" ? 3 : 2;
        if (m == "WorkSheets(int)")
            sub.values["Name"] = QStringLiteral("S%1").arg(a.value(0).toInt());
        if (m == "Open(const QString&)") {
            const QString error = books.value(a.value(0).toString());
            for (int i = 0; error == "hang" && i < 100 && running(process); ++i)
                QThread::msleep(10);
            if (!running(process))
                return false; // gone: no answer and no error
            if (!error.isEmpty() && error != "hang") {
                fakeax::raise(from, error);
                return false;
            }
            sub.values["path"] = a.value(0);
        }
        return !sub.kind.isEmpty();
    }
};

using Run = std::function<runs::RunResult(runs::RunControl&, const runs::RunEnvironment&,
                                          const runs::EventSink&)>;

struct Harness
{
    QTemporaryDir dir;
    FakeExcel excel;
    runs::RunControl control;
    QList<runs::RunEvent> events;
    runs::RunResult result;
    std::unique_ptr<QThread> worker;

    Harness() { fakeax::install(&excel); }
    ~Harness() { fakeax::install(nullptr); }

    void book(const QString& name, const QString& error = QString())
    {
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
        excel.books.insert(dir.filePath(name), error);
    }
    void start(const Run& run)
    {
        worker.reset(QThread::create([this, run] {
            runs::RunEnvironment env;
            env.createApplication = &engines::createSpreadsheetApplication;
            env.sleep = [](int) {};
            env.now = [] { return qint64(0); };
            result = run(control, env, [this](const runs::RunEvent& e) { events << e; });
        }));
        worker->start();
    }
    bool finished()
    {
        const bool ended = worker->wait(30000);
        if (!fakeax::violations().isEmpty())
            qWarning() << fakeax::violations();
        return ended && fakeax::violations().isEmpty() && fakeax::liveObjects() == 0;
    }
    bool print(runs::PrintOptions options)
    {
        options.workbookList = excel.books.keys().join('\n');
        start([options](auto& control, auto& env, auto& sink) {
            return runs::runPrint(options, control, env, sink);
        });
        return finished();
    }
    bool pageSetup()
    {
        runs::PageSetupOptions options;
        options.folder = dir.path();
        for (auto* margin : {&options.left, &options.right, &options.top, &options.bottom,
                             &options.header, &options.footer})
            *margin = runs::MarginSetting{true, 1.5};
        options.changeOrientation = true;
        options.orientation = OrientationLandscape;
        start([options](auto& control, auto& env, auto& sink) {
            return runs::runPageSetup(options, control, env, sink);
        });
        return finished();
    }
    int calls(const QString& signature) const
    {
        int n = 0;
        for (const AxCall& call : fakeax::calls())
            n += ::signature(call) == signature;
        return n;
    }
};

} // namespace

class TestComEngine : public QObject
{
    Q_OBJECT

private slots:
    void members_data();
    void members();
    void failures_data();
    void failures();
    void printTargets_data();
    void printTargets();
    void quitWhileHung_data();
    void quitWhileHung();

private:
    QSet<QString> m_unused = QSet<QString>(kMembers.begin(), kMembers.end());
    int m_rows = 0; // of members, run so far
};

void TestComEngine::members_data()
{
    QTest::addColumn<bool>("print");
    QTest::addColumn<bool>("wps");
    QTest::newRow("print") << true << false;
    QTest::newRow("page setup") << false << false;
    QTest::newRow("page setup under WPS") << false << true;
}

// The member strings and argument types as required, COM first on the worker
// thread, every object released once and before what it came from, the WPS
// orientation exactly while WPS runs, and properties the server's type
// information does not list reach the server.
void TestComEngine::members()
{
    QFETCH(bool, print);
    QFETCH(bool, wps);
    ++m_rows;
    Harness h;
    h.book("a.xlsx");
    const QString a = h.dir.filePath("a.xlsx");
    QProcess et; // a process named as WPS spreadsheets' is
    if (wps) {
        QVERIFY(QFile::copy(QStandardPaths::findExecutable("sleep"), h.dir.filePath("et")));
        et.start(h.dir.filePath("et"), {"30"});
        QVERIFY(et.waitForStarted());
    }
    runs::PrintOptions options;
    options.sheets.skipEmptySheets = true;
    options.printRangeOnly = true;
    options.printRange = "A1:B2";
    options.paperSize = "A4";
    QVERIFY(print ? h.print(options) : h.pageSetup());
    et.kill();
    et.waitForFinished();

    QCOMPARE(h.result.failed.size(), 0);
    const QList<AxCall> calls = fakeax::calls();
    QCOMPARE(signature(calls.value(0)), QString("setControl:QString"));
    QCOMPARE(calls.value(0).args.value(0), QVariant("Excel.Application"));
    QVERIFY(fakeax::comInits() == (QList<QPair<Qt::HANDLE, unsigned long>>{{calls[0].thread, 0}}));
    for (const AxCall& call : calls) {
        const QString used = signature(call);
        const bool read = call.args.isEmpty() && !call.member.contains('(') &&
                          kMembers.filter(call.member + ':').size() == 1;
        QVERIFY2(kMembers.contains(used) || read, qPrintable(call.kind + ' ' + used));
        QVERIFY(call.thread == calls[0].thread);
        m_unused.remove(kMembers.contains(used) ? used : kMembers.filter(call.member + ':')[0]);
    }
    if (print) {
        QCOMPARE(h.excel.printed, (QStringList{a + "|S1", a + "|S2"}));
        QCOMPARE(h.excel.setups[a + "|S2"]["PaperSize"], QVariant(PaperA4));
        return;
    }
    QCOMPARE(h.excel.saved, QStringList{a + '|'});
    QCOMPARE(h.calls("SetOrientation(int):int") > 0, wps);
    QCOMPARE(h.calls("Orientation:int") > 0, !wps);
    QCOMPARE(h.excel.setups[a + "|S2"]["Orientation"], QVariant(OrientationLandscape));
    QCOMPARE(h.excel.setups[a + "|S2"]["FooterMargin"], QVariant(1.5 / 2.54 * 72.0));
    if (m_rows == 3) { // every member a run needs was used
        for (const QString& member : std::as_const(m_unused))
            QVERIFY2(kOptional.contains(member.section(':', 0, 0)), qPrintable(member));
    }
}

void TestComEngine::failures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("detail");
    QTest::newRow("open") << "open" << int(FailureKind::NotOpened) << "damaged";
    QTest::newRow("margin refused") << "refused" << int(FailureKind::ChangeFailed) << "";
    QTest::newRow("margin ignored") << "ignored" << int(FailureKind::ChangeFailed) << "";
    QTest::newRow("save") << "save" << int(FailureKind::SaveFailed) << "disk is full";
    QTest::newRow("print") << "print" << int(FailureKind::PrintRefused) << "offline";
    QTest::newRow("locked") << "locked" << int(FailureKind::LockedByOther) << "lock file";
}

// A failure lists the workbook with its reason, in the server's words where
// it gives any, and nothing half-changed is saved.
void TestComEngine::failures()
{
    QFETCH(QString, fault);
    QFETCH(int, kind);
    QFETCH(QString, detail);
    Harness h;
    h.book("a.xlsx", fault == "open" ? "The file is damaged" : "");
    h.excel.setups[h.dir.filePath("a.xlsx") + "|S1"]["LeftMargin"] = 54.0;
    h.excel.saveError = fault == "save" ? "The disk is full" : "";
    h.excel.printError = fault == "print" ? "The printer is offline" : "";
    if (fault == "refused")
        h.excel.refused << "LeftMargin";
    if (fault == "ignored")
        h.excel.ignored << "LeftMargin";
    if (fault == "locked")
        QFile(h.dir.filePath("~$a.xlsx")).open(QIODevice::WriteOnly);
    QVERIFY(fault == "print" ? h.print(runs::PrintOptions()) : h.pageSetup());

    QCOMPARE(h.result.failed.size(), 1);
    QCOMPARE(int(h.result.failed[0].failure.kind), kind);
    QVERIFY2(h.result.failed[0].failure.detail.contains(detail),
             qPrintable(h.result.failed[0].failure.detail));
    QVERIFY(h.excel.saved.isEmpty());
    QCOMPARE(h.calls("Open(const QString&):QString"), fault == "locked" ? 0 : 1);
}

void TestComEngine::printTargets_data()
{
    QTest::addColumn<PrintTarget>("target");
    QTest::addColumn<int>("printOuts");
    QTest::addColumn<int>("pages"); // -2: refused
    PrintTarget target;
    QTest::newRow("default") << target << 2 << -1;
    target.copies = 3;
    QTest::newRow("copies") << target << 6 << -1;
    target.copies = 1;
    target.countOnly = true;
    QTest::newRow("count only") << target << 0 << 3;
    target.duplex = PrintTarget::Duplex::LongEdge;
    QTest::newRow("duplex, counted") << target << 0 << -2;
    target = PrintTarget();
    target.kind = PrintTarget::NamedPrinter;
    QTest::newRow("named printer") << target << 0 << -2;
    target.kind = PrintTarget::PdfDirectory;
    QTest::newRow("pdf") << target << 0 << -1;
}

// What "PrintOut()" cannot be told is refused, not printed otherwise, also
// when only counted.
void TestComEngine::printTargets()
{
    QFETCH(PrintTarget, target);
    QFETCH(int, printOuts);
    QFETCH(int, pages);
    Harness h;
    h.book("a.xlsx");
    runs::PrintOptions options;
    options.target = target;
    options.target.name = h.dir.filePath("pdf");
    QDir(h.dir.path()).mkdir("pdf");
    QVERIFY(h.print(options));

    QCOMPARE(h.calls("PrintOut():"), printOuts);
    QCOMPARE(h.result.failed.size(), pages == -2 ? 1 : 0);
    const bool pdf = target.kind == PrintTarget::PdfDirectory;
    QCOMPARE(QDir(options.target.name).entryList({"a - S?.pdf"}).size(), pdf ? 2 : 0);
    for (const runs::RunEvent& e : std::as_const(h.events)) {
        if (e.type == runs::RunEvent::Type::SheetDone)
            QCOMPARE(e.pages, pages);
    }
}

void TestComEngine::quitWhileHung_data()
{
    QTest::addColumn<bool>("ranBefore");
    QTest::newRow("started by the session") << false;
    QTest::newRow("running before the session") << true;
}

// Quitting while a call hangs in the server ends the server the session
// started, and no other; the workbook in hand is listed as hung.
void TestComEngine::quitWhileHung()
{
    QFETCH(bool, ranBefore);
    Harness h;
    h.excel.ranBefore = ranBefore;
    h.book("a.xlsx", "hang");
    h.book("b.xlsx");
    g_ended.clear();
    runs::PrintOptions options;
    options.workbookList = h.excel.books.keys().join('\n');
    h.start([options](auto& control, auto& env, auto& sink) {
        return runs::runPrint(options, control, env, sink);
    });
    QTRY_VERIFY(h.calls("Open(const QString&):QString") > 0);
    h.control.quitRequested = true;
    engines::terminateAllSpreadsheetProcesses();
    QVERIFY(h.finished());

    QCOMPARE(h.result.ending, runs::Ending::Stopped);
    QCOMPARE(g_ended.size(), ranBefore ? 0 : 1);
    QCOMPARE(h.result.failed.size(), ranBefore ? 0 : 1);
    if (!ranBefore)
        QCOMPARE(h.result.failed[0].failure.kind, FailureKind::OfficeHung);
}

QTEST_GUILESS_MAIN(TestComEngine)
#include "tst_comengine.moc"
