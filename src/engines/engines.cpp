// Which engine opens which file for which purpose, in one place:
//
//   purpose     file            engine
//   printing    any workbook    the office
//   page setup  .xlsx, .xlsm    the OOXML package writer (Linux): only the page
//                               setup elements of the package change
//   page setup  anything else   the office, saving in the file's own format
//
// Inspecting the page setup (a page-setup dry run) reads each file through
// the engine that would change it, which writes nothing until it saves.
//
// On Windows the office is Excel (or WPS), which saves every format without
// loss, so it serves everything.
#include "engines/engines.h"

#if defined(QUORVANE_OFFICE_COM)
#include "engines/windows/excel.h"
#elif defined(QUORVANE_OFFICE_LIBREOFFICE)
#include "engines/libreoffice/libreoffice.h"
#endif

#ifdef QUORVANE_OOXML_ENGINE
#include "engines/ooxml/ooxmlworkbook.h"
#include "platform/editblocker.h"

#include <QFileInfo>
#endif

namespace engines {

namespace {

using spreadsheet::OpenMode;

enum class Engine { Office, OoxmlPackage };

Engine engineFor(const QString& path, OpenMode mode)
{
#ifdef QUORVANE_OOXML_ENGINE
    if (mode == OpenMode::ForEditing || mode == OpenMode::Inspect) {
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xlsm"))
            return Engine::OoxmlPackage;
    }
#else
    Q_UNUSED(path);
    Q_UNUSED(mode);
#endif
    return Engine::Office;
}

class RoutingWorkbooks : public spreadsheet::Workbooks
{
public:
    void setOffice(spreadsheet::Workbooks* office) { m_office = office; }

    std::unique_ptr<spreadsheet::Workbook> open(const QString& nativePath, OpenMode mode,
                                                spreadsheet::Failure* failure = nullptr) override
    {
        switch (engineFor(nativePath, mode)) {
        case Engine::OoxmlPackage:
#ifdef QUORVANE_OOXML_ENGINE
            if (mode == OpenMode::ForEditing && editBlocker(nativePath))
                return nullptr;
            return ooxml::openWorkbookForEditing(nativePath);
#endif
        case Engine::Office:
            break;
        }
        return m_office ? m_office->open(nativePath, mode, failure) : nullptr;
    }

private:
    spreadsheet::Workbooks* m_office = nullptr;
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

// The office application, with its workbooks collection routed.
class RoutingApplication : public spreadsheet::Application
{
public:
    explicit RoutingApplication(std::unique_ptr<spreadsheet::Application> office)
        : m_office(std::move(office))
    {}

    void start() override { m_office->start(); }
    spreadsheet::Workbooks* workbooks() override
    {
        spreadsheet::Workbooks* office = m_office->workbooks();
        if (!office)
            return nullptr;
        m_workbooks.setOffice(office);
        return &m_workbooks;
    }
    double centimetersToPoints(double centimetres) override
    {
        return m_office->centimetersToPoints(centimetres);
    }
    void quit() override
    {
        m_workbooks.setOffice(nullptr);
        m_office->quit();
    }
    bool lost() const override { return m_office->lost(); }
    spreadsheet::Failure lostFailure() const override { return m_office->lostFailure(); }
    bool restart() override
    {
        m_workbooks.setOffice(nullptr);
        return m_office->restart();
    }
    void setPrintTarget(const spreadsheet::PrintTarget& target) override
    {
        m_office->setPrintTarget(target);
    }

private:
    std::unique_ptr<spreadsheet::Application> m_office;
    RoutingWorkbooks m_workbooks;
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
