// What a run is asked to do, as plain values: the sheet selection both runs
// share, the print run's options and the page-setup run's options.  A front
// end fills one of these before the run starts; the run only reads it.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QString>

namespace runs {

// Which sheets of a workbook a run acts on.
struct SheetSelection
{
    bool skipEmptySheets = false;
    bool onlyFirstSheet = false;
    bool appointedSheetsOnly = false;
    QString appointedSheetNames; // names joined by "||", matched exactly
};

struct PrintOptions
{
    QString workbookList;   // one path per line, in printing order
    QString failedListPath; // where the workbooks that failed are listed
    SheetSelection sheets;
    bool printRangeOnly = false;
    QString printRange;
    int sheetDelaySeconds = 0;
    int workbookDelaySeconds = 0;
    QString paperSize; // "默认", "A3", "A4", "A5", "B4" or "B5"
    // With target.countOnly nothing is printed and nobody is waited for: the
    // run counts the pages each sheet would take.
    spreadsheet::PrintTarget target;
};

struct MarginSetting
{
    bool change = false;
    double centimetres = 0.0;
};

struct PageSetupOptions
{
    QString folder;         // every workbook under it is changed
    QString failedListPath; // where the workbooks that failed are listed
    SheetSelection sheets;
    MarginSetting left, right, top, bottom, header, footer;
    bool changeOrientation = false;
    int orientation = spreadsheet::OrientationPortrait;
    // Read every workbook and tell what would change, but change and write
    // nothing (not even a lock file).
    bool dryRun = false;
};

// File name of the list of workbooks that failed, written in the chosen
// folder.
inline QString failedListFileName()
{
    return QStringLiteral("无法打印的文件目录.txt");
}

} // namespace runs
