#include "amperlaneapp.h"
#include "filemessagehandler.h"
#include "processguard.h"

#include <QDate>

int main(int argc, char **argv)
{
    ensureSingleInstance();
    ensureElevated();
    qInstallMessageHandler(fileMessageHandler);
    // The web view shares OpenGL contexts with the window; this must be set before the
    // application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    AmperlaneApp app(argc, argv);
    // A NUT variable set is logged every second, so old days are dropped at each start.
    removeExpiredLogFiles(logFolder(), QDate::currentDate());
    return app.exec();
}
