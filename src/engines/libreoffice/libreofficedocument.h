// Workbooks, workbooks and their parts as LibreOffice Calc documents.
#pragma once

#include "engines/libreoffice/unosession.h"
#include "spreadsheet/spreadsheet.h"

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

// The LibreOffice filter and FilterOptions that open a CSV file the way Excel
// does: comma-separated, every column as text, UTF-8 when the bytes are valid
// UTF-8, otherwise the 8-bit encoding of the locale.
QString csvFilterOptions(const QByteArray& content);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const QByteArray& bytes);

// True when the file starts like an HTML page or table (what reporting
// systems export under an .xls name).
bool looksLikeHtml(const QString& path);

} // namespace engines::lo
