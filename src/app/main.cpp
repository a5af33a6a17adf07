// SarvikControl: start-up, the module windows it knows, the demo device and signal handling.

#include "commandline.h"
#include "docpaths.h"
#include "i18n.h"
#include "mainwindow.h"
#include "modules.h"
#include "settingsform.h"
#include "virtualsarvik.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int gSignalFd[2] = {-1, -1};

void onTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalFd[0], &c, 1);
}

// SIGTERM and SIGINT end the program like "Beenden", without the exit question.
void installSignalHandlers(TForm1& form)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalFd) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalFd[1], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(gSignalFd[1], &c, 1);
        form.CloseWithoutQuestion();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

// --help, --version and --paths answer before the window system is touched: they work without a display.
bool printInformation(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const TCommandLine commandLine = ParseCommandLine(args);
    QTextStream out(stdout);
    if (commandLine.Version) {
        out << "SarvikControl " << SARVIK_VERSION << Qt::endl;
        return true;
    }
    if (commandLine.Paths) {
        // For packagers and support: what this installation finds, without a display.
        QCoreApplication core(argc, argv);
        const auto found = [](const QString& path) { return path.isEmpty() ? QStringLiteral("not found") : path; };
        out << "catalogue en: " << found(FindCatalogue(QStringLiteral("en_US"))) << Qt::endl;
        out << "manual de: " << found(FindManual(QStringLiteral("SarvikControl_Handbuch.pdf"))) << Qt::endl;
        out << "manual en: " << found(FindManual(QStringLiteral("SarvikControl_Manual.pdf"))) << Qt::endl;
        return true;
    }
    if (commandLine.Help) {
        QString text = CommandLineHelp();
        if (!text.endsWith(QLatin1Char('\n')))
            text += QLatin1Char('\n');
        out << text;
        out.flush();
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (printInformation(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SarvikControl"));
    QApplication::setApplicationVersion(QStringLiteral(SARVIK_VERSION));
    QStringList args = app.arguments().mid(1);
    const TCommandLine commandLine = ParseCommandLine(args);

    // The demo device lives in a private device root that goes away with the program.
    std::unique_ptr<QTemporaryDir> demoRoot;
    std::unique_ptr<TVirtualSarvik> demoDevice;
    if (commandLine.Demo) {
        demoRoot = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/sarvik-demo-XXXXXX"));
        TVirtualSarvikOptions options;
        options.root = demoRoot->path();
        demoDevice = std::make_unique<TVirtualSarvik>(options);
        QString error;
        if (!demoRoot->isValid() || !demoDevice->start(&error)) {
            QTextStream(stderr) << "sarvikcontrol: the demo device could not start: " << error << Qt::endl;
            return 1;
        }
        args << QStringLiteral("--device-root") << demoRoot->path();
    }

    QIcon icon;
    for (const int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/sarvikcontrol-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    TFSettingsForm settings;
    TForm1 form(settings, args, QDir::currentPath() + QLatin1Char('/'));
    RegisterModules(form);
    installSignalHandlers(form);
    form.show();
    const int rc = QApplication::exec();
    if (demoDevice)
        demoDevice->stop();
    return rc;
}
