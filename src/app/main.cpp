#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("SarvikControl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SARVIK_VERSION));
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--version"))) {
        out << "SarvikControl " << SARVIK_VERSION << Qt::endl;
        return 0;
    }
    out << "SarvikControl " << SARVIK_VERSION
        << ": the main window is not built yet; run bench/link_bench to exercise the device link."
        << Qt::endl;
    return args.contains(QStringLiteral("--help")) ? 0 : 1;
}
