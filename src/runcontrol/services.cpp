#include "runcontrol/services.h"

#include "engines/engines.h"
#include "platform/texteditor.h"

namespace runcontrol {

Services desktopServices()
{
    Services services;
    services.environment.createApplication = &engines::createSpreadsheetApplication;
    services.environment.sleep = &runs::sleepMilliseconds;
    services.environment.now = &runs::wallClockSeconds;
    services.environment.showFailedList = &openInTextEditor;
    services.environment.applications = runs::defaultApplications();
    services.endSpreadsheetProcesses = &engines::terminateAllSpreadsheetProcesses;
    services.listPrinters = &printers::systemPrinters;
    return services;
}

} // namespace runcontrol
