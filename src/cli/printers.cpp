#include "cli/clirun.h"

#include "runcontrol/printers.h"

namespace cli {

PrinterQuery systemPrinters()
{
    // The same list the window offers, from Qt's print support (CUPS here).
    // It has no error of its own to tell: a print system that cannot be
    // reached lists no printer.
    PrinterQuery query;
    query.names = printers::systemPrinters().names;
    query.ok = true;
    return query;
}

} // namespace cli
