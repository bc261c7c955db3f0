// The byte-level editing behind ooxml::applyPageSetup: rewrites the
// <pageMargins> and <pageSetup> children of one sheet part and leaves every
// other byte of the part as it was.
#pragma once

#include "engines/ooxml/ooxmlpagesetup.h"

#include <QByteArray>
#include <QString>

namespace ooxml {

// Excel's margins when a sheet has none, in inches: left, right, top, bottom,
// header, footer.  Used to fill the attributes the schema requires when a
// <pageMargins> element has to be created.
constexpr double kDefaultMargins[6] = {0.7, 0.7, 0.75, 0.75, 0.3, 0.3};

// A number as Excel writes it into the part: the shortest text of up to 15
// significant digits, "." as decimal point whatever the locale.
QByteArray formatXmlNumber(double value);

// Checks the values of one sheet's changes (margins finite and not negative,
// orientation 1 or 2, a positive paper code).
bool validatePageSetup(const SheetPageSetup& setup, QString* error);

// Applies setup to a worksheet, chartsheet or dialogsheet part (UTF-8).  On
// success *out holds the new part, equal to xml when nothing had to change.
// Missing elements are inserted where the part's schema puts them.  Fails on
// anything that is not a well-formed sheet part of the SpreadsheetML main
// namespace.
bool patchSheetPart(const QByteArray& xml, const SheetPageSetup& setup, QByteArray* out,
                    QString* error);

} // namespace ooxml
