#include "app/systemtray.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>

SystemTray::SystemTray(QObject* parent)
    : QSystemTrayIcon(parent), trayMenu(std::make_unique<QMenu>())
{
    settingsAction = new QAction(tr("软件设置"), this);
    quitAction = new QAction(tr("退出程序"), this);
    trayMenu->addAction(settingsAction);
    trayMenu->addAction(quitAction);
    setContextMenu(trayMenu.get());

    setIcon(QIcon(QStringLiteral(":/images/mrw.ico")));
    setToolTip(QStringLiteral("Quorvane"));
    // Shown wherever the platform can have a notification area; on X11 the
    // icon also appears once a tray starts later.  Platforms without any
    // (offscreen, minimal) run without the icon.
    if (QSystemTrayIcon::isSystemTrayAvailable() ||
        QGuiApplication::platformName() == QLatin1String("xcb"))
        show();

    connect(settingsAction, &QAction::triggered, this, &SystemTray::ShowUi);
    connect(quitAction, &QAction::triggered, this, &SystemTray::UiQuit);
}

SystemTray::~SystemTray()
{
    // The icon lets go of the menu before the menu goes.
    setContextMenu(nullptr);
}

void SystemTray::UiQuit()
{
    QCoreApplication::quit();
}

void SystemTray::ShowUi()
{
    emit showWidget();
}
