// The icon in the notification area: brings the main window up, and its
// context menu offers the same and quitting the program.
#pragma once

#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;

class SystemTray : public QSystemTrayIcon
{
    Q_OBJECT
public:
    explicit SystemTray(QObject* parent);
    ~SystemTray() override;

signals:
    // Asks the window to come up.
    void showWidget();

private slots:
    void UiQuit();
    void ShowUi();

private:
    // A menu cannot have a non-widget parent; the tray object owns it.
    std::unique_ptr<QMenu> trayMenu;
    QAction* settingsAction = nullptr;
    QAction* quitAction = nullptr;
};
