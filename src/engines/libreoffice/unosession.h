// One running LibreOffice office and the UNO connection to it.
//
// Every call into the office goes through UnoSession::call(), which arms a
// watchdog for the duration of the call.  A short call that has not returned
// in time, or a long call during which the office has made no progress for
// too long (next to no CPU time used, next to nothing read or written), gets
// the office killed (the blocked call then fails at once); a bridge listener
// notices an office that died.  Either way the session is "lost" and every
// later call fails without touching the office.
#pragma once

#include "engines/libreoffice/sofficeprocess.h"
#include "spreadsheet/spreadsheet.h"

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QSet>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace engines::lo {

// The engine implements the spreadsheet interface; its names are used bare.
using namespace ::spreadsheet;

namespace css = ::com::sun::star;

// When a call into the office counts as hung, and the office is killed.
struct CallLimits
{
    // A short call (property reads and writes, queries, closing a workbook)
    // has not returned after this long, busy or not.  These take
    // milliseconds even on the largest sheets; one running this long is
    // stuck or looping.
    std::chrono::milliseconds shortCall{15000};
    // A long call (start, load, store, print) has gone on this long without
    // the office working: using a tenth of a second of CPU time or reading
    // or writing 64 KiB.  However long the work, an office doing it is never
    // quiet for this long; the bound is for loads from a network folder and
    // prints to a print server that stall for a while and then go on.
    std::chrono::milliseconds longCallStall{120000};
};

enum class CallKind { Short, Long };

class UnoSession
{
public:
    // Starts a private office and connects to it; null when that fails.
    static std::shared_ptr<UnoSession> start(const CallLimits& limits, const PrintTarget& target);
    ~UnoSession();

    UnoSession(const UnoSession&) = delete;
    UnoSession& operator=(const UnoSession&) = delete;

    // Closes what is open, ends the office (killing it when it does not end
    // in time) and removes the private profile.  Idempotent.
    void shutdown();

    bool lost() const { return m_lost->load(); }
    // Why the session was lost: the office hung (and was ended) or died.
    Failure lostFailure() const
    {
        return m_hung.load() ? Failure{FailureKind::OfficeHung, {}}
                             : Failure{FailureKind::OfficeCrashed, {}};
    }
    bool usable() const { return !m_shutDown && !lost(); }
    qint64 processId() const { return m_pid.load(); }

    css::uno::Reference<css::uno::XComponentContext> context() const { return m_context; }
    css::uno::Reference<css::frame::XDesktop2> desktop() const { return m_desktop; }

    void setLimits(const CallLimits& limits);
    void setPrintTarget(const PrintTarget& target);
    PrintTarget printTarget() const;

    // Documents loaded through this session; shutdown() closes those still open.
    void trackDocument(const css::uno::Reference<css::lang::XComponent>& document);
    void untrackDocument(const css::uno::Reference<css::lang::XComponent>& document);
    int openDocumentCount() const { return int(m_documents.size()); }

    // Told before each workbook is opened through this session.  The lock
    // files of those opened for editing are removed when the office has
    // ended (killed, or quit with a changed document open).
    void willOpen(const QString& path, OpenMode mode);
    int workbooksOpened() const { return m_workbooksOpened; }

    // This office's memory now; also kept for peakMemoryKiB().
    ProcessMemory memory();
    // Its memory once started, before any workbook.
    qint64 startMemoryKiB() const { return m_startMemoryKiB; }
    // The highest peak resident size seen by memory() or at shutdown.
    qint64 peakMemoryKiB() const { return m_peakMemoryKiB; }

    // Runs f() under the watchdog.  Any exception ends in failValue; an office
    // that died or hung marks the session lost.  Calls do not nest: an inner
    // call runs under the outer call's limit.
    template <class R, class F>
    R call(CallKind kind, R failValue, F&& f)
    {
        if (!usable())
            return failValue;
        Armed armed(*this, kind);
        try {
            return f();
        } catch (const css::lang::DisposedException&) {
            m_lost->store(true);
        } catch (const css::uno::Exception&) {
        } catch (const std::exception&) {
        } catch (...) {
        }
        return failValue;
    }

private:
    class Armed
    {
    public:
        Armed(UnoSession& session, CallKind kind) : m_session(session)
        {
            m_outer = session.arm(kind);
        }
        ~Armed()
        {
            if (m_outer)
                m_session.disarm();
        }

    private:
        UnoSession& m_session;
        bool m_outer = false;
    };

    UnoSession(const CallLimits& limits, const PrintTarget& target);
    bool launch();
    bool startProcess();
    bool arm(CallKind kind);
    void disarm();
    void watch();
    void killHung();
    void endProcess();
    void removeLockFiles();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    CallLimits m_limits;
    PrintTarget m_printTarget;
    bool m_armed = false;
    bool m_stopWatch = false;
    CallKind m_callKind = CallKind::Short;
    quint64 m_callNumber = 0;
    std::chrono::steady_clock::time_point m_callStarted;
    std::thread m_watchdog;

    std::shared_ptr<std::atomic<bool>> m_lost;
    std::atomic<bool> m_hung{false};
    bool m_shutDown = false;
    std::atomic<qint64> m_pid{0};
    SofficeProcess m_process;
    std::unique_ptr<QTemporaryDir> m_profile;
    QString m_profileUrl;
    QString m_pipeName;
    QSet<QString> m_editedPaths;
    int m_workbooksOpened = 0;
    qint64 m_startMemoryKiB = -1;
    qint64 m_peakMemoryKiB = -1;

    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::lang::XComponent> m_bridge;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
    std::vector<css::uno::Reference<css::lang::XComponent>> m_documents;
};

// UTF-16 conversions between Qt and UNO strings.
inline ::rtl::OUString toOU(const QString& text)
{
    return ::rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()),
                           static_cast<sal_Int32>(text.size()));
}

inline QString toQ(const ::rtl::OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

} // namespace engines::lo
