// Writes page setup values straight into an .xlsx/.xlsm package: only the
// <pageMargins> and <pageSetup> elements of the named sheets change; every
// other entry of the zip is copied as it was.  The new package is written to a
// temporary file in the same folder and renamed over the original (keeping its
// permissions) only once complete.
#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace ooxml {

struct SheetPageSetup
{
    // Margins in inches, as Excel stores them.
    std::optional<double> left, right, top, bottom, header, footer;
    std::optional<int> orientation; // 1 portrait, 2 landscape
    std::optional<int> paperSize;   // Excel's paper size code

    bool isEmpty() const
    {
        return !left && !right && !top && !bottom && !header && !footer && !orientation &&
               !paperSize;
    }
};

// changes: sheet name (as in the workbook) -> what to set.  Returns false with
// a message when the package cannot be read, a named sheet is missing, or the
// new file cannot be written; the original is then left untouched.
bool applyPageSetup(const QString& path, const QMap<QString, SheetPageSetup>& changes,
                    QString* error = nullptr);

} // namespace ooxml
