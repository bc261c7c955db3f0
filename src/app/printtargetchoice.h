// The print run's target in the print-options row: the system's printers
// (the default one marked), an entry for a printer that is remembered but no
// longer listed, the chosen PDF folder, and "PDF 文件夹..." to choose one.
#pragma once

#include "runcontrol/printers.h"
#include "spreadsheet/spreadsheet.h"

#include <QObject>

#include <functional>
#include <optional>

class QComboBox;

class PrintTargetChoice : public QObject
{
    Q_OBJECT
public:
    // Asks for a folder, starting at the given one; empty when cancelled.
    using FolderAsker = std::function<QString(const QString& startDir)>;

    PrintTargetChoice(QComboBox* combo, FolderAsker askFolder, QObject* parent = nullptr);

    // Lists the printers and selects the remembered target, else the default
    // printer, else the first entry.  Without printers, the first entry is
    // the system's default printer, whatever it is then.
    void fill(const printers::PrinterList& printers,
              const std::optional<spreadsheet::PrintTarget>& remembered);
    spreadsheet::PrintTarget current() const;

signals:
    // The user chose another target.
    void chosen(const spreadsheet::PrintTarget& target);

private:
    void onActivated(int index);
    // Shows folder as the PDF entry and selects it.
    void selectPdfFolder(const QString& folder);
    int findTarget(const spreadsheet::PrintTarget& target) const;
    int chooseFolderIndex() const;

    QComboBox* m_combo;
    FolderAsker m_askFolder;
    int m_lastIndex = 0;
};
