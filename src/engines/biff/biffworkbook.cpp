#include "engines/biff/biffworkbook.h"

#include "engines/biff/replacefile.h"
#include "engines/biff/workbookstream.h"
#include "engines/compoundfile/compoundfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <memory>
#include <utility>

namespace biff {

using namespace detail;
using cfb::CompoundFile;
using namespace spreadsheet;

namespace {

constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;

QString tr(const char* text)
{
    return QCoreApplication::translate("biff", text);
}

bool fail(Failure* failure, FailureKind kind, const QString& detail)
{
    if (failure)
        *failure = Failure{kind, detail};
    return false;
}

bool readFile(const QString& path, QByteArray* bytes, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// What the workbook, its sheets and their page setups share.
struct BookState
{
    QString path;     // absolute, as given (a link stays a link)
    QByteArray image; // the file as read
    CompoundFile file;
    int streamEntry = -1;
    QByteArray stream; // the Workbook stream
    WorkbookStructure book;
    SharedStrings strings;
    QMap<int, PageSetupValues> changes; // sheet index -> set in this session
    bool closed = false;

    // Reads path into this state; false with *failure when it is no BIFF8
    // workbook this engine can change.
    bool load(Failure* failure);

    void close()
    {
        closed = true;
        image.clear();
        stream.clear();
        book = WorkbookStructure();
        strings = SharedStrings();
        changes.clear();
    }
};

bool BookState::load(Failure* failure)
{
    QString error;
    if (!readFile(path, &image, &error))
        return fail(failure, FailureKind::NotOpened, error);
    switch (file.parse(image, &error)) {
    case CompoundFile::Status::Ok:
        break;
    case CompoundFile::Status::NotCompoundFile:
        return fail(failure, FailureKind::UnsupportedFormat,
                    tr("Not an Excel 97-2003 workbook (no compound file)."));
    case CompoundFile::Status::Damaged:
        return fail(failure, FailureKind::Damaged, error);
    }
    streamEntry = file.child(0, QStringLiteral("Workbook"));
    if (streamEntry < 0 || file.entries().at(streamEntry).type != CompoundFile::Stream) {
        if (file.child(0, QStringLiteral("EncryptedPackage")) >= 0)
            return fail(failure, FailureKind::PasswordProtected,
                        tr("An encrypted Office Open XML workbook."));
        if (file.child(0, QStringLiteral("Book")) >= 0)
            return fail(failure, FailureKind::UnsupportedFormat, tr("An Excel 5.0/95 workbook."));
        return fail(failure, FailureKind::UnsupportedFormat,
                    tr("A compound file without a workbook stream."));
    }
    if (!file.readStream(streamEntry, &stream, &error))
        return fail(failure, FailureKind::Damaged, error);
    switch (readStructure(stream, &book, &error)) {
    case StreamStatus::Ok:
        return true;
    case StreamStatus::NotBiff8:
        return fail(failure, FailureKind::UnsupportedFormat, error);
    case StreamStatus::Encrypted:
        return fail(failure, FailureKind::PasswordProtected, error);
    case StreamStatus::Damaged:
        break;
    }
    return fail(failure, FailureKind::Damaged, error);
}

using StatePtr = std::shared_ptr<BookState>;

class BiffCell : public Cell
{
public:
    explicit BiffCell(QString text) : m_text(std::move(text)) {}
    QString valueText() override { return m_text; }

private:
    QString m_text;
};

class BiffUsedRange : public UsedRange
{
public:
    BiffUsedRange(int row, int column, int rows, int columns)
        : m_row(row), m_column(column), m_rows(rows), m_columns(columns)
    {}
    int row() override { return m_row; }
    int column() override { return m_column; }
    int rowCount() override { return m_rows; }
    int columnCount() override { return m_columns; }

private:
    int m_row, m_column, m_rows, m_columns;
};

class BiffPageSetup : public PageSetup
{
public:
    BiffPageSetup(StatePtr state, int sheet) : m_state(std::move(state)), m_sheet(sheet) {}

    bool setPaperSize(int code) override { return record(&PageSetupValues::paperSize, code); }
    bool setLeftMargin(double points) override { return margin(&PageSetupValues::left, points); }
    bool setRightMargin(double points) override { return margin(&PageSetupValues::right, points); }
    bool setTopMargin(double points) override { return margin(&PageSetupValues::top, points); }
    bool setBottomMargin(double points) override
    {
        return margin(&PageSetupValues::bottom, points);
    }
    bool setHeaderMargin(double points) override
    {
        return margin(&PageSetupValues::header, points);
    }
    bool setFooterMargin(double points) override
    {
        return margin(&PageSetupValues::footer, points);
    }
    bool setOrientation(int orientation) override
    {
        return record(&PageSetupValues::orientation, orientation);
    }
    // The sheet's records, with what this session set on top.
    PageSetupValues current() override
    {
        if (m_state->closed)
            return PageSetupValues();
        PageSetupValues values =
            currentPageSetup(m_state->stream, m_state->book.sheets.at(m_sheet));
        return values.overlaid(m_state->changes.value(m_sheet));
    }

private:
    bool margin(std::optional<double> PageSetupValues::*member, double points)
    {
        return record(member, points / 72.0);
    }

    // Checks the value as save() will, then remembers it.
    template <class T>
    bool record(std::optional<T> PageSetupValues::*member, T value)
    {
        if (m_state->closed)
            return false;
        PageSetupValues single;
        single.*member = value;
        if (!validatePageSetup(single, nullptr))
            return false;
        m_state->changes[m_sheet].*member = value;
        return true;
    }

    StatePtr m_state;
    int m_sheet;
};

class BiffWorksheet : public Worksheet
{
public:
    BiffWorksheet(StatePtr state, int sheet) : m_state(std::move(state)), m_sheet(sheet) {}

    QString name() override
    {
        return m_state->closed ? QString() : m_state->book.sheets.at(m_sheet).name;
    }

    std::unique_ptr<UsedRange> usedRange() override
    {
        if (m_state->closed)
            return nullptr;
        const SheetEntry& s = m_state->book.sheets.at(m_sheet);
        if (s.firstRow < 0)
            return std::make_unique<BiffUsedRange>(1, 1, 1, 1);
        return std::make_unique<BiffUsedRange>(s.firstRow + 1, s.firstColumn + 1,
                                               s.lastRow - s.firstRow + 1,
                                               s.lastColumn - s.firstColumn + 1);
    }

    std::unique_ptr<Cell> cell(int row, int column) override
    {
        if (m_state->closed || row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
            return nullptr;
        const std::optional<QString> text = cellText(m_state->stream, m_state->book, m_sheet,
                                                     row - 1, column - 1, &m_state->strings);
        if (!text)
            return nullptr;
        return std::make_unique<BiffCell>(*text);
    }

    std::unique_ptr<PageSetup> pageSetup() override
    {
        if (m_state->closed)
            return nullptr;
        return std::make_unique<BiffPageSetup>(m_state, m_sheet);
    }

    std::unique_ptr<Range> range(const QString&) override { return nullptr; }
    // BOUNDSHEET8's hsState: 0 visible, 1 hidden, 2 very hidden.
    SheetVisibility visibility() override
    {
        if (m_state->closed)
            return SheetVisibility::Visible;
        switch (m_state->book.sheets.at(m_sheet).state) {
        case 1:
            return SheetVisibility::Hidden;
        case 2:
            return SheetVisibility::VeryHidden;
        default:
            return SheetVisibility::Visible;
        }
    }
    bool hasDrawings() override { return false; }
    // Only for page setup: nothing is printed from the file itself.
    PrintResult printOut() override { return PrintResult::failed(FailureKind::UnsupportedFormat); }
    PrintResult printOut(PrintJob&) override { return printOut(); }

private:
    StatePtr m_state;
    int m_sheet;
};

class BiffWorkbook : public Workbook
{
public:
    explicit BiffWorkbook(StatePtr state) : m_state(std::move(state)) {}
    ~BiffWorkbook() override { m_state->close(); }

    int sheetCount() override { return m_state->closed ? -1 : int(m_state->book.sheets.size()); }

    std::unique_ptr<Worksheet> worksheet(int index) override
    {
        if (m_state->closed || index < 1 || index > m_state->book.sheets.size() ||
            !m_state->book.sheets.at(index - 1).worksheet)
            return nullptr;
        return std::make_unique<BiffWorksheet>(m_state, index - 1);
    }

    bool save(Failure* failure = nullptr) override
    {
        BookState& s = *m_state;
        if (s.closed)
            return fail(failure, FailureKind::SaveFailed, tr("The workbook is closed."));
        QMap<int, PageSetupValues> changes;
        for (auto it = s.changes.cbegin(); it != s.changes.cend(); ++it) {
            QString error;
            if (!validatePageSetup(it.value(), &error))
                return fail(failure, FailureKind::ChangeFailed, error);
            if (!it.value().isEmpty())
                changes.insert(it.key(), it.value());
        }
        if (changes.isEmpty())
            return true;
        QString error;
        QByteArray stream;
        if (!applyPageSetup(s.stream, s.book, changes, &stream, &error))
            return fail(failure, FailureKind::Damaged, error);
        if (stream == s.stream) {
            s.changes.clear();
            return true;
        }
        QByteArray image;
        if (!s.file.withStream(s.streamEntry, stream, &image, &error))
            return fail(failure, FailureKind::Damaged, error);

        // A link keeps being a link: the file it points to is replaced.
        const QString target = QFileInfo(s.path).canonicalFilePath();
        const QString shown = QDir::toNativeSeparators(s.path);
        if (target.isEmpty())
            return fail(failure, FailureKind::SaveFailed, tr("%1 no longer exists.").arg(shown));
        if (isReadOnlyFile(target))
            return fail(failure, FailureKind::ReadOnly, tr("%1 is read-only.").arg(shown));
        QByteArray current;
        if (!readFile(target, &current, &error) || current != s.image)
            return fail(failure, FailureKind::SaveFailed,
                        tr("%1 changed after it was opened.").arg(shown));
        if (!replaceFile(target, image, failure))
            return false;

        // What was written is what the workbook holds now.
        s.image = image;
        s.changes.clear();
        if (s.file.parse(s.image) != CompoundFile::Status::Ok ||
            !s.file.readStream(s.streamEntry, &s.stream) ||
            readStructure(s.stream, &s.book) != StreamStatus::Ok)
            s.close();
        s.strings = SharedStrings();
        return true;
    }

    void close() override { m_state->close(); }
    // Opened for its page setup only: nothing of it is printed.
    std::unique_ptr<PrintJob> printJob() override { return nullptr; }

private:
    StatePtr m_state;
};

} // namespace

std::unique_ptr<Workbook> openWorkbookForEditing(const QString& path, Failure* failure)
{
    auto state = std::make_shared<BookState>();
    state->path = QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath();
    if (!state->load(failure))
        return nullptr;
    return std::make_unique<BiffWorkbook>(state);
}

} // namespace biff
