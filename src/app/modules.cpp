#include "modules.h"

#include "appcontext.h"
#include "mainwindow.h"
#include "tfbedien.h"
#include "tfkalib.h"
#include "tfprobedaten.h"
#include "tfeinstellung.h"
#include "tftc.h"
#include "tfmem.h"
#include "tfmanuell.h"
#include "tfzaehler.h"
#include "updateenv.h"
#include "tfservice.h"

void RegisterModules(TForm1& form)
{
    form.SetModuleFactory(ciBedien, [](TAppContext& c) { return new TfBedien(c); });
    form.SetModuleFactory(ciKalib, [](TAppContext& c) { return new TfKalib(c); });
    form.SetModuleFactory(ciProbedaten, [](TAppContext& c) { return new TfProbedaten(c); });
    form.SetModuleFactory(ciEinstellung, [](TAppContext& c) { return new TfEinstellung(c); });
    form.SetModuleFactory(ciTc, [](TAppContext& c) { return new Tftc(c); });
    form.SetModuleFactory(ciMem, [](TAppContext& c) { return new TfMem(c); });
    form.SetModuleFactory(ciManuell, [](TAppContext& c) { return new TfManuell(c); });
    form.SetModuleFactory(ciZaehler, [](TAppContext& c) { return new TfZaehler(c); });
    form.SetModuleFactory(ciService, [](TAppContext& c) { return new TfService(c); });
    form.SetModuleFactory(ciUpdate, [&form](TAppContext& c) { return CreateUpdateWindow(form, c); });
}
