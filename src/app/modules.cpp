#include "modules.h"

#include "appcontext.h"
#include "mainwindow.h"
#include "tfbedien.h"

void RegisterModules(TForm1& form)
{
    form.SetModuleFactory(ciBedien, [](TAppContext& c) { return new TfBedien(c); });
}
