#pragma once
// The command families the virtual device understands, one registration function each.

class TCommandTable;

void RegisterStatusCommands(TCommandTable& table);     // GIN GID GIS GIO GIB GIE, SAB
void RegisterSamplingCommands(TCommandTable& table);   // SAS SAH SAO GMQ
void RegisterPresetCommands(TCommandTable& table);     // GSP SSP
void RegisterParameterCommands(TCommandTable& table);  // GS.. SS.. pairs, GIL
void RegisterCalibrationCommands(TCommandTable& table);  // GMV GCF SCF GCD SCD GCB SCB GCV SCV GCI SCI GCA SCA GCR SCR GCC SCC SAT + the next
void RegisterLastCalibrationCommands(TCommandTable& table);  // GCL SCL (last calibration)
void RegisterRecordCommands(TCommandTable& table);     // GDP GDR GDN SDI GIP
void RegisterMemoryCommands(TCommandTable& table);     // GHM SHM
void RegisterServoCommands(TCommandTable& table);        // GCS SCS
void RegisterManualCommands(TCommandTable& table);     // GMW SMW GMS SMS GMF GMP
void RegisterServiceCommands(TCommandTable& table);      // GIT SMC GMC GII GIF SHD GIV GIJ GIR, GIO;n (after the status family)
void RegisterCounterCommands(TCommandTable& table);      // GLS SLS GLO SLO GLP SLP GLV SLV GLI SLI GLC SLC GLR SLR GMM SMM
void RegisterBootloaderCommands(TCommandTable& table); // SAR

// Every family above; the device's complete table.
void RegisterAllCommands(TCommandTable& table);
