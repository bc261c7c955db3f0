#include "engines/libreoffice/unosession.h"

#include "engines/libreoffice/officelocks.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include <signal.h>
#include <unistd.h>

using namespace ::com::sun::star;
using ::com::sun::star::uno::Reference;
using ::com::sun::star::uno::UNO_QUERY;
using ::com::sun::star::uno::UNO_QUERY_THROW;

namespace engines::lo {

namespace {

const QString kProgramDir = QStringLiteral(QUORVANE_LO_PROGRAM_DIR);

// A fresh profile makes the office set it up and exit with this code once.
constexpr int kExitProfileCreated = 81;

// How often the watchdog looks at a long call's office: often enough to see
// a stall soon after its bound, rarely enough to cost nothing (each look
// reads a few small /proc files).
std::chrono::milliseconds lookInterval(std::chrono::milliseconds stall)
{
    using std::chrono::milliseconds;
    return std::clamp(stall / 8, milliseconds(50), milliseconds(1000));
}

// The CPU time that counts as work within one stall bound: a tenth of a
// second, a tenth of the bound when that is shorter.  A working office uses
// that in a tenth of a second; an idle one in half an hour.
std::chrono::milliseconds workingCpu(std::chrono::milliseconds stall)
{
    return std::min(stall / 10, std::chrono::milliseconds(100));
}

// The local UNO environment that the remote bridge is built in.  Made once
// and kept for the life of the process: tearing it down while bridges may
// still release proxies is not safe.
Reference<uno::XComponentContext> localContext()
{
    static std::mutex mutex;
    static Reference<uno::XComponentContext>* context = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    if (!context) {
        // Without this the bootstrap does not find the office's type and
        // service registries and Desktop::create fails later.
        if (!std::getenv("URE_BOOTSTRAP")) {
            const QByteArray rc =
                "vnd.sun.star.pathname:" + QFile::encodeName(kProgramDir) + "/fundamentalrc";
            ::setenv("URE_BOOTSTRAP", rc.constData(), 1);
        }
        context = new Reference<uno::XComponentContext>();
        try {
            *context = ::cppu::defaultBootstrap_InitialComponentContext();
        } catch (...) {
        }
    }
    return *context;
}

// Marks the session lost when the bridge to the office goes away.
class BridgeListener : public ::cppu::WeakImplHelper1<lang::XEventListener>
{
public:
    explicit BridgeListener(std::shared_ptr<std::atomic<bool>> lost) : m_lost(std::move(lost)) {}
    void SAL_CALL disposing(const lang::EventObject&) override { m_lost->store(true); }

private:
    std::shared_ptr<std::atomic<bool>> m_lost;
};

std::atomic<int> g_sessionCounter{0};

bool copyTree(const QString& from, const QString& to)
{
    const QDir source(from);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    bool ok = true;
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(path);
        if (it.fileInfo().isDir() && !it.fileInfo().isSymLink())
            ok = QDir().mkpath(target) && ok;
        else
            ok = QFile::copy(path, target) && ok;
    }
    return ok;
}

// A user profile as the office leaves it after setting up a fresh one.  Each
// new session starts from a copy, which spares it the office's set-up start
// (about a second and a half, most of it processor time).  It is kept in the
// user's cache folder, one per installed office, so that later runs of the
// program are spared it as well; where that folder cannot be written, in a
// temporary folder removed when the program ends.
class ProfileSeed
{
public:
    ~ProfileSeed()
    {
        if (!m_temporary.isEmpty())
            QDir(m_temporary).removeRecursively();
    }

    // Copies the seed into profile.  False when there is none: the caller
    // then sets up the profile and hands it to keep() while holding *setUp,
    // and sessions starting meanwhile wait for that instead of setting up a
    // profile of their own.
    bool copyTo(const QString& profile, std::unique_lock<std::mutex>* setUp)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const QString seed = m_seed.isEmpty() ? kept() : m_seed;
        if (!seed.isEmpty() && copyTree(seed, profile)) {
            m_seed = seed;
            return true;
        }
        *setUp = std::move(lock);
        return false;
    }

    // A seed that did not give a working office is not used again.
    void forget()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_seed.isEmpty())
            QDir(m_seed).removeRecursively();
        m_seed.clear();
    }

    // Called holding the lock copyTo() handed out.
    void keep(const QString& profile)
    {
        const QString cache = cacheFolder();
        if (!cache.isEmpty() && QDir().mkpath(cache)) {
            QTemporaryDir made(cache + QStringLiteral("/.office-profile-XXXXXX"));
            if (made.isValid() && copyTree(profile, made.path()) &&
                ::rename(QFile::encodeName(made.path()).constData(),
                         QFile::encodeName(seedPath()).constData()) == 0) {
                made.setAutoRemove(false);
                m_seed = seedPath();
                return;
            }
            if (!kept().isEmpty()) { // another program made it meanwhile
                m_seed = kept();
                return;
            }
        }
        const QString path =
            QDir::tempPath() + QStringLiteral("/quorvane-office-seed-%1").arg(::getpid());
        QDir(path).removeRecursively();
        if (QDir().mkpath(path) && copyTree(profile, path))
            m_seed = m_temporary = path;
        else
            QDir(path).removeRecursively();
    }

private:
    static QString cacheFolder()
    {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        return base.isEmpty() ? QString() : base + QStringLiteral("/quorvane");
    }

    // Named after the installed office: another version sets up its own.
    static QString seedPath()
    {
        static const QString path = [] {
            QCryptographicHash hash(QCryptographicHash::Sha1);
            QFile version(kProgramDir + QStringLiteral("/versionrc"));
            if (version.open(QIODevice::ReadOnly))
                hash.addData(version.readAll());
            const QFileInfo office(kProgramDir + QStringLiteral("/soffice.bin"));
            hash.addData(QByteArray::number(office.size()) + ' ' +
                         QByteArray::number(office.lastModified().toSecsSinceEpoch()));
            return cacheFolder() + QStringLiteral("/office-profile-") +
                   QString::fromLatin1(hash.result().toHex().left(16));
        }();
        return path;
    }

    static QString kept()
    {
        const QString path = seedPath();
        return !cacheFolder().isEmpty() &&
                       QFileInfo(path + QStringLiteral("/user/registrymodifications.xcu")).isFile()
                   ? path
                   : QString();
    }

    std::mutex m_mutex;
    QString m_seed;
    QString m_temporary;
};

ProfileSeed g_profileSeed;

// Profiles, seeds and pipe sockets of sessions whose program was killed
// before it could remove them: their names carry the dead program's id.
void removeLeftovers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const QRegularExpression owner(
            QStringLiteral("^(?:quorvane-office-(?:seed-)?|OSL_PIPE_\\d+_quorvane-)(\\d+)"));
        QStringList dirs{QDir::tempPath()};
        if (QDir(QDir::tempPath()) != QDir(QStringLiteral("/tmp")))
            dirs << QStringLiteral("/tmp"); // where the office puts its pipes
        for (const QString& dir : dirs) {
            const QDir folder(dir);
            for (const QString& name : folder.entryList(
                     {QStringLiteral("quorvane-office-*"), QStringLiteral("OSL_PIPE_*_quorvane-*")},
                     QDir::AllEntries | QDir::System | QDir::Hidden)) {
                const auto match = owner.match(name);
                if (!match.hasMatch())
                    continue;
                const QString pid = match.captured(1);
                if (pid.toLongLong() == ::getpid() ||
                    QFileInfo::exists(QStringLiteral("/proc/") + pid))
                    continue;
                const QString path = folder.filePath(name);
                if (QFileInfo(path).isDir())
                    QDir(path).removeRecursively();
                else
                    QFile::remove(path);
            }
        }
    });
}

} // namespace

std::shared_ptr<UnoSession> UnoSession::start(const CallLimits& limits, const PrintTarget& target)
{
    std::shared_ptr<UnoSession> session(new UnoSession(limits, target));
    if (!session->launch()) {
        session->shutdown();
        return nullptr;
    }
    return session;
}

UnoSession::UnoSession(const CallLimits& limits, const PrintTarget& target)
    : m_limits(limits), m_printTarget(target), m_lost(std::make_shared<std::atomic<bool>>(false))
{
    m_watchdog = std::thread([this] { watch(); });
}

UnoSession::~UnoSession()
{
    shutdown();
}

bool UnoSession::startProcess()
{
    const QString program = kProgramDir + QStringLiteral("/soffice.bin");
    if (!QFile::exists(program))
        return false;
    const QStringList args{
        QStringLiteral("--headless"),
        QStringLiteral("--invisible"),
        QStringLiteral("--nologo"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nolockcheck"),
        QStringLiteral("-env:UserInstallation=") + m_profileUrl,
        QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(m_pipeName),
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Our own bootstrap setting must not leak into the office.
    env.remove(QStringLiteral("URE_BOOTSTRAP"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(program, args);
    if (!m_process.waitForStarted(10000))
        return false;
    m_pid = m_process.processId();
    registerOfficeProcess(m_pid);
    return true;
}

bool UnoSession::launch()
{
    const Reference<uno::XComponentContext> local = localContext();
    if (!local.is())
        return false;
    removeLeftovers();
    m_profile = std::make_unique<QTemporaryDir>(
        QDir::tempPath() + QStringLiteral("/quorvane-office-%1-XXXXXX").arg(::getpid()));
    if (!m_profile->isValid())
        return false;
    m_profileUrl = QUrl::fromLocalFile(m_profile->path()).toString(QUrl::FullyEncoded);
    std::unique_lock<std::mutex> settingUp;
    bool seeded = g_profileSeed.copyTo(m_profile->path(), &settingUp);
    const auto emptyProfile = [this] {
        // Start from an empty profile again; the office fills it.
        QDir(m_profile->path()).removeRecursively();
        QDir().mkpath(m_profile->path());
    };
    if (!seeded)
        emptyProfile();
    m_pipeName = QStringLiteral("quorvane-%1-%2-%3")
                     .arg(::getpid())
                     .arg(g_sessionCounter.fetch_add(1))
                     .arg(QFileInfo(m_profile->path()).fileName().section(QLatin1Char('-'), -1));

    Reference<connection::XConnection> connection;
    try {
        const Reference<connection::XConnector> connector = connection::Connector::create(local);
        const ::rtl::OUString description = toOU(QStringLiteral("pipe,name=") + m_pipeName);
        for (int attempt = 0; attempt < 3 && !connection.is(); ++attempt) {
            if (!startProcess())
                return false;
            // A starting office is busy; one that stays quiet is stuck.
            ProcessActivity worked = processActivity(m_pid);
            auto progressed = std::chrono::steady_clock::now();
            while (!connection.is()) {
                try {
                    connection = connector->connect(description);
                    break;
                } catch (const connection::NoConnectException&) {
                }
                // Soon after the office opens its pipe: the start takes most
                // of a one-workbook run.
                if (m_process.waitForFinished(10)) {
                    unregisterOfficeProcess(m_pid);
                    m_pid = 0;
                    if (m_process.exitStatus() == QProcess::NormalExit &&
                        m_process.exitCode() == kExitProfileCreated && !seeded &&
                        settingUp.owns_lock()) {
                        g_profileSeed.keep(m_profile->path());
                        settingUp.unlock();
                        break; // the profile is ready now: start again
                    }
                    if (seeded) {
                        // Set up a profile anew (or take one another
                        // session set up meanwhile).
                        g_profileSeed.forget();
                        emptyProfile();
                        seeded = g_profileSeed.copyTo(m_profile->path(), &settingUp);
                        break;
                    }
                    return false;
                }
                const ProcessActivity activity = processActivity(m_pid);
                const auto now = std::chrono::steady_clock::now();
                if (activity.workedSince(worked, workingCpu(m_limits.longCallStall))) {
                    worked = activity;
                    progressed = now;
                } else if (now - progressed > m_limits.longCallStall) {
                    return false;
                }
            }
        }
    } catch (...) {
        return false;
    }
    if (!connection.is())
        return false;

    Armed armed(*this, CallKind::Long);
    try {
        const Reference<bridge::XBridgeFactory2> factory = bridge::BridgeFactory::create(local);
        const Reference<bridge::XBridge> bridge =
            factory->createBridge(::rtl::OUString(), toOU(QStringLiteral("urp")), connection,
                                  Reference<bridge::XInstanceProvider>());
        m_bridge.set(bridge, UNO_QUERY_THROW);
        m_bridge->addEventListener(new BridgeListener(m_lost));
        m_context.set(bridge->getInstance(toOU(QStringLiteral("StarOffice.ComponentContext"))),
                      UNO_QUERY_THROW);
        m_desktop = frame::Desktop::create(m_context);
    } catch (...) {
        return false;
    }
    if (!m_desktop.is() || lost())
        return false;
    m_startMemoryKiB = memory().currentKiB;
    return true;
}

void UnoSession::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    if (m_pid != 0)
        memory();
    if (m_desktop.is() && !lost()) {
        Armed armed(*this, CallKind::Short);
        try {
            for (const auto& document : m_documents) {
                const Reference<util::XCloseable> closeable(document, UNO_QUERY);
                try {
                    if (closeable.is())
                        closeable->close(true);
                    else
                        document->dispose();
                } catch (const lang::DisposedException&) {
                    throw;
                } catch (const uno::Exception&) {
                    document->dispose();
                }
            }
            m_documents.clear();
            m_desktop->terminate();
        } catch (...) {
        }
    }
    // Drop the proxies before the bridge goes: releases go out while it can
    // still carry them.
    try {
        m_documents.clear();
        m_desktop.clear();
        m_context.clear();
        if (m_bridge.is())
            m_bridge->dispose();
        m_bridge.clear();
    } catch (...) {
    }
    endProcess();
    removeLockFiles();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopWatch = true;
    }
    m_wake.notify_all();
    if (m_watchdog.joinable())
        m_watchdog.join();
    if (m_profile)
        m_profile->remove();
}

void UnoSession::endProcess()
{
    if (m_process.state() == QProcess::NotRunning && m_pid == 0)
        return;
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    if (m_pid != 0) {
        unregisterOfficeProcess(m_pid);
        m_pid = 0;
    }
    // A killed office leaves its pipe's socket behind.
    QFile::remove(QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(m_pipeName));
}

void UnoSession::removeLockFiles()
{
    if (m_process.state() != QProcess::NotRunning || m_profileUrl.isEmpty())
        return;
    for (const QString& path : std::as_const(m_editedPaths))
        removeLockFileOf(path, m_profileUrl);
    m_editedPaths.clear();
}

void UnoSession::setLimits(const CallLimits& limits)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_limits = limits;
    }
    m_wake.notify_all();
}

void UnoSession::setPrintTarget(const PrintTarget& target)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_printTarget = target;
}

PrintTarget UnoSession::printTarget() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_printTarget;
}

void UnoSession::trackDocument(const Reference<lang::XComponent>& document)
{
    m_documents.push_back(document);
}

void UnoSession::untrackDocument(const Reference<lang::XComponent>& document)
{
    m_documents.erase(std::remove(m_documents.begin(), m_documents.end(), document),
                      m_documents.end());
}

void UnoSession::willOpen(const QString& path, OpenMode mode)
{
    ++m_workbooksOpened;
    if (mode == OpenMode::ForEditing)
        m_editedPaths.insert(path);
}

ProcessMemory UnoSession::memory()
{
    const ProcessMemory now = processMemory(m_pid.load());
    m_peakMemoryKiB = std::max(m_peakMemoryKiB, now.peakKiB);
    return now;
}

bool UnoSession::arm(CallKind kind)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_armed)
            return false;
        m_armed = true;
        m_callKind = kind;
        ++m_callNumber;
        m_callStarted = std::chrono::steady_clock::now();
    }
    m_wake.notify_all();
    return true;
}

void UnoSession::disarm()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_armed = false;
}

void UnoSession::killHung()
{
    // The blocked call fails with DisposedException once the office is gone.
    m_hung.store(true);
    m_lost->store(true);
    m_armed = false;
    const qint64 pid = m_pid.load();
    if (pid > 0)
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

void UnoSession::watch()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    quint64 watched = 0;    // the long call the figures below belong to
    ProcessActivity worked; // the office's activity when it last made progress
    auto progressed = std::chrono::steady_clock::now();
    while (!m_stopWatch) {
        if (!m_armed) {
            m_wake.wait(lock);
            continue;
        }
        if (m_callKind == CallKind::Short) {
            const auto deadline = m_callStarted + m_limits.shortCall;
            if (std::chrono::steady_clock::now() >= deadline)
                killHung();
            else
                m_wake.wait_until(lock, deadline);
            continue;
        }
        // A long call may take any time while the office works at it.
        const quint64 call = m_callNumber;
        const qint64 pid = m_pid.load();
        lock.unlock();
        const ProcessActivity activity = processActivity(pid);
        lock.lock();
        if (!m_armed || m_callNumber != call)
            continue;
        const auto now = std::chrono::steady_clock::now();
        if (call != watched || activity.workedSince(worked, workingCpu(m_limits.longCallStall))) {
            watched = call;
            worked = activity;
            progressed = now;
        } else if (now - progressed >= m_limits.longCallStall) {
            killHung();
            continue;
        }
        m_wake.wait_for(lock, lookInterval(m_limits.longCallStall));
    }
}

} // namespace engines::lo
