#include "sessiontoken.h"

#include "sessiontokenfile.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QRandomGenerator>

#include <array>

QString makeSessionToken()
{
    std::array<quint32, 4> words;
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char *>(words.data()), sizeof(words));
    return QString::fromLatin1(bytes.toHex());
}

bool writeSessionTokenFile(const QString &folder, const QString &token)
{
    const QString path = QStringLiteral("%1/websocket.token").arg(folder);
    if (writeUserOnlyFile(QDir::toNativeSeparators(path).toStdString(), token.toStdString()))
        return true;
    qWarning() << "Failed to write the session token file" << path;
    return false;
}
