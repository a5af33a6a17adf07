// Takes the manual's pictures: the real main window in service mode against a virtual device,
// each module window opened in turn and given a few seconds to read the device, then saved.
//   sarvik_manualshots OUTDIR de|en
// Runs on Qt's offscreen platform; no display is needed.

#include "mainwindow.h"
#include "modules.h"
#include "plxform.h"
#include "settingsform.h"
#include "virtualsarvik.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

namespace {

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool save(QWidget& w, const QString& path)
{
    QTextStream(stdout) << path << Qt::endl;
    return w.grab().save(path);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: sarvik_manualshots OUTDIR de|en" << Qt::endl;
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    const QString lang = QString::fromLatin1(argv[2]);
    QDir().mkpath(outDir);

    QTemporaryDir work;
    TVirtualSarvikOptions options;
    options.root = work.filePath(QStringLiteral("devices"));
    QDir().mkpath(options.root);
    TVirtualSarvik device(options);
    QString error;
    if (!device.start(&error)) {
        err << "the virtual device could not start: " << error << Qt::endl;
        return 1;
    }
    const QString ini = work.filePath(QStringLiteral("SarvikControl.ini"));
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    f.write(lang == QLatin1String("en") ? "[settings/General]\nProgLang=English\nConfirmExit=0\n"
                                        : "[settings/General]\nProgLang=Deutsch\nConfirmExit=0\n");
    f.close();

    TFSettingsForm settings;
    TForm1 form(settings,
                {QStringLiteral("Service"), QStringLiteral("-C"), ini, QStringLiteral("--device-root"), options.root},
                work.path() + QLatin1Char('/'));
    RegisterModules(form);
    form.resize(1100, 780);
    form.show();
    settle(3000);
    const QString suffix = QLatin1Char('_') + lang + QStringLiteral(".png");
    bool ok = save(form, outDir + QStringLiteral("/main") + suffix);

    struct TShot {
        int clientId;
        const char* name;
    };
    const TShot shots[] = {{ciBedien, "operation"},   {ciEinstellung, "devicesettings"}, {ciProbedaten, "sampledata"},
                           {ciKalib, "adjustment"},   {ciZaehler, "counters"},           {ciService, "service"},
                           {ciMem, "memory"},         {ciManuell, "manual"},             {ciTc, "textconfig"},
                           {ciUpdate, "firmware"}};
    for (const TShot& s : shots) {
        TPLXForm* module = form.OpenModule(s.clientId);
        if (!module)
            continue;
        for (QMdiSubWindow* sub : form.MdiArea()->subWindowList()) {
            if (sub->widget() == module)
                sub->showMaximized();
        }
        settle(2500);
        ok = save(form, outDir + QLatin1Char('/') + QLatin1String(s.name) + suffix) && ok;
        module->parentWidget()->close();
        settle(200);
    }
    form.CloseWithoutQuestion();
    device.stop();
    return ok ? 0 : 1;
}
