// SarvikControl: start-up, the module windows it knows, the demo device and signal handling.

#include "commandline.h"
#include "i18n.h"
#include "mainwindow.h"
#include "settingsform.h"
#include "tfbedien.h"
#include "updateenv.h"
#include "virtualsarvik.h"

#include <QApplication>
#include <QDir>
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

void registerModules(TForm1& form)
{
    form.SetModuleFactory(ciBedien, [](TAppContext& c) { return new TfBedien(c); });
    form.SetModuleFactory(ciUpdate, [&form](TAppContext& c) { return CreateUpdateWindow(form, c); });
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SarvikControl"));
    QApplication::setApplicationVersion(QStringLiteral(SARVIK_VERSION));
    QStringList args = app.arguments().mid(1);
    const TCommandLine commandLine = ParseCommandLine(args);
    QTextStream out(stdout);
    if (commandLine.Version) {
        out << "SarvikControl " << SARVIK_VERSION << Qt::endl;
        return 0;
    }
    if (commandLine.Help) {
        out << CommandLineHelp();
        out.flush();
        return 0;
    }

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

    TFSettingsForm settings;
    TForm1 form(settings, args, QDir::currentPath() + QLatin1Char('/'));
    registerModules(form);
    installSignalHandlers(form);
    form.show();
    const int rc = QApplication::exec();
    if (demoDevice)
        demoDevice->stop();
    return rc;
}
