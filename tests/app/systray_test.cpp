#include "amperlanesystray.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMetaObject>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class CloseCounter : public QObject
{
public:
    int closes = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Close)
            ++closes;
        return false;
    }
};

void activate(AmperlaneSystray &tray, QSystemTrayIcon::ActivationReason reason)
{
    // onIconActivated is private: reach it as the icon's own activated signal would.
    QMetaObject::invokeMethod(&tray, "onIconActivated", Qt::DirectConnection,
                              Q_ARG(QSystemTrayIcon::ActivationReason, reason));
}

} // namespace

TEST(Systray, AClickBringsTheHiddenWindowBackOtherActivationsDoNothing)
{
    QWidget window;
    AmperlaneSystray tray(&window);
    EXPECT_EQ(tray.toolTip(), "Amperlane");

    for (auto reason :
         {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
        activate(tray, reason);
        EXPECT_FALSE(window.isVisible()) << reason;
    }
    activate(tray, QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(Systray, QuitShowsTheWindowAndClosesIt)
{
    QApplication::setQuitOnLastWindowClosed(false);
    QWidget window;
    CloseCounter counter;
    window.installEventFilter(&counter);
    AmperlaneSystray tray(&window);
    EXPECT_EQ(tray.contextMenu(), nullptr);

    auto *menu = window.findChild<QMenu *>();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), "Quit");

    menu->actions().first()->trigger();
    EXPECT_EQ(counter.closes, 1);
    EXPECT_FALSE(window.isVisible());
    QApplication::setQuitOnLastWindowClosed(true);
}
