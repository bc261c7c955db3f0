// Helpers for the end-to-end tests: what the printer produced, what is inside
// a zip package, which processes this test started.
#pragma once

#include "runs/options.h"

#include <QByteArray>
#include <QMap>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace e2e {

// Folder cups-pdf writes into (QUORVANE_PDF_DIR), or empty when printing to a
// PDF printer is not set up.
QString pdfPrinterFolder();

// PDF files in folder, by file name.
QStringList pdfFiles(const QString& folder);

struct PdfInfo
{
    int pages = 0;
    double width = 0;    // first page, points
    double height = 0;   // first page, points
    QList<QSizeF> sizes; // every page, points
};
PdfInfo pdfInfo(const QString& path);

// The files of print jobs that cups-pdf wrote into folder, named after a
// document whose name starts with one of prefixes, in the order the print system
// took the jobs (by job id); each complete before it is listed.  Waits up to
// timeoutMs for count of them, and a little longer for any extra one.
QStringList spooledJobs(const QString& folder, const QStringList& prefixes, int count,
                        const QStringList& before = {}, int timeoutMs = 60000);

// Entry name -> uncompressed bytes of every entry of a zip package.
QMap<QString, QByteArray> zipEntries(const QString& path);

// Value of attribute attr of the first element named element in xml, or an
// empty string.
QString xmlAttribute(const QByteArray& xml, const QString& element, const QString& attr);

// Number of running processes with that executable name whose parent is this
// process.
int childProcessesNamed(const QByteArray& name);

// Runs LibreOffice's own converter with a private profile: converts input into
// outDir with the given filter ("xls", "csv", "xlsx").  False on failure.
bool sofficeConvert(const QString& input, const QString& filter, const QString& outDir);

QByteArray fileBytes(const QString& path);

// Runs a print run (or a page-setup run) with those options in a worker object
// of its own thread, as the window does, on the desktop's spreadsheet
// application (the failure list is not shown), and returns its progress texts
// once it has reported its end.  Empty when the run did not end within the
// time limit.
QStringList runWorker(const runs::PrintOptions& options, int timeoutMs = 240000);
QStringList runWorker(const runs::PageSetupOptions& options, int timeoutMs = 240000);

// Page setup of one sheet as stored in an .xls file (BIFF8): margins in
// inches (-1 when the record is missing), orientation and paper code.
struct XlsPageSetup
{
    QString sheetName;
    double left = -1, right = -1, top = -1, bottom = -1, header = -1, footer = -1;
    bool landscape = false;
    int paperSize = 0;
};

// Reads the page setup records of every worksheet of an .xls file: the
// workbook stream is taken out of the compound file with libgsf's `gsf cat`
// and its records walked here.  Empty when the file cannot be read.
QList<XlsPageSetup> xlsPageSetups(const QString& path);

} // namespace e2e
