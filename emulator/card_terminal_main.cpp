// card-terminal-emulator: a bank-card terminal in software on a pseudo-terminal.
#include "emulator/card_terminal.h"
#include "emulator/pty_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("card-terminal-emulator"));

    QCommandLineParser cl;
    cl.setApplicationDescription(QStringLiteral("A bank-card terminal in software, served on a pseudo-terminal."));
    cl.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Also create a symbolic link at PATH."), QStringLiteral("PATH"));
    const QCommandLineOption fault(QStringLiteral("fault"),
        QStringLiteral("Fault at every payment: no-ack, wrong-ack, silent (no answer to the purchase request), long (a card reply over 1000 bytes), long-purchase, missing-tags (no tags 00 and 01), declined."),
        QStringLiteral("KIND"));
    const QCommandLineOption ackPurchase(QStringLiteral("ack-purchase"),
        QStringLiteral("Acknowledge a purchase request before answering it."));
    const QCommandLineOption cardDelay(QStringLiteral("card-delay"),
        QStringLiteral("Milliseconds the customer takes before the card reply."), QStringLiteral("MS"));
    const QCommandLineOption cardNumber(QStringLiteral("card-number"), QStringLiteral("Tag 01 of the card reply."), QStringLiteral("DIGITS"));
    const QCommandLineOption journal(QStringLiteral("journal"),
        QStringLiteral("Append every message received to FILE, one line each, its payload in hexadecimal."),
        QStringLiteral("FILE"));
    cl.addOptions({link, fault, ackPurchase, cardDelay, cardNumber, journal});
    cl.process(app);

    emu::CardTerminal::Options options;
    options.acknowledgePurchase = cl.isSet(ackPurchase);
    if (cl.isSet(cardNumber))
        options.cardNumber = cl.value(cardNumber).toLatin1();
    if (cl.isSet(cardDelay)) {
        bool ok = false;
        options.cardDelayMs = cl.value(cardDelay).toInt(&ok);
        if (!ok || options.cardDelayMs < 0 || options.cardDelayMs > 600000) {
            std::fprintf(stderr, "card-terminal-emulator: --card-delay takes 0 to 600000 ms\n");
            return 2;
        }
    }
    emu::CardTerminal terminal(options);
    if (cl.isSet(fault)) {
        emu::CardTerminal::Fault f{};
        if (!emu::CardTerminal::parseFault(cl.value(fault), f)) {
            std::fprintf(stderr, "card-terminal-emulator: unknown fault '%s'\n", qPrintable(cl.value(fault)));
            return 2;
        }
        terminal.setFault(f);
    }
    QFile journalFile(cl.value(journal));
    if (cl.isSet(journal)) {
        if (!journalFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
            std::fprintf(stderr, "card-terminal-emulator: cannot write the journal %s\n", qPrintable(cl.value(journal)));
            return 2;
        }
        terminal.setJournalHook([&journalFile](const QByteArray &payload) {
            journalFile.write(payload.toHex() + '\n');
            journalFile.flush();
        });
    }

    emu::PtyServer server([&terminal](const QByteArray &bytes) { return terminal.receive(bytes); });
    return emu::serveUntilSignalled(server, cl.value(link), "card-terminal-emulator");
}
