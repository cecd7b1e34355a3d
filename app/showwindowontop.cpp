#include "showwindowontop.h"

#include <QWidget>

void showWindowOnTop(QWidget *window)
{
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->showNormal();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    window->showNormal();
    window->activateWindow();
}
