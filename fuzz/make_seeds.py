#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/ from the examples the tests use."""
import os
import sys

root = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    d = os.path.join(root, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def frame(payload):
    b = payload.encode("cp1252")
    return b + b";" + b"%05d" % sum(b)


# Answer lines: delimiters first (FuzzedDataProvider reads the probe index from the end).
for i, p in enumerate(["TSB;5;1;0;3;0;", "TDR;0;1;12;03.03.2026;14:25:10;1;0;0;2967;513;10132;",
                       "TSP;2;Hof;0;26;100;300;30;45;18;50;5;0;0;", "TIM;12:00:00", "GID;"]):
    put("wireformat", "seed%d" % i, b"\x01;" + frame(p) + b"\x03\x00\x00\x00")
put("wireformat", "bad_sum", b"\x01;TSB;5;1;00000\xfe\xff\xff\xff")

put("serialrx", "lines", b"\x20TSB;5;1;00345\r\n\x10TIM;12:00:00\r\n\x05ab\r\ncd\n")
put("serialrx", "block", b"\xf0\x02\x00\x05\x62\xff\x00\x0d\x0a\x13\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a")

ini = ("[settings/General]\nLogging=0\nConfirmExit=1\nServiceModules=0\nProgLang=Deutsch\n"
       "[settings/Paths]\nLog=\nConfig=\nAdjustLog=\nFirmware=\n"
       "[settings/SamplingData]\nOutput=\nSamplingTpl=\nLogTpl=\nExtension=XLSX\n"
       "[settings/WinPos/Client_1]\nTop=0x10\nLeft=$FF\nWidth=-40\nHeight=100\nOpen=0\n"
       "[settings/Connection/Main]\nUSB_VID=1155\nUSB_PID=41656\n")
put("settingsini", "program", ini)
put("settingsini", "comments_crlf", "\ufeff; mine\r\n[settings/general]\r\n# note\r\n  logging = 1 \r\nLogging=0\r\n[foreign]\r\nx=1E20\r\n")
put("settingsini", "ansi", b"[settings/Paths]\nLog=C:\\Me\xdfwerte\nConfig=\xc3\xa4\n")

preset = ("[preset_01]\nname=Innen\nloginterval=60\nactive_1=1\nflow_1=2,1\nvolume_1=120,0\ndelay_1=0\n"
          "intervalmode_1=0\nsettime_1=0\nflowmonitor_1=1\nvoltype_1=1\n\n"
          "[preset_05]\nname=Fehler\nloginterval=300\nvoltype_2=3\n"
          "[PRESET_06]\nNAME=Eine Bezeichnung mit 25 Z\n"
          "[preset_07]\nintervalmode_1=1\nsettime_1=24\nflow_1=1\nvolume_1=30\n"
          "[preset_09]\nintervalmode_1=1\nsettime_1=71582814\nflow_1=1\nvolume_1=30\n"
          "[preset_04]\nflow_1=1,95\nvolume_1=5000,1\ndelay_1=86401\n")
put("presetfile", "presets", preset)

record = ("0;1;12;03.03.2026;14:25:10;1;0;0;2967;513;10132;1;0;03.03.2026;13:02:00;21;150;1200;0;1;12345;4938;"
          "4;0;;;0;0;0;0;0;0;0;0;")
log = "12;1;03.03.2026;13:%02d:00;%d;0;0;0;0;2967;513;10132"
put("sampledata", "records_and_log",
    record + "\n" + record.replace("0;1;12;", "0;1;11;", 1) + "\n3;\n\n" +
    "\n".join(log % (s, 9500 + s) for s in range(3)) + "\n12;0;\n")
put("sampledata", "errors", "1;\n2;\n4;\n9;\n0;\n\n")

for name in ("Sarvik2V2_Geraeteeinstellungen.pkd", "Sarvik2V2_Geraeteeinstellungen_vor_3.6.pkd"):
    with open(os.path.join(root, "..", "examples", name), "rb") as f:
        pkd = f.read()
    put("pkd", name, pkd + b"\0" + b"\n".join(frame("TSB;%d;1;2;3;4" % i)[:-6] for i in range(40)))
put("pkd", "small", b"\xef\xbb\xbfGSB@SSB@2\r\n%@\xc2\xa7DATE\xc2\xa7\r\nGSP;1@SSP;1@-3\r\n\0TSB;1;2;3\nTSP;1;x\n")

put("bootloader", "transfer", b"\x00\x03\x55\xaa\x0b\x01\x58\x02\x80" + b"\x00\x00" + bytes(range(256)) +
    b"\x02\xff\xff\x03\x01\x04\x52" + b"\x00" * 8)
put("bootloader", "stray", b"\x00\x0aGID;00288\r\n\xff\x55\xaa")

try:
    import io
    import openpyxl
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"] = "Probe"
    ws["B2"] = 0.95
    ws["C21"] = "=A1"
    buf = io.BytesIO()
    wb.save(buf)
    put("workbook", "openpyxl_raw", b"\x00\x00" + buf.getvalue())
except ImportError:
    print("python3-openpyxl missing: no workbook seed from it", file=sys.stderr)
put("workbook", "sheet_xml", b"\x01\x00<?xml version=\"1.0\"?><worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
    b"</row></sheetData></worksheet>")
put("workbook", "not_a_zip", b"\x00\x00PK\x03\x04garbage")

put("hexfile", "seed_basic.hex", ":020000040800F2\n:10C00000000102030405060708090A0B0C0D0E0FB8\n:00000001FF\n")
put("hexfile", "seed_types.hex", ":020000040800F2\r\n:0400000508000000EF\r\n:020000021000EC\r\n:020000040800F2\r\n:01C0000041FE\r\n")
