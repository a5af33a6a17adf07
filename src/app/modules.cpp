#include "modules.h"

#include "appcontext.h"
#include "mainwindow.h"
#include "tfbedien.h"
#include "tfeinstellung.h"
#include "tfkalib.h"
#include "tfmanuell.h"
#include "tfmem.h"
#include "tfprobedaten.h"
#include "tfservice.h"
#include "tftc.h"
#include "tfzaehler.h"
#include "updateenv.h"

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
