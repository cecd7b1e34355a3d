#include "amperlanesystray.h"

#include "showwindowontop.h"

#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QWidget>

AmperlaneSystray::AmperlaneSystray(QWidget *mainWindow)
    : QSystemTrayIcon(mainWindow), m_mainWindow(mainWindow)
{
    const QIcon logo(QStringLiteral(":/png/resource/TQlogo.png"));
    setToolTip(tr("Amperlane"));
    setIcon(logo);
    connect(this, &QSystemTrayIcon::activated, this, &AmperlaneSystray::onIconActivated);

    // The menu is shown by onIconActivated rather than installed as the icon's context menu.
    m_menu = new QMenu(mainWindow);
    auto *quit = new QAction(logo, QStringLiteral("Quit"), m_menu);
    m_menu->addAction(quit);
    // Closing the shown window ends the event loop also when the window was hidden to the tray.
    connect(quit, &QAction::triggered, mainWindow, [mainWindow] {
        mainWindow->showNormal();
        mainWindow->close();
    });
    show();
}

void AmperlaneSystray::onIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        showWindowOnTop(m_mainWindow);
        break;
    case QSystemTrayIcon::Context:
        m_menu->exec(QCursor::pos());
        break;
    default:
        break;
    }
}
