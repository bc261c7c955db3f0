// The command-line front end as a function: parses the arguments, checks
// everything that can be checked before a run starts, then runs the batch
// print run or the batch page-setup run with the same run logic the window
// uses, writing progress to err and the final report to out.  main() calls it
// with the real spreadsheet application and the system's printer list; the
// tests call it with the recording fake.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QTextStream;

namespace cli {

enum ExitCode {
    ExitDone = 0,          // every workbook done
    ExitFailures = 1,      // some workbooks failed to open, or the range was refused
    ExitUsage = 2,         // bad command line; nothing was started
    ExitNoApplication = 3, // no usable spreadsheet application
    ExitInterrupted = 130, // SIGINT or SIGTERM
};

using AppFactory = std::function<std::unique_ptr<spreadsheet::Application>()>;

struct PrinterQuery
{
    bool ok = false;   // false when the list could not be had
    QStringList names; // printer (destination) names
    QString error;     // why not, when !ok
};
using PrinterLister = std::function<PrinterQuery()>;

// The printers the system knows, from Qt's print support.
PrinterQuery systemPrinters();

// The text of a workbook list file: UTF-8 when the bytes are valid UTF-8 (a
// leading byte-order mark is dropped), the local 8-bit encoding otherwise;
// CR LF line ends become LF.
QString decodeListFile(const QByteArray& bytes);

int runCli(const QStringList& arguments, const AppFactory& createApplication, QTextStream& out,
           QTextStream& err, const PrinterLister& listPrinters);

} // namespace cli
