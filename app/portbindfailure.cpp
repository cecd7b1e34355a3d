#include "portbindfailure.h"

#include <QGuiApplication>
#include <QMessageBox>

std::unique_ptr<QMessageBox> makePortBindFailureBox()
{
    return std::make_unique<QMessageBox>(
        QMessageBox::Critical, QStringLiteral("error"),
        QStringLiteral("Can not start the Amperlane due to port bind fail"), QMessageBox::Ok);
}

void showPortBindFailure()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    makePortBindFailureBox()->exec();
}
