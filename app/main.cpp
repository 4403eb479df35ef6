#include "app/startup.h"
#include "core/bankfile.h"
#include "core/banklock.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    prepareEnvironment();
    QApplication app(argc, argv);
    prepareApplication(app);
    BankLock lock(modPub::bankDir());
    if (!takeBankFolder(lock))
        return 0;
    startProgram(&lock);
    return app.exec();
}
