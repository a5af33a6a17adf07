"""Reads a settings file written by the program with Python's own INI reader."""
import configparser
import sys

parser = configparser.ConfigParser(interpolation=None)
with open(sys.argv[1], encoding="utf-8") as f:
    parser.read_file(f)

expected = ["settings/General", "settings/Paths", "settings/SamplingData"]
expected += [f"settings/WinPos/Client_{n}" for n in range(12)]
expected += ["settings/Connection/Main", "settings/Connection/Bootloader", "settings/MemoryMon",
             "settings/Control", "settings/ControlTest"]
if parser.sections() != expected:
    sys.exit(f"sections differ: {parser.sections()}")
checks = {
    ("settings/General", "Logging"): "0",
    ("settings/General", "ProgLang"): "Deutsch",
    ("settings/Paths", "Firmware"): "C:\\Firmware\\Sarvik 100% Größe.hex",
    ("settings/WinPos/Client_0", "Width"): "200",
    ("settings/Connection/Bootloader", "USB_PID"): "41658",
    ("settings/ControlTest", "FlowLimitOpen"): "1",
}
for (section, key), value in checks.items():
    got = parser.get(section, key)
    if got != value:
        sys.exit(f"{section}/{key} = {got!r}, expected {value!r}")
print("ok")
