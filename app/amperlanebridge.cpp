#include "amperlanebridge.h"

#include "amperlanesettings.h"
#include "amperlanewindowhost.h"

#include <QDebug>

AmperlaneBridge::AmperlaneBridge(AmperlaneWindowHost *app,
                                 std::shared_ptr<AmperlaneSettings> settings, QObject *parent)
    : QObject(parent), m_app(app), m_settings(std::move(settings))
{
}

void AmperlaneBridge::close()
{
    m_app->hideWindow();
}

void AmperlaneBridge::minimize()
{
    m_app->minimizeWindow();
}

void AmperlaneBridge::maximize()
{
    m_app->maximizeWindow();
}

QString AmperlaneBridge::getLanguage()
{
    return m_settings->language();
}

bool AmperlaneBridge::hasDeviceDetailPage()
{
    return m_hasDeviceDetailPage;
}

int AmperlaneBridge::getWebsocketPort()
{
    return m_websocketPort;
}

void AmperlaneBridge::setLanguage(QString language)
{
    m_settings->setValue(QStringLiteral("global"), QStringLiteral("language"), language);
}

QString AmperlaneBridge::connectMode()
{
    return m_settings
        ->value(QStringLiteral("connectModeParam"), QStringLiteral("mode"), QStringLiteral("local"))
        .toString();
}

void AmperlaneBridge::addLog(QString log)
{
    qDebug() << log;
}

void AmperlaneBridge::pageReady()
{
    m_app->showWebView();
}

QString AmperlaneBridge::getWebsocketToken()
{
    return m_websocketToken;
}
