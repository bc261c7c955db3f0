// Command line of quorvane-cli: the two commands, their options and the
// checks made on every value before a run may start.  Parsing never touches
// the disk; the checks that need it (the folder, the list file, the printer,
// the PDF folder) are made by runCli.
#pragma once

#include "runs/options.h"
#include "spreadsheet/spreadsheet.h"

#include <QString>
#include <QStringList>

namespace cli {

enum class Command { None, Print, PageSetup };

struct Margin
{
    bool change = false;
    double cm = 0.0;
};

// Everything the command line says, with the window's starting values as
// defaults.
struct CliArguments
{
    Command command = Command::None;
    bool help = false;
    // --version: print the version and nothing else
    bool version = false;
    QString folder;   // as given
    QString listFile; // --list; empty when the folder's own walk is used
    bool quiet = false;
    QString reportFile; // --report: a CSV row per workbook of the run
    bool dryRun = false;

    bool skipEmptySheets = true; // the window's box starts checked
    bool onlyFirstSheet = false;
    bool appointedSheetsOnly = false;
    QString appointedSheetNames;

    // print only
    bool printRangeOnly = false;
    QString printRange;
    QString paperSize = QStringLiteral("默认");
    int sheetDelaySeconds = 0;
    int workbookDelaySeconds = 0;
    spreadsheet::PrintTarget printTarget; // with copies, collate and duplex
    int jobs = 0; // --jobs: spreadsheet programs side by side; 0: one per core

    // page-setup only
    Margin left, right, top, bottom, header, footer;
    bool changeOrientation = false;
    int orientation = spreadsheet::OrientationPortrait;
};

// Parses the arguments after the program name.  On a refusal returns false and
// puts a one-line message naming the offending option (or FOLDER / the
// command) into *error.  --help anywhere wins over every other problem, and
// --version over everything but --help.
bool parseArguments(const QStringList& arguments, CliArguments* result, QString* error);

// The run options the arguments ask for, the way the window fills them at a
// run start.  Folder, list, failure-list path and print target are left for
// the caller, who checks them against the disk first.
runs::SheetSelection sheetSelection(const CliArguments& arguments);
runs::PrintOptions printOptions(const CliArguments& arguments);
runs::PageSetupOptions pageSetupOptions(const CliArguments& arguments);

// The --help text, in the interface language, ending with a line feed.
QString usageText();

// A text of the command line in the interface language (the texts are
// written in English).
QString tr(const char* text);

// Limits shared with the window's controls.
constexpr int maxDelaySeconds = 900;
constexpr double maxMarginCm = 99.99;
constexpr int maxCopies = 999;
constexpr int maxJobs = 64;

} // namespace cli
