#include "app/printtargetchoice.h"

#include <QComboBox>
#include <QDir>

namespace {

// Item data: the target kind (or chooseFolder) and the printer or folder.
constexpr int KindRole = Qt::UserRole;
constexpr int NameRole = Qt::UserRole + 1;
constexpr int chooseFolder = -1;

QString pdfEntryText(const QString& folder)
{
    return PrintTargetChoice::tr("PDF 文件夹：%1").arg(QDir::toNativeSeparators(folder));
}

} // namespace

PrintTargetChoice::PrintTargetChoice(QComboBox* combo, FolderAsker askFolder, QObject* parent)
    : QObject(parent), m_combo(combo), m_askFolder(std::move(askFolder))
{
    connect(m_combo, QOverload<int>::of(&QComboBox::activated), this,
            &PrintTargetChoice::onActivated);
}

void PrintTargetChoice::fill(const printers::PrinterList& printers,
                             const std::optional<spreadsheet::PrintTarget>& remembered)
{
    m_combo->clear();
    for (const QString& name : printers.names) {
        const QString text = name == printers.defaultName ? tr("%1（默认）").arg(name) : name;
        m_combo->addItem(text);
        m_combo->setItemData(m_combo->count() - 1, int(spreadsheet::PrintTarget::NamedPrinter),
                             KindRole);
        m_combo->setItemData(m_combo->count() - 1, name, NameRole);
    }
    if (printers.names.isEmpty()) {
        m_combo->addItem(tr("默认打印机"));
        m_combo->setItemData(0, int(spreadsheet::PrintTarget::DefaultPrinter), KindRole);
    }
    m_combo->addItem(tr("PDF 文件夹..."));
    m_combo->setItemData(m_combo->count() - 1, chooseFolder, KindRole);

    int selected = -1;
    if (remembered) {
        selected = findTarget(*remembered);
        if (selected < 0 && remembered->kind == spreadsheet::PrintTarget::NamedPrinter) {
            // Kept, not replaced by another printer: a run to it is refused
            // with a message until another target is chosen.
            selected = chooseFolderIndex();
            m_combo->insertItem(selected, tr("%1（不可用）").arg(remembered->name));
            m_combo->setItemData(selected, int(spreadsheet::PrintTarget::NamedPrinter), KindRole);
            m_combo->setItemData(selected, remembered->name, NameRole);
        } else if (selected < 0 && remembered->kind == spreadsheet::PrintTarget::PdfDirectory) {
            selectPdfFolder(remembered->name);
            selected = m_combo->currentIndex();
        }
    }
    if (selected < 0 && !printers.defaultName.isEmpty())
        selected = findTarget({spreadsheet::PrintTarget::NamedPrinter, printers.defaultName});
    m_combo->setCurrentIndex(selected < 0 ? 0 : selected);
    m_lastIndex = m_combo->currentIndex();
    m_combo->setToolTip(m_combo->currentText());
}

spreadsheet::PrintTarget PrintTargetChoice::current() const
{
    spreadsheet::PrintTarget target;
    const int kind = m_combo->currentData(KindRole).toInt();
    if (kind == chooseFolder)
        return target;
    target.kind = spreadsheet::PrintTarget::Kind(kind);
    target.name = m_combo->currentData(NameRole).toString();
    return target;
}

int PrintTargetChoice::findTarget(const spreadsheet::PrintTarget& target) const
{
    for (int i = 0; i < m_combo->count(); ++i) {
        if (m_combo->itemData(i, KindRole).toInt() != int(target.kind))
            continue;
        const QString name = m_combo->itemData(i, NameRole).toString();
        // Printer names ignore letter case in CUPS.
        const Qt::CaseSensitivity cs = target.kind == spreadsheet::PrintTarget::NamedPrinter
                                           ? Qt::CaseInsensitive
                                           : Qt::CaseSensitive;
        if (target.kind == spreadsheet::PrintTarget::DefaultPrinter ||
            name.compare(target.name, cs) == 0)
            return i;
    }
    return -1;
}

int PrintTargetChoice::chooseFolderIndex() const
{
    return m_combo->findData(chooseFolder, KindRole);
}

void PrintTargetChoice::selectPdfFolder(const QString& folder)
{
    int index = m_combo->findData(int(spreadsheet::PrintTarget::PdfDirectory), KindRole);
    if (index < 0) {
        index = chooseFolderIndex();
        m_combo->insertItem(index, QString());
        m_combo->setItemData(index, int(spreadsheet::PrintTarget::PdfDirectory), KindRole);
    }
    const QString clean = QDir::fromNativeSeparators(folder);
    m_combo->setItemText(index, pdfEntryText(clean));
    m_combo->setItemData(index, clean, NameRole);
    m_combo->setItemData(index, QDir::toNativeSeparators(clean), Qt::ToolTipRole);
    m_combo->setCurrentIndex(index);
}

void PrintTargetChoice::onActivated(int index)
{
    if (m_combo->itemData(index, KindRole).toInt() == chooseFolder) {
        // The folder chosen last, if any, is where the dialog starts.
        const int pdf = m_combo->findData(int(spreadsheet::PrintTarget::PdfDirectory), KindRole);
        const QString start =
            pdf >= 0 ? m_combo->itemData(pdf, NameRole).toString() : QDir::homePath();
        const QString folder = m_askFolder ? m_askFolder(start) : QString();
        if (folder.isEmpty()) {
            m_combo->setCurrentIndex(m_lastIndex);
            return;
        }
        selectPdfFolder(folder);
    }
    m_lastIndex = m_combo->currentIndex();
    m_combo->setToolTip(m_combo->currentText());
    emit chosen(current());
}
