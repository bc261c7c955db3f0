// The run's progress in the status row, to the right of the status text: a
// bar of workbooks settled out of the total with a short text beside it
// while a run goes, and a button that puts a print run's failed workbooks
// into the list once it has ended with failures.  The widgets live inside
// the status label, each one text line high, so the row keeps its height and
// the status text keeps the rest of the row.
#pragma once

#include <QObject>
#include <QString>

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;

class RunStatusRow : public QObject
{
    Q_OBJECT
public:
    explicit RunStatusRow(QLabel* statusLabel);

    // Shows the bar at settled of total with text beside it.
    void showProgress(int settled, int total, const QString& text);
    void hideProgress();
    // Shows or hides the button that puts count failed workbooks into the list.
    void showRetry(int count);
    void hideRetry();

signals:
    void retryClicked();

private:
    // Keeps the status text out of the part of the row the widgets take.
    void reserveRoom();

    QLabel* m_status;
    QHBoxLayout* m_layout;
    QProgressBar* m_bar;
    QLabel* m_text;
    QPushButton* m_retry;
};
