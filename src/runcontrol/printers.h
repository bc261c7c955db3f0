// The system's printers as Qt's print support sees them (CUPS on Linux), for
// the window's printer choice and the command line's --printer check, and
// the remembered print target as one settings value.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace printers {

struct PrinterList
{
    QStringList names;   // in the order the print system lists them
    QString defaultName; // empty when no printer is the default
};

// Asks the print system now; works without a GUI application object.
PrinterList systemPrinters();

// Makes a print target ready just before a run: a named printer must be one
// of printerNames, asked for now (it takes the listed spelling: CUPS names
// ignore letter case), and a PDF folder is made absolute and created.
enum class TargetCheck { Ready, UnknownPrinter, NoPdfFolder };
TargetCheck prepareTarget(spreadsheet::PrintTarget* target, const QStringList& printerNames);

// The settings value of a print target: "printer:NAME", "pdf:FOLDER" (with
// "/" separators) or "default".
QByteArray targetSettingValue(const spreadsheet::PrintTarget& target);
// The target a settings value names; false (target unchanged) for a value
// that names none.
bool targetFromSettingValue(const QByteArray& value, spreadsheet::PrintTarget* target);

} // namespace printers
