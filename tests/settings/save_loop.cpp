// Saves the program settings to the file given over and over, each save with the next number in
// "WinPos/Client_1/Top", until it is killed. The settings kill test stops it at random points.
//   settings_save_loop FILE FIRST_NUMBER

#include "programsettings.h"
#include "settingsform.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: settings_save_loop FILE FIRST_NUMBER\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    TFSettingsForm form;
    BuildProgramSettings(form);
    form.ReadFromFile(file);
    std::printf("ready\n");
    std::fflush(stdout);
    for (qint32 n = std::atoi(argv[2]);; ++n) {
        form.SetInt(QStringLiteral("WinPos/Client_1/Top"), n);
        form.SaveToFile(file);
    }
}
