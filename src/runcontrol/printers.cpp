#include "runcontrol/printers.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QPrinterInfo>

namespace printers {

PrinterList systemPrinters()
{
    PrinterList list;
    list.names = QPrinterInfo::availablePrinterNames();
    list.defaultName = QPrinterInfo::defaultPrinterName();
    return list;
}

TargetCheck prepareTarget(spreadsheet::PrintTarget* target, const QStringList& printerNames)
{
    if (target->kind == spreadsheet::PrintTarget::NamedPrinter) {
        const auto found =
            std::find_if(printerNames.cbegin(), printerNames.cend(), [&](const QString& name) {
                return name.compare(target->name, Qt::CaseInsensitive) == 0;
            });
        if (found == printerNames.cend())
            return TargetCheck::UnknownPrinter;
        target->name = *found;
    } else if (target->kind == spreadsheet::PrintTarget::PdfDirectory) {
        const QString pdfDir = QDir::cleanPath(QFileInfo(target->name).absoluteFilePath());
        if (!QDir().mkpath(pdfDir) || !QFileInfo(pdfDir).isDir())
            return TargetCheck::NoPdfFolder;
        target->name = pdfDir;
    }
    return TargetCheck::Ready;
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
