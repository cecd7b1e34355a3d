#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The dummy-ups driver re-reads its .dev file when the file's modification time changes, compared
// in whole seconds. These helpers write the UPS variables so that every write is seen.

// "name: value" lines in key order; values are taken as texts, numbers without a trailing ".0".
QByteArray nutDevFileText(const QJsonObject &variables);

// Writes the text to a temporary file beside `path`, stamps it one second after the current file's
// modification time (or now, whichever is later) and renames it over `path`.
bool writeNutDevFile(const QString &path, const QJsonObject &variables);
