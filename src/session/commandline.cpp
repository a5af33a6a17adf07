#include "commandline.h"

#include "i18n.h"

#include <QFileInfo>

TCommandLine ParseCommandLine(const QStringList& args)
{
    TCommandLine cl;
    for (int i = 0; i < args.size(); ++i) {
        const QString& p = args.at(i);
        if (p.compare(QLatin1String("Service"), Qt::CaseInsensitive) == 0)
            cl.ServiceMode = true;
        if (p == QLatin1String("--demo"))
            cl.Demo = true;
        else if (p == QLatin1String("--help") || p == QLatin1String("-h"))
            cl.Help = true;
        else if (p == QLatin1String("--version"))
            cl.Version = true;
        else if (p == QLatin1String("--paths"))
            cl.Paths = true;
        else if (p == QLatin1String("--device-root")) {
            if (i + 1 < args.size())
                cl.DeviceRoots << args.at(++i);
            continue;
        } else if (p.startsWith(QLatin1String("--device-root="))) {
            cl.DeviceRoots << p.mid(14);
            continue;
        }
        if (p.startsWith(QLatin1String("--")))
            continue;  // our long options never name a settings file
        if (p.contains(QLatin1String("-C")) || p.contains(QLatin1String("-c"))) {
            if (p.size() < 3) {
                // The name is taken, not looked at again: a path such as /tmp/a-cx/s.ini would
                // otherwise count as a "-c" of its own and replace itself.
                if (i + 1 < args.size())
                    cl.ConfiguredName = args.at(++i);
            } else {
                cl.ConfiguredName = p.mid(2);
            }
        }
    }
    return cl;
}

QString ChooseSettingsFile(const QString& configuredName, const QString& startDir)
{
    if (configuredName.size() > 2 && QFileInfo(configuredName).isFile())
        return configuredName;
    return startDir + QStringLiteral("SarvikControl.ini");
}

QString CommandLineHelp()
{
    return Tr("Aufruf: sarvikcontrol [Service] [-C Datei] [--device-root VERZEICHNIS]... [--demo]\n"
              "  Service                   Servicemodus\n"
              "  -C Datei                  Einstellungsdatei (sonst SarvikControl.ini im Startverzeichnis)\n"
              "  --device-root VERZEICHNIS weiterer Gerätebaum in der Form von /sys (wiederholbar)\n"
              "  --demo                    mit einem virtuellen Sarvik2V2 im Programm starten\n"
              "  --paths                   Fundorte der Übersetzungen und Handbücher ausgeben\n"
              "  --help, --version\n");
}

QRect ApplyStoredGeometry(const QRect& current, int top, int left, int width, int height, const QSize& screen)
{
    QRect g = current;
    if (height > 180)
        g.setHeight(height);
    if (width > 480)
        g.setWidth(width);
    const int y = top < -39 ? (screen.height() - g.height()) / 2 : top;
    const int x = left < -39 ? (screen.width() - g.width()) / 2 : left;
    g.moveTo(x, y);
    return g;
}

QString BreakPath(const QString& path, int maxLen)
{
    QStringList lines;
    QString line;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (int i = 0; i < parts.size(); ++i) {
        const QString piece = parts.at(i) + (i + 1 < parts.size() ? QStringLiteral("/") : QString());
        if (!line.isEmpty() && line.size() + piece.size() > maxLen) {
            lines << line;
            line.clear();
        }
        line += piece;
        while (line.size() > maxLen) {  // a single name longer than a line
            lines << line.left(maxLen);
            line = line.mid(maxLen);
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines.join(QLatin1Char('\n'));
}
