#include "portbindfailure.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QSystemTrayIcon>

std::unique_ptr<QMessageBox> makePortBindFailureBox()
{
    return std::make_unique<QMessageBox>(
        QMessageBox::Critical, QStringLiteral("error"),
        QStringLiteral("Can not start the Amperlane due to port bind fail"), QMessageBox::Ok);
}

void showPortBindFailure(QSystemTrayIcon &tray)
{
    tray.hide();
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    makePortBindFailureBox()->exec();
}
