#pragma once

#include <QString>

// The secret that lets the program's own page use the JSON-RPC server: browsers send an Origin
// header, and the server serves such connections only when their URL carries this token.
// 128 random bits from the system's generator, as 32 lower-case hexadecimal digits.
QString makeSessionToken();

// Writes the token to a new "<folder>/websocket.token" that only the current user may read or
// write, for the user's own tools. False, with a log line, when the file cannot be written.
bool writeSessionTokenFile(const QString &folder, const QString &token);
