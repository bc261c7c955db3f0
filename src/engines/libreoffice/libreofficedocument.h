// Workbooks, workbooks and their parts as LibreOffice Calc documents.
#pragma once

#include "engines/libreoffice/unosession.h"
#include "spreadsheet/spreadsheet.h"

#include <QVector>

#include <memory>

namespace engines::lo {

// The engine implements the spreadsheet interface; its names are used bare.
using namespace ::spreadsheet;

class LoWorkbooks : public Workbooks
{
public:
    explicit LoWorkbooks(std::shared_ptr<UnoSession> session) : m_session(std::move(session)) {}
    void setSession(std::shared_ptr<UnoSession> session) { m_session = std::move(session); }

    std::unique_ptr<Workbook> open(const QString& nativePath, OpenMode mode,
                                   Failure* failure = nullptr) override;

private:
    std::shared_ptr<UnoSession> m_session;
};

// How a CSV file is opened so that it shows as the people who made it saw
// it: in its own character set, numbers as numbers (right-aligned, with the
// decimals they were written with), and every other value as the text it is
// (leading zeros, long digit strings, formula-like texts never evaluated).
struct CsvLayout
{
    int encoding = 0;      // the office's text encoding number
    QString filterOptions; // for the office's CSV filter
    // Per column: -1 text; 0 numbers as the spreadsheet shows them; n > 0
    // numbers shown with n decimals, as every value of the column has.
    QVector<int> decimals;
};
CsvLayout csvLayout(const QByteArray& content);

// The character set of a CSV file, as the office's encoding number: a byte
// order mark, else valid UTF-8, else what a charset detector finds when it
// can be sure; when it cannot, the code page of the system's language, then
// GB18030, whichever reads the bytes without error and, for a multi-byte
// set, without ideographs inside Latin words.
int csvEncoding(const QByteArray& content);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const QByteArray& bytes);

// True when the file starts like an HTML page or table (what reporting
// systems export under an .xls name).
bool looksLikeHtml(const QString& path);

} // namespace engines::lo
