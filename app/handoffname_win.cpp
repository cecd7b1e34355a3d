#include "handoffname.h"

// A named pipe of this name; the instance mutex is per session as well.
QString handOffServerName()
{
    return QStringLiteral("Amperlane");
}
