// updateserver: serves one folder over HTTP on 127.0.0.1 for tests and the
// demo, with switchable faults. Prints the port it listens on.

#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include "UpdateServer.h"

namespace {
const char* const kUsage = "usage: updateserver --root DIR [--port N] [--fault KIND[:PATH]]... [--delay MS[:PATH]]...\n"
                           "  --port 0 (default) picks a free port; the port is printed on the first line of stdout\n"
                           "  KIND: 404       404 with a \"404 Not Found\" page\n"
                           "        notfound  200 with the maker's \"file not found\" page\n"
                           "        drop      full length announced, half the body sent, connection closed\n"
                           "        endless   200 with a body that never ends\n"
                           "        drip      full length announced, then one byte a second\n"
                           "  without :PATH a fault or delay applies to every file\n";

int usage(const QString& _problem)
{
    std::fprintf(stderr, "updateserver: %s\n%s", qPrintable(_problem), kUsage);
    return 2;
}

bool faultByName(const QString& _name, UpdateServer::Fault_t* _fault)
{
    static const QHash<QString, UpdateServer::Fault_t> faults{
        {"404", UpdateServer::FaultNotFound404}, {"notfound", UpdateServer::FaultNotFoundPage},
        {"drop", UpdateServer::FaultDropMidway}, {"endless", UpdateServer::FaultEndlessBody},
        {"drip", UpdateServer::FaultDrip},       {"none", UpdateServer::FaultNone},
    };
    if (!faults.contains(_name))
        return false;
    *_fault = faults.value(_name);
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString root;
    uint port = 0;
    QList<QPair<UpdateServer::Fault_t, QString>> faults;
    QList<QPair<int, QString>> delays;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= args.size())
            return usage(QString("'%1' needs a value").arg(arg));
        const QString value = args.at(++i);
        const QString kind = value.section(':', 0, 0);
        const QString path = value.section(':', 1);
        if (arg == "--root") {
            root = value;
        } else if (arg == "--port") {
            bool ok = false;
            port = value.toUInt(&ok);
            if (!ok || port > 65535)
                return usage("bad port");
        } else if (arg == "--fault") {
            UpdateServer::Fault_t fault;
            if (!faultByName(kind, &fault))
                return usage(QString("unknown fault '%1'").arg(kind));
            faults.append({fault, path});
        } else if (arg == "--delay") {
            bool ok = false;
            const int ms = kind.toInt(&ok);
            if (!ok || ms < 0)
                return usage("bad delay");
            delays.append({ms, path});
        } else {
            return usage(QString("unknown option '%1'").arg(arg));
        }
    }
    if (root.isEmpty() || !QDir(root).exists())
        return usage("--root must name an existing folder");

    UpdateServer server(QDir(root).absolutePath());
    for (const auto& fault : faults)
        server.setFault(fault.first, fault.second);
    for (const auto& delay : delays)
        server.setDelay(delay.first, delay.second);
    if (!server.listen(static_cast<quint16>(port))) {
        std::fprintf(stderr, "updateserver: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    std::printf("%u\n", unsigned(server.port()));
    std::fflush(stdout);
    QObject::connect(&server, &UpdateServer::requestReceived,
                     [](const QString& _target) { std::fprintf(stderr, "GET %s\n", qPrintable(_target)); });
    return app.exec();
}
