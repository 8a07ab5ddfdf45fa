#include "app/tForm1.h"
#include "platform/AppPaths.h"
#include "platform/GuardedApplication.h"
#include "platform/VirtualMidiSystem.h"

int main(int argc, char *argv[])
{
    GuardedApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brindlecroft"));
    QCoreApplication::setApplicationName(QStringLiteral("Patchwarden"));
    AppPaths::init(QString());

    VirtualMidiSystem midi;
    tForm1 form(midi);
    form.show();
    return app.exec();
}
