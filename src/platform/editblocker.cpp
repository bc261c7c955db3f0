// Reading who holds a lock file; the same on every platform.
#include "platform/editblocker.h"

#include <QStringList>
#include <QtEndian>
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

namespace {

// A name fit to show: control characters dropped, padding trimmed, at most
// 64 characters (a lock file of another kind must not fill a message).
QString cleanName(const QString& raw)
{
    QString name;
    for (const QChar c : raw) {
        if (c.isPrint() || c == QLatin1Char(' '))
            name.append(c);
    }
    name = name.trimmed();
    return name.left(64);
}

bool isUtf8(const QByteArray& bytes)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder decoder(QStringDecoder::Utf8);
    (void)decoder.decode(bytes);
    return !decoder.hasError();
#else
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0;
#endif
}

// Text in the system code page of a Windows machine: UTF-8 when it is valid
// UTF-8, otherwise GB18030 (the code page of the users this tool is made for,
// and a superset of GBK), otherwise Latin-1.
QString decodeAnsi(const QByteArray& bytes)
{
    if (isUtf8(bytes))
        return QString::fromUtf8(bytes);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder decoder("GB18030");
    if (decoder.isValid()) {
        const QString text = decoder.decode(bytes);
        if (!decoder.hasError())
            return text;
    }
#else
    if (QTextCodec* codec = QTextCodec::codecForName("GB18030")) {
        QTextCodec::ConverterState state;
        const QString text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
        if (state.invalidChars == 0)
            return text;
    }
#endif
    return QString::fromLatin1(bytes);
}

} // namespace

QString libreOfficeLockHolder(const QByteArray& contents)
{
    const QString text = QString::fromUtf8(contents.left(4096));
    QStringList fields;
    QString field;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            field.append(text.at(++i));
        } else if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            fields << field;
            field.clear();
            if (c == QLatin1Char(';') || fields.size() >= 2)
                break;
        } else {
            field.append(c);
        }
    }
    if (fields.size() < 2)
        fields << field;
    // The full name the user gave the office, else the system user name.
    for (const QString& candidate : std::as_const(fields)) {
        const QString name = cleanName(candidate);
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

QString excelOwnerFileHolder(const QByteArray& contents)
{
    // The UTF-16 copy first: it holds any name exactly.
    const int wide =
        contents.size() >= 56 ? qFromLittleEndian<quint16>(contents.constData() + 54) : 0;
    if (wide >= 1 && wide <= 54 && 56 + 2 * wide <= contents.size()) {
        const QString name = cleanName(
            QString::fromUtf16(reinterpret_cast<const char16_t*>(contents.constData() + 56), wide));
        if (name.size() == wide)
            return name;
    }
    const int narrow = contents.isEmpty() ? 0 : quint8(contents.at(0));
    if (narrow >= 1 && narrow <= 53 && 1 + narrow <= contents.size())
        return cleanName(decodeAnsi(contents.mid(1, narrow)));
    return QString();
}

spreadsheet::Failure editFailure(const EditBlock& block)
{
    using spreadsheet::FailureKind;
    switch (block.kind) {
    case EditBlock::None:
        break;
    case EditBlock::LockedByOther:
        return {FailureKind::LockedByOther, block.holder.isEmpty() ? block.detail : block.holder};
    case EditBlock::NotWritable:
        return {FailureKind::ReadOnly, block.detail};
    }
    return {};
}
