#pragma once
// The module windows the program knows, plugged into the main window by client id.

class TForm1;

void RegisterModules(TForm1& form);
