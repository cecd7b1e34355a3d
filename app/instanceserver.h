#pragma once

#include <QString>

#include <functional>

class QLocalServer;
class QObject;

// Makes `server` accept the hand-off connections of later starts under `name`: every incoming
// connection is dropped unread and `raise` is called. A socket entry left behind by an instance
// that crashed is removed and listening retried once; any other failure leaves the program
// without hand-off.
void listenForHandOff(QLocalServer *server, const QString &name,
                      const std::function<void()> &raise);
