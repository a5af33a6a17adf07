#!/usr/bin/python3
# Independent reader and template maker for the workbook tests (openpyxl and zipfile).
#   xlsx_tool.py dump FILE        -> JSON: cells of every sheet, date1904, structure problems
#   xlsx_tool.py template FILE    -> writes a template: two sheets, a style, a formula, date1904,
#                                    styled rows 20-25, a VBA project part
import datetime
import json
import sys
import zipfile
import xml.dom.minidom

import openpyxl
from openpyxl.styles import Font


def structure(path):
    problems = []
    with zipfile.ZipFile(path) as z:
        names = set(z.namelist())
        types = xml.dom.minidom.parseString(z.read('[Content_Types].xml'))
        defaults = {d.getAttribute('Extension').lower(): d.getAttribute('ContentType')
                    for d in types.getElementsByTagName('Default')}
        overrides = {o.getAttribute('PartName').lstrip('/'): o.getAttribute('ContentType')
                     for o in types.getElementsByTagName('Override')}
        for o in overrides:
            if o not in names:
                problems.append('override without part: ' + o)
        for n in names:
            if n not in overrides and n.rsplit('.', 1)[-1].lower() not in defaults:
                problems.append('no content type: ' + n)
            if n.endswith('.xml') or n.endswith('.rels'):
                try:
                    doc = xml.dom.minidom.parseString(z.read(n))
                except Exception as e:  # noqa: BLE001
                    problems.append('not well-formed: %s (%s)' % (n, e))
                    continue
                if n.endswith('.rels'):
                    base = n.replace('_rels/', '').rsplit('.rels', 1)[0]
                    folder = base.rsplit('/', 1)[0] + '/' if '/' in base else ''
                    for r in doc.getElementsByTagName('Relationship'):
                        if r.getAttribute('TargetMode') == 'External':
                            continue
                        t = r.getAttribute('Target')
                        target = t.lstrip('/') if t.startswith('/') else folder + t
                        parts = []
                        for p in target.split('/'):
                            if p == '..':
                                parts.pop()
                            elif p not in ('', '.'):
                                parts.append(p)
                        if '/'.join(parts) not in names:
                            problems.append('missing relationship target: ' + '/'.join(parts))
                if n.startswith('xl/worksheets/'):
                    last = 0
                    for row in doc.getElementsByTagName('row'):
                        r = int(row.getAttribute('r'))
                        if r <= last:
                            problems.append('rows out of order in %s: %d' % (n, r))
                        last = r
                        lastc = ''
                        for c in row.getElementsByTagName('c'):
                            ref = ''.join(ch for ch in c.getAttribute('r') if ch.isalpha())
                            key = (len(ref), ref)
                            if lastc and key <= lastc:
                                problems.append('cells out of order in row %d' % r)
                            lastc = key
        main = overrides.get('xl/workbook.xml', '')
    return problems, main, sorted(names)


def dump(path):
    wb = openpyxl.load_workbook(path)
    out = {'sheets': [], 'date1904': wb.epoch == openpyxl.utils.datetime.CALENDAR_MAC_1904,
           'creator': wb.properties.creator}
    for ws in wb.worksheets:
        cells = {}
        for row in ws.iter_rows():
            for c in row:
                v = c.value
                if v is None:
                    continue
                if isinstance(v, datetime.datetime):
                    v = ['datetime', v.isoformat()]
                elif isinstance(v, datetime.time):
                    v = ['time', v.isoformat()]
                elif isinstance(v, datetime.date):
                    v = ['date', v.isoformat()]
                elif isinstance(v, (int, float)) and not isinstance(v, bool):
                    v = ['number', v]
                else:
                    v = ['text', str(v)]
                v.append(bool(c.font and c.font.b))
                cells[c.coordinate] = v
        out['sheets'].append({'title': ws.title, 'cells': cells})
    problems, main, names = structure(path)
    out['problems'] = problems
    out['main_type'] = main
    out['parts'] = names
    with zipfile.ZipFile(path) as z:
        out['sizes'] = {n: z.getinfo(n).file_size for n in names}
        out['crc'] = {n: z.getinfo(n).CRC for n in names}
    print(json.dumps(out))


def template(path):
    wb = openpyxl.Workbook()
    wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
    ws = wb.active
    ws.title = 'Export'
    ws['A1'] = 'Vorlage'
    ws['A1'].font = Font(bold=True)
    for r in range(20, 26):
        for c in range(1, 33):
            ws.cell(row=r, column=c).font = Font(bold=True)
    ws['B21'] = '=1+1'
    ws['D3'] = '=A1'
    ws['C12'].number_format = 'DD.MM.YYYY'
    second = wb.create_sheet('Notizen')
    second['A1'] = 'bleibt'
    tmp = path + '.plain.xlsx'
    wb.save(tmp)
    with zipfile.ZipFile(tmp) as src, zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as dst:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == '[Content_Types].xml':
                data = data.replace(b'<Default Extension="xml"',
                                    b'<Default Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/>'
                                    b'<Default Extension="xml"')
                data = data.replace(b'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml',
                                    b'application/vnd.ms-excel.sheet.macroEnabled.main+xml')
            if item.filename == 'xl/_rels/workbook.xml.rels':
                data = data.replace(b'</Relationships>',
                                    b'<Relationship Id="rIdVba" Type="http://schemas.microsoft.com/office/2006/'
                                    b'relationships/vbaProject" Target="vbaProject.bin"/></Relationships>')
            dst.writestr(item, data)
        dst.writestr('xl/vbaProject.bin', b'\xd0\xcf\x11\xe0 not a real project')


if __name__ == '__main__':
    {'dump': dump, 'template': template}[sys.argv[1]](sys.argv[2])
