#include "runcontrol/printers.h"

#include <QDir>
#include <QPrinterInfo>

namespace printers {

PrinterList systemPrinters()
{
    PrinterList list;
    list.names = QPrinterInfo::availablePrinterNames();
    list.defaultName = QPrinterInfo::defaultPrinterName();
    return list;
}

namespace {
const QByteArray printerPrefix = QByteArrayLiteral("printer:");
const QByteArray pdfPrefix = QByteArrayLiteral("pdf:");
const QByteArray defaultValue = QByteArrayLiteral("default");
} // namespace

QByteArray targetSettingValue(const spreadsheet::PrintTarget& target)
{
    switch (target.kind) {
    case spreadsheet::PrintTarget::NamedPrinter:
        return printerPrefix + target.name.toLocal8Bit();
    case spreadsheet::PrintTarget::PdfDirectory:
        return pdfPrefix + QDir::fromNativeSeparators(target.name).toLocal8Bit();
    case spreadsheet::PrintTarget::DefaultPrinter:
        break;
    }
    return defaultValue;
}

bool targetFromSettingValue(const QByteArray& value, spreadsheet::PrintTarget* target)
{
    spreadsheet::PrintTarget result = *target;
    if (value.startsWith(printerPrefix) && value.size() > printerPrefix.size()) {
        result.kind = spreadsheet::PrintTarget::NamedPrinter;
        result.name = QString::fromLocal8Bit(value.mid(printerPrefix.size()));
    } else if (value.startsWith(pdfPrefix) && value.size() > pdfPrefix.size()) {
        result.kind = spreadsheet::PrintTarget::PdfDirectory;
        result.name = QString::fromLocal8Bit(value.mid(pdfPrefix.size()));
    } else if (value == defaultValue) {
        result.kind = spreadsheet::PrintTarget::DefaultPrinter;
        result.name.clear();
    } else {
        return false;
    }
    *target = result;
    return true;
}

} // namespace printers
