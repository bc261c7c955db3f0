// Everything a run needs from the window: filled by the window in the GUI
// thread just before it signals the worker, only read by the worker, except
// for the two flags, which the window writes while a print run goes on.
#pragma once

#include <QString>

#include <atomic>

struct RunOptions
{
    QString sourceFolder;   // folder edit, as typed
    QString workbookList;   // list edit, trimmed (print run only)
    QString failedListPath; // sourceFolder + "/无法打印的文件目录.txt"

    bool skipEmptySheets = false;
    bool appointedSheetsOnly = false;
    QString appointedSheetNames; // names joined by "||"
    bool onlyFirstSheet = false;
    bool printRangeOnly = false;
    QString printRange;
    int sheetDelaySeconds = 0;
    int workbookDelaySeconds = 0;
    QString paperSize; // "默认", "A3", "A4", "A5", "B4" or "B5"

    std::atomic<bool> pauseRequested{false};
    std::atomic<bool> stopRequested{false};
    // Set when the program is quitting: both runs end after the workbook in
    // hand (the print run also at its sheet checkpoints), whatever the user's
    // pause and stop buttons say.
    std::atomic<bool> quitRequested{false};

    bool changeLeftMargin = false;
    double leftMarginCm = 0.0;
    bool changeRightMargin = false;
    double rightMarginCm = 0.0;
    bool changeTopMargin = false;
    double topMarginCm = 0.0;
    bool changeBottomMargin = false;
    double bottomMarginCm = 0.0;
    bool changeHeaderMargin = false;
    double headerMarginCm = 0.0;
    bool changeFooterMargin = false;
    double footerMarginCm = 0.0;
    bool changeOrientation = false;
    int orientation = 1; // 1 portrait, 2 landscape
};

// The process-wide record the window fills and the worker reads.
inline RunOptions& runOptions()
{
    static RunOptions options;
    return options;
}

// File name of the list of workbooks that could not be opened, written in the
// chosen folder.
inline QString failedListFileName()
{
    return QStringLiteral("无法打印的文件目录.txt");
}
