// A style plugin that tells what any plugin loaded into the window may do: it writes the CapEff
// line of /proc/self/status and what binding TCP port 80 gave to the file that
// NASFINDER_CAPPROBE_REPORT names. Anybody can have a Qt program load it, with QT_PLUGIN_PATH
// naming a folder of their own and QT_STYLE_OVERRIDE=capprobe. Qt's GUI thread calls it once.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <QStyleFactory>
#include <QStylePlugin>

class CapProbeStyle : public QStylePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "capprobestyle.json")

public:
    QStyle* create(const QString&) override {
        if (const char* file = std::getenv("NASFINDER_CAPPROBE_REPORT")) {
            std::ofstream report(file);
            std::ifstream status("/proc/self/status");
            for (std::string line; std::getline(status, line);) {
                if (line.rfind("CapEff:", 0) == 0) report << line << '\n';
            }
            const int tcp = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in any{};
            any.sin_family = AF_INET;
            any.sin_port = htons(80);
            const bool bound = ::bind(tcp, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
            report << "port 80: " << (bound ? "bound" : std::strerror(errno)) << '\n';
            ::close(tcp);
        }
        return QStyleFactory::create(QStringLiteral("Fusion"));
    }
};

#include "capprobestyle.moc"
