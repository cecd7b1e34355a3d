#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Starts a program detached from this process, with an empty working directory; the installation's
// launcher goes through here after an update. Tests replace the launcher so that nothing they do
// starts another program.
using CommandLauncher = std::function<bool(const QString &program, const QStringList &arguments)>;

bool launchDetached(const QString &program, const QStringList &arguments);

// Installs `launcher` for the whole process and returns the one it replaces.
CommandLauncher replaceCommandLauncher(CommandLauncher launcher);
