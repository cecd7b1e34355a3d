#include "sessiontoken.h"

#include <QByteArray>
#include <QFile>
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
    constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile file(QStringLiteral("%1/websocket.token").arg(folder));
    // A file left by an earlier run may carry wider permissions: narrow them before writing.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate, ownerOnly) ||
        !file.setPermissions(ownerOnly))
        return false;
    return file.write(token.toLatin1()) == token.size() && file.flush();
}
