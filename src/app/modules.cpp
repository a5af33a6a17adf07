#include "modules.h"

#include "appcontext.h"
#include "mainwindow.h"
#include "tfbedien.h"
#include "tfkalib.h"
#include "tfprobedaten.h"
#include "tfeinstellung.h"

void RegisterModules(TForm1& form)
{
    form.SetModuleFactory(ciBedien, [](TAppContext& c) { return new TfBedien(c); });
    form.SetModuleFactory(ciKalib, [](TAppContext& c) { return new TfKalib(c); });
    form.SetModuleFactory(ciProbedaten, [](TAppContext& c) { return new TfProbedaten(c); });
    form.SetModuleFactory(ciEinstellung, [](TAppContext& c) { return new TfEinstellung(c); });
}
