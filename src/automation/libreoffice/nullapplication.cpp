// The application of a build without LibreOffice: it starts nothing and its
// workbooks collection is null, which the runs report as a missing
// spreadsheet application.
#include "automation/application.h"

namespace automation {

namespace {

class NullApplication : public Application
{
public:
    void start() override {}
    Workbooks* workbooks() override { return nullptr; }
    double centimetersToPoints(double centimetres) override { return centimetres / 2.54 * 72.0; }
    void quit() override {}
    bool lost() const override { return false; }
    bool restart() override { return false; }
    void setPrintTarget(const PrintTarget&) override {}
};

} // namespace

std::unique_ptr<Application> createSpreadsheetApplication()
{
    return std::make_unique<NullApplication>();
}

void terminateAllSpreadsheetProcesses() {}

} // namespace automation
