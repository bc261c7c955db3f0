// Which engine opens which file for which purpose, in one place:
//
//   purpose     file            engine
//   printing    any workbook    the office
//   page setup  .xlsx, .xlsm    the OOXML package writer (Linux): only the page
//                               setup elements of the package change
//   page setup  .xls            the BIFF8 writer (Linux): only the page setup
//                               records of the Workbook stream change; a file
//                               that is no BIFF8 workbook (Excel 5/95, HTML or
//                               CSV under an .xls name) goes to the office,
//                               which refuses to save it in another format
//   page setup  anything else   the office, saving in the file's own format
//
// Inspecting the page setup (a page-setup dry run) reads each file through
// the engine that would change it, which writes nothing until it saves.
//
// On Windows the office is Excel (or WPS), which saves every format without
// loss, so it serves everything.
//
// LibreOffice is started when the first workbook that needs it is opened, not
// when the run starts: a page-setup run over .xlsx and .xls files never needs
// it, and starting it would take most of such a run's time.  Whether it is
// installed is checked at start(), so a missing office still shows as a null
// workbooks collection.
#include "engines/engines.h"

#if defined(QUORVANE_OFFICE_COM)
#include "engines/windows/excel.h"
#elif defined(QUORVANE_OFFICE_LIBREOFFICE)
#include "engines/libreoffice/libreoffice.h"
#endif

#ifdef QUORVANE_FILE_ENGINES
#include "engines/biff/biffworkbook.h"
#include "engines/ooxml/ooxmlworkbook.h"
#include "engines/ooxml/workbookfile.h"
#include "platform/editblocker.h"

#include <QFileInfo>
#endif

#include <functional>

namespace engines {

namespace {

using spreadsheet::Failure;
using spreadsheet::FailureKind;
using spreadsheet::OpenMode;

enum class Engine { Office, OoxmlPackage, BiffFile };

Engine engineFor(const QString& path, OpenMode mode)
{
#ifdef QUORVANE_FILE_ENGINES
    if (mode == OpenMode::ForEditing || mode == OpenMode::Inspect) {
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xlsm"))
            return Engine::OoxmlPackage;
        if (suffix == QLatin1String("xls"))
            return Engine::BiffFile;
    }
#else
    Q_UNUSED(path);
    Q_UNUSED(mode);
#endif
    return Engine::Office;
}

bool setFailure(Failure* failure, FailureKind kind, const QString& detail = QString())
{
    if (failure)
        *failure = Failure{kind, detail};
    return false;
}

class RoutingWorkbooks : public spreadsheet::Workbooks
{
public:
    // office() yields the office's workbooks collection, starting the office
    // when needed; null when it cannot be had.
    explicit RoutingWorkbooks(std::function<spreadsheet::Workbooks*()> office)
        : m_office(std::move(office))
    {}

    std::unique_ptr<spreadsheet::Workbook> open(const QString& nativePath, OpenMode mode,
                                                Failure* failure = nullptr) override
    {
        const Engine engine = engineFor(nativePath, mode);
#ifdef QUORVANE_FILE_ENGINES
        // A workbook another program holds, or one that cannot be written, is
        // refused before it is read; a dry run gives the same verdict.
        if (engine != Engine::Office && mode != OpenMode::ReadOnly) {
            if (const EditBlock block = editBlocker(nativePath)) {
                if (failure)
                    *failure = editFailure(block);
                return nullptr;
            }
        }
        if (engine == Engine::OoxmlPackage)
            return ooxml::openWorkbookForEditing(nativePath, failure);
        if (engine == Engine::BiffFile) {
            Failure why;
            auto book = biff::openWorkbookForEditing(nativePath, &why);
            if (book || why.kind != FailureKind::UnsupportedFormat) {
                if (failure)
                    *failure = why;
                return book;
            }
        }
#else
        Q_UNUSED(engine);
#endif
        spreadsheet::Workbooks* office = m_office();
        if (!office) {
            setFailure(failure, FailureKind::NoApplication);
            return nullptr;
        }
        return office->open(nativePath, mode, failure);
    }

private:
    std::function<spreadsheet::Workbooks*()> m_office;
};

// The office of a build without one: it starts nothing and its workbooks
// collection is null, which the runs report as a missing spreadsheet
// application.
class NoOffice : public spreadsheet::Application
{
public:
    void start() override {}
    spreadsheet::Workbooks* workbooks() override { return nullptr; }
    double centimetersToPoints(double centimetres) override { return centimetres / 2.54 * 72.0; }
    void quit() override {}
    bool lost() const override { return false; }
    spreadsheet::Failure lostFailure() const override { return {}; }
    bool restart() override { return false; }
    void setPrintTarget(const spreadsheet::PrintTarget&) override {}
};

std::unique_ptr<spreadsheet::Application> createOffice()
{
#if defined(QUORVANE_OFFICE_COM)
    return windows::createExcelApplication();
#elif defined(QUORVANE_OFFICE_LIBREOFFICE)
    return lo::createLibreOfficeApplication();
#else
    return std::make_unique<NoOffice>();
#endif
}

// Whether the office is started on first use rather than by start().
constexpr bool kLazyOffice =
#if defined(QUORVANE_OFFICE_LIBREOFFICE)
    true;
#else
    false;
#endif

bool officeInstalled()
{
#if defined(QUORVANE_OFFICE_LIBREOFFICE)
    return lo::officeInstalled();
#else
    return true;
#endif
}

// The office application, with its workbooks collection routed.
class RoutingApplication : public spreadsheet::Application
{
public:
    explicit RoutingApplication(std::unique_ptr<spreadsheet::Application> office)
        : m_office(std::move(office)), m_workbooks([this] { return officeWorkbooks(); })
    {}

    void start() override
    {
        m_started = true;
        if (kLazyOffice) {
            m_available = officeInstalled();
            return;
        }
        startOffice();
        m_available = m_officeBooks != nullptr;
    }
    spreadsheet::Workbooks* workbooks() override
    {
        return m_started && m_available ? &m_workbooks : nullptr;
    }
    double centimetersToPoints(double centimetres) override
    {
        return m_office->centimetersToPoints(centimetres);
    }
    void quit() override
    {
        m_started = m_available = m_officeTried = false;
        m_officeBooks = nullptr;
        m_office->quit();
    }
    bool lost() const override { return m_office->lost(); }
    spreadsheet::Failure lostFailure() const override { return m_office->lostFailure(); }
    bool restart() override
    {
        // Only an office that was started can be lost: start a fresh one now.
        m_officeBooks = nullptr;
        m_officeTried = true;
        if (!m_office->restart())
            return false;
        m_officeBooks = m_office->workbooks();
        return m_officeBooks != nullptr;
    }
    void setPrintTarget(const spreadsheet::PrintTarget& target) override
    {
        m_office->setPrintTarget(target);
    }

private:
    void startOffice()
    {
        m_officeTried = true;
        m_office->start();
        m_officeBooks = m_office->workbooks();
    }

    // Started once; an office that failed to start is not tried again for
    // every workbook (restart() tries anew).
    spreadsheet::Workbooks* officeWorkbooks()
    {
        if (!m_started)
            return nullptr;
        if (!m_officeTried)
            startOffice();
        return m_officeBooks;
    }

    std::unique_ptr<spreadsheet::Application> m_office;
    RoutingWorkbooks m_workbooks;
    bool m_started = false;
    bool m_available = false;
    bool m_officeTried = false;
    spreadsheet::Workbooks* m_officeBooks = nullptr;
};

} // namespace

std::unique_ptr<spreadsheet::Application> createSpreadsheetApplication()
{
    return std::make_unique<RoutingApplication>(createOffice());
}

void terminateAllSpreadsheetProcesses()
{
#if defined(QUORVANE_OFFICE_COM)
    windows::terminateExcelProcesses();
#elif defined(QUORVANE_OFFICE_LIBREOFFICE)
    lo::killOfficeProcesses();
#endif
}

} // namespace engines
