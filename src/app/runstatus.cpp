#include "app/runstatus.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

RunStatusRow::RunStatusRow(QLabel* statusLabel)
    : QObject(statusLabel), m_status(statusLabel), m_layout(new QHBoxLayout(statusLabel)),
      m_bar(new QProgressBar(statusLabel)), m_text(new QLabel(statusLabel)),
      m_retry(new QPushButton(statusLabel))
{
    // The widgets sit on the whole label, while the label's text keeps to
    // its contents rectangle, which reserveRoom() narrows.
    statusLabel->setAttribute(Qt::WA_LayoutOnEntireRect);
    // A long path in the status text is cut at the row's end instead of
    // widening the window.
    statusLabel->setSizePolicy(QSizePolicy::Ignored, statusLabel->sizePolicy().verticalPolicy());
    m_layout->setObjectName(QStringLiteral("horizontalLayout_RunStatus"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(6);
    // The label's own size stays what its text needs.
    m_layout->setSizeConstraint(QLayout::SetNoConstraint);

    const int lineHeight = statusLabel->fontMetrics().height();
    m_bar->setObjectName(QStringLiteral("pgBar_RunProgress"));
    m_bar->setFixedSize(160, lineHeight);
    m_bar->setFormat(QStringLiteral("%v/%m"));
    // The status label's red is for the status text alone.
    const QString plainColour = QStringLiteral("color: palette(window-text);");
    m_bar->setStyleSheet(plainColour);
    m_text->setObjectName(QStringLiteral("lb_RunProgress"));
    m_text->setStyleSheet(plainColour);
    m_text->setFixedHeight(lineHeight);
    m_retry->setObjectName(QStringLiteral("pBtn_RetryFailed"));
    m_retry->setFlat(true);
    m_retry->setCursor(Qt::PointingHandCursor);
    m_retry->setFixedHeight(lineHeight);
    m_retry->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); "
                                          "text-decoration: underline; border: none; "
                                          "padding: 0px 2px; }"));
    m_retry->setToolTip(tr("用失败的工作簿替换打印列表（可撤销）"));

    m_layout->addStretch(1);
    m_layout->addWidget(m_bar);
    m_layout->addWidget(m_text);
    m_layout->addWidget(m_retry);
    m_bar->hide();
    m_text->hide();
    m_retry->hide();

    connect(m_retry, &QPushButton::clicked, this, &RunStatusRow::retryClicked);
}

void RunStatusRow::showProgress(int settled, int total, const QString& text)
{
    m_bar->setRange(0, total > 0 ? total : 1);
    m_bar->setValue(total > 0 ? settled : 0);
    m_text->setText(text);
    m_bar->show();
    m_text->show();
    reserveRoom();
}

void RunStatusRow::hideProgress()
{
    m_bar->hide();
    m_text->hide();
    reserveRoom();
}

void RunStatusRow::showRetry(int count)
{
    m_retry->setText(tr("重新打印失败的%n个工作簿", nullptr, count));
    m_retry->show();
    reserveRoom();
}

void RunStatusRow::hideRetry()
{
    m_retry->hide();
    reserveRoom();
}

void RunStatusRow::reserveRoom()
{
    int width = 0;
    for (QWidget* widget : {static_cast<QWidget*>(m_bar), static_cast<QWidget*>(m_text),
                            static_cast<QWidget*>(m_retry)}) {
        if (!widget->isHidden())
            width += widget->sizeHint().width() + m_layout->spacing();
    }
    m_status->setContentsMargins(0, 0, width, 0);
    m_layout->invalidate();
}
