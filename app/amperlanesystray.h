#pragma once

#include <QSystemTrayIcon>

class QMenu;
class QWidget;

// The tray icon: a click brings the window back, the right-click menu's "Quit" ends the program.
class AmperlaneSystray : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit AmperlaneSystray(QWidget *mainWindow);

private slots:
    void onIconActivated(QSystemTrayIcon::ActivationReason reason);

private:
    QMenu *m_menu;
    QWidget *m_mainWindow;
};
