#include "engines/ooxml/workbookfile.h"

#include "engines/compoundfile/compoundfile.h"
#include "engines/ooxml/package.h"
#include "platform/editblocker.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <cstring>

namespace ooxml {

using namespace detail;
using spreadsheet::Failure;
using spreadsheet::FailureKind;
using spreadsheet::SheetVisibility;

namespace {

quint16 u16(const QByteArray& data, int at)
{
    return at >= 0 && at + 2 <= data.size() ? qFromLittleEndian<quint16>(data.constData() + at) : 0;
}

quint32 u32(const QByteArray& data, int at)
{
    return at >= 0 && at + 4 <= data.size() ? qFromLittleEndian<quint32>(data.constData() + at) : 0;
}

SheetVisibility visibilityOf(int state)
{
    switch (state) {
    case 1:
        return SheetVisibility::Hidden;
    case 2:
        return SheetVisibility::VeryHidden;
    default:
        return SheetVisibility::Visible;
    }
}

// Record types of the BIFF workbook stream.
enum : quint16 {
    kBof = 0x0809,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kBoundSheet = 0x0085,
    kWsBool = 0x0081,
};

// Whether the worksheet substream that starts at offset is a dialog sheet:
// dialog sheets are worksheets whose WSBOOL record has fDialog set.
bool isDialogSubstream(const QByteArray& stream, int offset)
{
    int at = offset;
    for (int n = 0; n < 200 && at + 4 <= stream.size(); ++n) {
        const quint16 type = u16(stream, at);
        const int length = u16(stream, at + 2);
        if (n == 0 && type != kBof)
            return false;
        if (type == kWsBool)
            return (u16(stream, at + 4) & 0x0010) != 0;
        if (type == kEof)
            return false;
        at += 4 + length;
    }
    return false;
}

// The globals of a BIFF5/BIFF8 workbook stream: FILEPASS and the sheet list.
void readWorkbookStream(const QByteArray& stream, WorkbookFile* file)
{
    if (u16(stream, 0) != kBof)
        return;
    const bool biff8 = u16(stream, 4) == 0x0600;
    file->workbook = true;
    QVector<quint32> offsets;
    for (int at = 0; at + 4 <= stream.size();) {
        const quint16 type = u16(stream, at);
        const int length = u16(stream, at + 2);
        const QByteArray data = stream.mid(at + 4, length);
        at += 4 + length;
        if (type == kEof)
            break;
        if (type == kFilePass) {
            // What follows is encrypted: the sheet names cannot be read.
            file->encrypted = true;
            file->sheets.clear();
            return;
        }
        if (type != kBoundSheet || data.size() < 8)
            continue;
        SheetFacts sheet;
        sheet.visibility = visibilityOf(data.at(4) & 0x03);
        switch (quint8(data.at(5))) {
        case 0:
            sheet.kind = SheetKind::Worksheet;
            break;
        case 1:
            sheet.kind = SheetKind::MacroSheet;
            break;
        case 2:
            sheet.kind = SheetKind::ChartSheet;
            break;
        default:
            sheet.kind = SheetKind::Other;
            break;
        }
        const int count = quint8(data.at(6));
        if (biff8 && (data.at(7) & 0x01))
            sheet.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData() + 8),
                                            qMin(count, int(data.size() - 8) / 2));
        else if (biff8)
            sheet.name = QString::fromLatin1(data.mid(8, count));
        else
            sheet.name = QString::fromLocal8Bit(data.mid(7, count));
        file->sheets.append(sheet);
        offsets.append(u32(data, 0));
    }
    for (int i = 0; i < file->sheets.size(); ++i) {
        if (file->sheets[i].kind == SheetKind::Worksheet &&
            isDialogSubstream(stream, int(qMin<quint32>(offsets[i], INT_MAX))))
            file->sheets[i].kind = SheetKind::DialogSheet;
    }
}

void readCompoundFile(const QByteArray& bytes, WorkbookFile* file)
{
    cfb::CompoundFile compound;
    if (compound.parse(bytes) != cfb::CompoundFile::Status::Ok) {
        file->error = QStringLiteral("damaged compound file");
        return;
    }
    const auto has = [&compound](const char* name) {
        return compound.child(0, QLatin1String(name)) >= 0;
    };
    if (has("EncryptedPackage") && has("EncryptionInfo")) {
        file->workbook = true;
        file->encrypted = true;
        return;
    }
    QByteArray stream;
    for (const char* name : {"Workbook", "Book"}) {
        const int entry = compound.child(0, QLatin1String(name));
        if (entry >= 0 && compound.readStream(entry, &stream) && !stream.isEmpty())
            break;
    }
    readWorkbookStream(stream, file);
    if (!file->workbook)
        file->error = QStringLiteral("compound file without a workbook stream");
}

SheetKind kindOfRelationship(const QString& type)
{
    if (type.endsWith(QLatin1String("/worksheet")))
        return SheetKind::Worksheet;
    if (type.endsWith(QLatin1String("/chartsheet")))
        return SheetKind::ChartSheet;
    if (type.endsWith(QLatin1String("/dialogsheet")))
        return SheetKind::DialogSheet;
    if (type.endsWith(QLatin1String("/xlMacrosheet")) ||
        type.endsWith(QLatin1String("/xlIntlMacrosheet")))
        return SheetKind::MacroSheet;
    return SheetKind::Other;
}

void readPackage(const QString& path, WorkbookFile* file)
{
    int code = 0;
    Archive archive(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
    if (!archive) {
        file->error = zipErrorText(code);
        return;
    }
    WorkbookStructure book;
    QString error;
    if (!readWorkbookStructure(archive.get(), &book, &error)) {
        file->binaryPackage = book.workbookPart.endsWith(QLatin1String(".bin"));
        file->workbook = file->binaryPackage;
        file->error = error;
        return;
    }
    file->workbook = true;
    for (const SheetEntry& entry : std::as_const(book.sheets)) {
        SheetFacts sheet;
        sheet.name = entry.name;
        sheet.visibility = entry.visibility();
        const Relationship* rel = book.relationshipOf(entry);
        sheet.kind = rel ? kindOfRelationship(rel->type) : SheetKind::Other;
        const QString part = book.partOf(entry);
        sheet.partMissing = !part.isEmpty() && locate(archive.get(), part) < 0;
        file->sheets.append(sheet);
    }
}

bool looksLikeText(const QByteArray& head)
{
    if (head.contains('\0'))
        return false;
    int control = 0;
    for (const char c : head) {
        const uchar u = uchar(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f')
            ++control;
    }
    return control * 50 < head.size();
}

} // namespace

const SheetFacts* sheetWithoutPart(const WorkbookFile& file)
{
    for (const SheetFacts& sheet : file.sheets) {
        if (sheet.partMissing)
            return &sheet;
    }
    return nullptr;
}

WorkbookFile inspectWorkbookFile(const QString& path)
{
    WorkbookFile file;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        const int error = errno;
        file.content = WorkbookFile::Unreadable;
        file.error = QFileInfo(path).isDir() ? QStringLiteral("a folder, not a file")
                                             : QString::fromLocal8Bit(std::strerror(error));
        return file;
    }
    const QByteArray head = f.read(4096);
    if (head.isEmpty()) {
        file.content = f.size() == 0 ? WorkbookFile::Empty : WorkbookFile::Unreadable;
        if (file.content == WorkbookFile::Unreadable)
            file.error = f.errorString();
        return file;
    }
    if (head.startsWith("PK")) {
        file.content = WorkbookFile::Package;
        readPackage(path, &file);
    } else if (cfb::hasCompoundFileSignature(head)) {
        file.content = WorkbookFile::CompoundFile;
        // Mapped, not read: a large .xls is only touched where it is parsed.
        const qint64 size = f.size();
        uchar* mapped = size < INT_MAX ? f.map(0, size) : nullptr;
        if (mapped)
            readCompoundFile(
                QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), int(size)), &file);
        else
            file.error = f.errorString();
    } else {
        QByteArray text = head;
        if (text.startsWith("\xEF\xBB\xBF"))
            text.remove(0, 3);
        text = text.trimmed().toLower();
        if (text.startsWith('<') && (text.contains("<html") || text.contains("<table")))
            file.content = WorkbookFile::Html;
        else if (looksLikeText(head))
            file.content = WorkbookFile::Text;
    }
    return file;
}

Failure unopenedReason(const WorkbookFile& file)
{
    switch (file.content) {
    case WorkbookFile::Unreadable:
        return {FailureKind::NotOpened, file.error};
    case WorkbookFile::Empty:
        return {FailureKind::Damaged, QStringLiteral("empty file")};
    case WorkbookFile::Package:
    case WorkbookFile::CompoundFile:
        if (file.encrypted)
            return {FailureKind::PasswordProtected, {}};
        if (file.binaryPackage)
            return {FailureKind::UnsupportedFormat,
                    QStringLiteral("Excel binary workbook (.xlsb)")};
        return {FailureKind::Damaged, file.error};
    case WorkbookFile::Html:
        return {FailureKind::Damaged, QStringLiteral("HTML page without a readable table")};
    case WorkbookFile::Text:
        return {FailureKind::Damaged, QStringLiteral("plain text, not a workbook")};
    case WorkbookFile::Unknown:
        break;
    }
    return {FailureKind::Damaged, QStringLiteral("not a workbook")};
}

} // namespace ooxml
