#pragma once
// The command families the virtual device understands, one registration function each.

class TCommandTable;

void RegisterStatusCommands(TCommandTable& table);     // GIN GID GIS GIO GIB GIE, SAB
void RegisterSamplingCommands(TCommandTable& table);   // SAS SAH SAO GMQ
void RegisterPresetCommands(TCommandTable& table);     // GSP SSP
void RegisterParameterCommands(TCommandTable& table);  // GS.. SS.. pairs, GIL
void RegisterBootloaderCommands(TCommandTable& table); // SAR

// Every family above; the device's complete table.
void RegisterAllCommands(TCommandTable& table);
