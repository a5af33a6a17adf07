#pragma once
// The firmware window as the program plugs it in: its machine wired to the main window's
// link, discovery, serial port and status display.

class TAppContext;
class TForm1;
class TPLXForm;

TPLXForm* CreateUpdateWindow(TForm1& form, TAppContext& context);
