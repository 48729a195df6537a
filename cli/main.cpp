// dizivu-cli: the link and command layer without a window.
#include "cli/connection.h"
#include "cli/send_command.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    cli::installInterruptHandlers();
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return cli::run(args, stdout, stderr);
}
