#pragma once

#include <QJsonValue>
#include <QString>

#include <functional>

// The callback the application service hands to its back ends: each call becomes the JSON-RPC
// notification "<ns>.<name>" with `params` to every connected page.
using NotifyFn = std::function<void(const QString &ns, const QString &name, const QJsonValue &params)>;
