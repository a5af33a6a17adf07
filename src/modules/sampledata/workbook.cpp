#include "workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <pugixml.hpp>
#include <zip.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

namespace {

const char* const kRelWorksheet = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
const char* const kRelOfficeDocument = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
const char* const kRelCoreProps = "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";
const char* const kRelStyles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
const char* const kRelCalcChain = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain";
const char* const kRelVba = "http://schemas.microsoft.com/office/2006/relationships/vbaProject";
const char* const kCtSheetMain = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const char* const kCtMacroMain = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
const char* const kCtCore = "application/vnd.openxmlformats-package.core-properties+xml";
const char* const kAppendMarker = "SARVIK-APPENDED-ROWS";
constexpr int kDateFormatId = 14;  // built-in short date
constexpr int kTimeFormatId = 21;  // built-in h:mm:ss
constexpr int kFlushRows = 512;
constexpr zip_uint32_t kDeflateLevel = 6;    // rows kept in memory below the template before they are written out

QString partDir(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash + 1);
}

QString relsOf(const QString& part)
{
    return partDir(part) + QStringLiteral("_rels/") + part.mid(part.lastIndexOf(QLatin1Char('/')) + 1)
           + QStringLiteral(".rels");
}

// A relationship target relative to the part that owns the relationships.
QString resolve(const QString& base, const QString& target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    QStringList parts = (partDir(base) + target).split(QLatin1Char('/'));
    QStringList out;
    for (const QString& p : parts) {
        if (p == QLatin1String(".."))
            out.removeLast();
        else if (p != QLatin1String(".") && !p.isEmpty())
            out << p;
    }
    return out.join(QLatin1Char('/'));
}

bool parse(pugi::xml_document& doc, const QByteArray& bytes)
{
    return doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()),
                           pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single)
        .status
        == pugi::status_ok;
}

QByteArray serialize(const pugi::xml_document& doc)
{
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return QByteArray::fromStdString(out.str());
}

// Text escaped for XML, characters XML cannot carry written as the format's _xHHHH_.
QByteArray escapeText(const QString& text)
{
    bool plain = true;
    for (QChar ch : text) {
        const ushort u = ch.unicode();
        if (u == '&' || u == '<' || u == '>' || u == '"' || u < 0x20 || u >= 0xFFFE) {
            plain = false;
            break;
        }
    }
    if (plain)
        return text.toUtf8();
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const ushort u = ch.unicode();
        if (u == '&')
            out += QStringLiteral("&amp;");
        else if (u == '<')
            out += QStringLiteral("&lt;");
        else if (u == '>')
            out += QStringLiteral("&gt;");
        else if (u == '"')
            out += QStringLiteral("&quot;");
        else if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            out += QStringLiteral("_x%1_").arg(u, 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("_X"), QLatin1String("_x"));
        else
            out += ch;
    }
    return out.toUtf8();
}

QString escapeForDom(const QString& text)
{
    QString out;
    for (QChar ch : text) {
        const ushort u = ch.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            out += QStringLiteral("_x%1_").arg(u, 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("_X"), QLatin1String("_x"));
        else
            out += ch;
    }
    return out;
}

bool cellRef(const char* ref, int& row, int& column)
{
    column = 0;
    row = 0;
    const char* p = ref;
    while (*p >= 'A' && *p <= 'Z')
        column = column * 26 + (*p++ - 'A' + 1);
    while (*p >= '0' && *p <= '9')
        row = row * 10 + (*p++ - '0');
    return *p == 0 && row > 0 && column > 0;
}

bool isDateFormatCode(QString code)
{
    code.remove(QRegularExpression(QStringLiteral("\"[^\"]*\"|\\[[^\\]]*\\]|\\\\.")));
    return code.contains(QRegularExpression(QStringLiteral("[dDmMyYhHsS]")));
}

bool isBuiltinDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

}  // namespace

double SpreadsheetDate(const QDate& date, bool date1904)
{
    const QDate epoch = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    return static_cast<double>(epoch.daysTo(date));
}

double SpreadsheetTime(const QTime& time)
{
    return QTime(0, 0).msecsTo(time) / 86400000.0;
}

QString ColumnName(int column)
{
    static const QStringList cached = [] {
        QStringList names;
        for (int c = 0; c <= 64; ++c) {
            QString name;
            for (int k = c; k > 0; k = (k - 1) / 26)
                name.prepend(QChar('A' + (k - 1) % 26));
            names << name;
        }
        return names;
    }();
    if (column >= 0 && column < cached.size())
        return cached.at(column);
    QString name;
    while (column > 0) {
        const int rest = (column - 1) % 26;
        name.prepend(QChar('A' + rest));
        column = (column - 1) / 26;
    }
    return name;
}

class TWorkbook::TImpl {
public:
    std::vector<std::pair<QString, QByteArray>> Parts;
    QString WorkbookPath;
    QString SheetPath;
    QString StylesPath;
    bool Date1904 = false;
    pugi::xml_document Sheet;
    pugi::xml_document Styles;
    bool StylesLoaded = false;
    bool StylesChanged = false;
    int TemplateLastRow = 0;
    int MaxColumn = 1;
    int MaxRow = 1;
    QHash<QString, int> DateStyles;
    int StreamDateStyle = -1;  // styles of dates and times in rows below the template
    int StreamTimeStyle = -1;  // "<base>:<kind>" -> appended style
    std::map<int, std::map<int, TCellValue>> Pending;  // rows below the template, not yet written out
    int FlushedUpTo = 0;  // rows up to here are in Stream
    std::unique_ptr<QTemporaryFile> Stream;
    QString Error;

    QByteArray* part(const QString& name)
    {
        for (auto& p : Parts) {
            if (p.first == name)
                return &p.second;
        }
        return nullptr;
    }
    void setPart(const QString& name, const QByteArray& bytes)
    {
        if (QByteArray* p = part(name))
            *p = bytes;
        else
            Parts.emplace_back(name, bytes);
    }
    void removePart(const QString& name)
    {
        std::erase_if(Parts, [&](const auto& p) { return p.first == name; });
    }

    // Target of the first relationship of type in the rels of owner ("" for the package).
    QString relTarget(const QString& owner, const char* type)
    {
        const QString rels = owner.isEmpty() ? QStringLiteral("_rels/.rels") : relsOf(owner);
        const QByteArray* bytes = part(rels);
        pugi::xml_document doc;
        if (!bytes || !parse(doc, *bytes))
            return {};
        for (pugi::xml_node r : doc.child("Relationships").children("Relationship")) {
            if (std::strcmp(r.attribute("Type").value(), type) == 0)
                return resolve(owner, QString::fromUtf8(r.attribute("Target").value()));
        }
        return {};
    }

    bool loadStyles()
    {
        if (StylesLoaded)
            return true;
        const QByteArray* bytes = StylesPath.isEmpty() ? nullptr : part(StylesPath);
        if (!bytes || !parse(Styles, *bytes))
            return false;
        StylesLoaded = true;
        return true;
    }

    bool styleIsDateOrTime(int style)
    {
        if (!loadStyles())
            return false;
        pugi::xml_node xfs = Styles.child("styleSheet").child("cellXfs");
        int i = 0;
        for (pugi::xml_node xf : xfs.children("xf")) {
            if (i++ != style)
                continue;
            const int id = xf.attribute("numFmtId").as_int();
            if (isBuiltinDateFormat(id))
                return true;
            for (pugi::xml_node f : Styles.child("styleSheet").child("numFmts").children("numFmt")) {
                if (f.attribute("numFmtId").as_int() == id)
                    return isDateFormatCode(QString::fromUtf8(f.attribute("formatCode").value()));
            }
            return false;
        }
        return false;
    }

    // The style to write a date or time with, starting from the cell's own style.
    int dateStyle(int base, TCellValue::TKind kind)
    {
        if (styleIsDateOrTime(base))
            return base;
        const QString key = QStringLiteral("%1:%2").arg(base).arg(int(kind));
        if (DateStyles.contains(key))
            return DateStyles.value(key);
        if (!loadStyles())
            return base;
        pugi::xml_node xfs = Styles.child("styleSheet").child("cellXfs");
        pugi::xml_node source;
        int count = 0;
        for (pugi::xml_node xf : xfs.children("xf")) {
            if (count == base)
                source = xf;
            ++count;
        }
        pugi::xml_node added = source ? xfs.append_copy(source) : xfs.append_child("xf");
        if (!added.attribute("numFmtId"))
            added.append_attribute("numFmtId");
        added.attribute("numFmtId").set_value(kind == TCellValue::Time ? kTimeFormatId : kDateFormatId);
        if (!added.attribute("applyNumberFormat"))
            added.append_attribute("applyNumberFormat");
        added.attribute("applyNumberFormat").set_value("1");
        for (const char* a : {"fontId", "fillId", "borderId", "xfId"}) {
            if (!added.attribute(a))
                added.append_attribute(a).set_value("0");
        }
        if (!xfs.attribute("count"))
            xfs.append_attribute("count");
        xfs.attribute("count").set_value(count + 1);
        StylesChanged = true;
        DateStyles.insert(key, count);
        return count;
    }

    QByteArray valueXml(const TCellValue& v, int style, QByteArray& typeAttr)
    {
        typeAttr.clear();
        switch (v.Kind) {
        case TCellValue::Number: return "<v>" + escapeText(v.Value) + "</v>";
        case TCellValue::Text:
            typeAttr = "inlineStr";
            return "<is><t xml:space=\"preserve\">" + escapeText(v.Value) + "</t></is>";
        case TCellValue::Date:
            return "<v>" + QByteArray::number(SpreadsheetDate(v.DateValue, Date1904), 'g', 15) + "</v>";
        case TCellValue::Time: return "<v>" + QByteArray::number(SpreadsheetTime(v.TimeValue), 'g', 15) + "</v>";
        default: break;
        }
        Q_UNUSED(style);
        return {};
    }

    // Sets a cell inside the template's rows, in the tree.
    void setInTree(int row, int column, const TCellValue& v)
    {
        pugi::xml_node data = Sheet.child("worksheet").child("sheetData");
        pugi::xml_node rowNode;
        for (pugi::xml_node r : data.children("row")) {
            const int n = r.attribute("r").as_int();
            if (n == row) {
                rowNode = r;
                break;
            }
            if (n > row) {
                rowNode = data.insert_child_before("row", r);
                rowNode.append_attribute("r").set_value(row);
                break;
            }
        }
        if (!rowNode) {
            rowNode = data.append_child("row");
            rowNode.append_attribute("r").set_value(row);
        }
        const QByteArray ref = (ColumnName(column) + QString::number(row)).toLatin1();
        pugi::xml_node cell;
        for (pugi::xml_node c : rowNode.children("c")) {
            int cr = 0, cc = 0;
            if (!cellRef(c.attribute("r").value(), cr, cc))
                continue;
            if (cc == column) {
                cell = c;
                break;
            }
            if (cc > column) {
                cell = rowNode.insert_child_before("c", c);
                cell.append_attribute("r").set_value(ref.constData());
                break;
            }
        }
        if (!cell) {
            cell = rowNode.append_child("c");
            cell.append_attribute("r").set_value(ref.constData());
        }
        while (pugi::xml_node child = cell.first_child())
            cell.remove_child(child);
        cell.remove_attribute("t");
        int style = cell.attribute("s").as_int();
        if (v.Kind == TCellValue::Date || v.Kind == TCellValue::Time) {
            style = dateStyle(style, v.Kind);
            if (!cell.attribute("s"))
                cell.append_attribute("s");
            cell.attribute("s").set_value(style);
        }
        switch (v.Kind) {
        case TCellValue::Empty: break;
        case TCellValue::Text: {
            cell.append_attribute("t").set_value("inlineStr");
            pugi::xml_node t = cell.append_child("is").append_child("t");
            t.append_attribute("xml:space").set_value("preserve");
            t.text().set(escapeForDom(v.Value).toUtf8().constData());
            break;
        }
        default: {
            QByteArray type;
            QByteArray xml = valueXml(v, style, type);
            xml.chop(4);  // "</v>"
            cell.append_child("v").text().set(xml.mid(3).constData());
            break;
        }
        }
    }

    void rowXml(int row, const std::vector<std::pair<int, const TCellValue*>>& cells, QByteArray& out)
    {
        const QByteArray rowText = QByteArray::number(row);
        out += "<row r=\"" + rowText + "\">";
        for (const auto& [column, v] : cells) {
            int style = 0;
            if (v->Kind == TCellValue::Date || v->Kind == TCellValue::Time) {
                int& cached = v->Kind == TCellValue::Date ? StreamDateStyle : StreamTimeStyle;
                if (cached < 0)
                    cached = dateStyle(0, v->Kind);
                style = cached;
            }
            QByteArray type;
            const QByteArray value = valueXml(*v, style, type);
            out += "<c r=\"";
            out += ColumnName(column).toLatin1();
            out += rowText;
            out += '"';
            if (style)
                out += " s=\"" + QByteArray::number(style) + "\"";
            if (!type.isEmpty())
                out += " t=\"" + type + "\"";
            if (value.isEmpty()) {
                out += "/>";
            } else {
                out += '>';
                out += value;
                out += "</c>";
            }
        }
        out += "</row>";
    }

    bool openStream()
    {
        if (!Stream) {
            Stream = std::make_unique<QTemporaryFile>();
            if (!Stream->open())
                return false;
        }
        return true;
    }

    bool flush(int belowRow)
    {
        if (!openStream())
            return false;
        QByteArray out;
        for (auto it = Pending.begin(); it != Pending.end() && it->first < belowRow;) {
            std::vector<std::pair<int, const TCellValue*>> cells;
            for (const auto& [column, v] : it->second)
                cells.emplace_back(column, &v);
            rowXml(it->first, cells, out);
            FlushedUpTo = it->first;
            it = Pending.erase(it);
        }
        return Stream->write(out) == out.size();
    }
};

TWorkbook::TWorkbook() : FImpl(std::make_unique<TImpl>()) {}
TWorkbook::~TWorkbook() = default;

void TWorkbook::CreateEmpty()
{
    FImpl = std::make_unique<TImpl>();
    TImpl& d = *FImpl;
    d.Parts = {
        {QStringLiteral("[Content_Types].xml"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
         "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
         "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
         "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
         "</Types>"},
        {QStringLiteral("_rels/.rels"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
         "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
         "</Relationships>"},
        {QStringLiteral("docProps/core.xml"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:creator></dc:creator></cp:coreProperties>"},
        {QStringLiteral("xl/workbook.xml"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
         "<sheets><sheet name=\"Tabelle1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
         "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
         "</Relationships>"},
        {QStringLiteral("xl/styles.xml"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
         "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
         "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
         "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
         "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
         "<cellStyles count=\"1\"><cellStyle name=\"Standard\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
         "</styleSheet>"},
        {QStringLiteral("xl/worksheets/sheet1.xml"),
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
         "<dimension ref=\"A1\"/><sheetData/></worksheet>"},
    };
    d.WorkbookPath = QStringLiteral("xl/workbook.xml");
    d.SheetPath = QStringLiteral("xl/worksheets/sheet1.xml");
    d.StylesPath = QStringLiteral("xl/styles.xml");
    parse(d.Sheet, *d.part(d.SheetPath));
    FLastRow = 0;
}

bool TWorkbook::Open(const QString& path, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    FImpl = std::make_unique<TImpl>();
    TImpl& d = *FImpl;
    int code = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!za)
        return fail(QStringLiteral("not a workbook package (zip error %1)").arg(code));
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0)
            continue;
        const QString name = QString::fromUtf8(st.name);
        if (name.endsWith(QLatin1Char('/')))
            continue;
        QByteArray bytes(static_cast<qsizetype>(st.size), Qt::Uninitialized);
        zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
        if (!f || zip_fread(f, bytes.data(), st.size) != static_cast<zip_int64_t>(st.size)) {
            if (f)
                zip_fclose(f);
            zip_discard(za);
            return fail(QStringLiteral("unreadable part %1").arg(name));
        }
        zip_fclose(f);
        d.Parts.emplace_back(name, bytes);
    }
    zip_discard(za);

    d.WorkbookPath = d.relTarget(QString(), kRelOfficeDocument);
    const QByteArray* wb = d.part(d.WorkbookPath);
    pugi::xml_document wbDoc;
    if (d.WorkbookPath.isEmpty() || !wb || !parse(wbDoc, *wb))
        return fail(QStringLiteral("no workbook part"));
    const char* v1904 = wbDoc.child("workbook").child("workbookPr").attribute("date1904").value();
    d.Date1904 = std::strcmp(v1904, "1") == 0 || std::strcmp(v1904, "true") == 0;
    // The first sheet of the workbook whose relationship is a worksheet.
    pugi::xml_document rels;
    const QByteArray* relBytes = d.part(relsOf(d.WorkbookPath));
    if (!relBytes || !parse(rels, *relBytes))
        return fail(QStringLiteral("no workbook relationships"));
    for (pugi::xml_node s : wbDoc.child("workbook").child("sheets").children("sheet")) {
        const char* id = s.attribute("r:id").value();
        for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
            if (std::strcmp(r.attribute("Id").value(), id) == 0
                && std::strcmp(r.attribute("Type").value(), kRelWorksheet) == 0)
                d.SheetPath = resolve(d.WorkbookPath, QString::fromUtf8(r.attribute("Target").value()));
        }
        if (!d.SheetPath.isEmpty())
            break;
    }
    const QByteArray* sheet = d.SheetPath.isEmpty() ? nullptr : d.part(d.SheetPath);
    if (!sheet || !parse(d.Sheet, *sheet) || !d.Sheet.child("worksheet").child("sheetData"))
        return fail(QStringLiteral("no worksheet"));
    d.StylesPath = d.relTarget(d.WorkbookPath, kRelStyles);
    for (pugi::xml_node r : d.Sheet.child("worksheet").child("sheetData").children("row")) {
        d.TemplateLastRow = std::max(d.TemplateLastRow, r.attribute("r").as_int());
        for (pugi::xml_node c : r.children("c")) {
            int cr = 0, cc = 0;
            if (cellRef(c.attribute("r").value(), cr, cc))
                d.MaxColumn = std::max(d.MaxColumn, cc);
        }
    }
    d.MaxRow = std::max(1, d.TemplateLastRow);
    FLastRow = 0;
    return true;
}

bool TWorkbook::HasVbaProject() const
{
    return !FImpl->relTarget(FImpl->WorkbookPath, kRelVba).isEmpty();
}

bool TWorkbook::SetCell(int row, int column, const TCellValue& value)
{
    TImpl& d = *FImpl;
    if (row < 1 || row > kMaxRows || column < 1 || column > 16384)
        return false;
    FLastRow = std::max(FLastRow, row);
    d.MaxRow = std::max(d.MaxRow, row);
    d.MaxColumn = std::max(d.MaxColumn, column);
    if (row <= d.TemplateLastRow) {
        d.setInTree(row, column, value);
        return true;
    }
    if (row <= d.FlushedUpTo)
        return false;
    d.Pending[row][column] = value;
    if (static_cast<int>(d.Pending.size()) > kFlushRows)
        return d.flush(row);
    return true;
}

bool TWorkbook::SetBlock(int firstRow, const std::vector<std::vector<TCellValue>>& rows)
{
    TImpl& d = *FImpl;
    const int lastRow = firstRow + static_cast<int>(rows.size()) - 1;
    // A block below the template and below every row held back goes out at once.
    if (!rows.empty() && firstRow > d.TemplateLastRow && firstRow > d.FlushedUpTo && lastRow <= kMaxRows
        && (d.Pending.empty() || d.Pending.rbegin()->first < firstRow)) {
        if (!d.flush(firstRow))
            return false;
        QByteArray out;
        std::vector<std::pair<int, const TCellValue*>> cells;
        for (size_t i = 0; i < rows.size(); ++i) {
            cells.clear();
            for (size_t j = 0; j < rows[i].size(); ++j) {
                if (rows[i][j].Kind != TCellValue::Empty)
                    cells.emplace_back(static_cast<int>(j) + 1, &rows[i][j]);
            }
            d.MaxColumn = std::max(d.MaxColumn, static_cast<int>(rows[i].size()));
            d.rowXml(firstRow + static_cast<int>(i), cells, out);
        }
        d.FlushedUpTo = lastRow;
        d.MaxRow = std::max(d.MaxRow, lastRow);
        FLastRow = std::max(FLastRow, lastRow);
        return d.Stream->write(out) == out.size();
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        for (size_t j = 0; j < rows[i].size(); ++j) {
            if (!SetCell(firstRow + static_cast<int>(i), static_cast<int>(j) + 1, rows[i][j]))
                return false;
        }
    }
    return true;
}

bool TWorkbook::SaveAs(const QString& path, QString* error)
{
    TImpl& d = *FImpl;
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const bool macro = QFileInfo(path).suffix().compare(QLatin1String("xlsm"), Qt::CaseInsensitive) == 0;
    if (!d.flush(INT_MAX))
        return fail(QStringLiteral("cannot write a temporary file"));

    // Dimension.
    pugi::xml_node ws = d.Sheet.child("worksheet");
    pugi::xml_node dim = ws.child("dimension");
    if (!dim)
        dim = ws.insert_child_before("dimension", ws.first_child());
    if (!dim.attribute("ref"))
        dim.append_attribute("ref");
    dim.attribute("ref").set_value(
        (QStringLiteral("A1:") + ColumnName(d.MaxColumn) + QString::number(d.MaxRow)).toLatin1().constData());
    pugi::xml_node marker = ws.child("sheetData").append_child(pugi::node_comment);
    marker.set_value(kAppendMarker);
    const QByteArray sheetXml = serialize(d.Sheet);
    ws.child("sheetData").remove_child(marker);
    const QByteArray markerText = QByteArray("<!--") + kAppendMarker + "-->";
    const qsizetype at = sheetXml.indexOf(markerText);
    QTemporaryFile sheetFile;
    if (!sheetFile.open() || at < 0)
        return fail(QStringLiteral("cannot write a temporary file"));
    sheetFile.write(sheetXml.left(at));
    if (d.Stream) {
        d.Stream->seek(0);
        while (!d.Stream->atEnd())
            sheetFile.write(d.Stream->read(1 << 20));
        d.Stream->seek(d.Stream->size());
    }
    sheetFile.write(sheetXml.mid(at + markerText.size()));
    if (!sheetFile.flush())
        return fail(QStringLiteral("cannot write a temporary file"));

    // Parts that change with the save; the rest is copied as read.
    std::vector<std::pair<QString, QByteArray>> parts = d.Parts;
    auto find = [&parts](const QString& name) -> QByteArray* {
        for (auto& p : parts) {
            if (p.first == name)
                return &p.second;
        }
        return nullptr;
    };
    auto remove = [&parts](const QString& name) { std::erase_if(parts, [&](const auto& p) { return p.first == name; }); };
    if (d.StylesChanged && find(d.StylesPath))
        *find(d.StylesPath) = serialize(d.Styles);

    pugi::xml_document types;
    pugi::xml_document wbRels;
    pugi::xml_document pkgRels;
    pugi::xml_document wb;
    if (!parse(types, *find(QStringLiteral("[Content_Types].xml"))) || !parse(wbRels, *find(relsOf(d.WorkbookPath)))
        || !parse(pkgRels, *find(QStringLiteral("_rels/.rels"))) || !parse(wb, *find(d.WorkbookPath)))
        return fail(QStringLiteral("damaged package"));
    auto removeRel = [](pugi::xml_document& rels, const char* type, const QString& owner, auto& removePart) {
        pugi::xml_node root = rels.child("Relationships");
        for (pugi::xml_node r = root.first_child(); r;) {
            pugi::xml_node next = r.next_sibling();
            if (std::strcmp(r.attribute("Type").value(), type) == 0) {
                removePart(resolve(owner, QString::fromUtf8(r.attribute("Target").value())));
                root.remove_child(r);
            }
            r = next;
        }
    };
    std::vector<QString> removed;
    auto removePart = [&](const QString& name) {
        removed.push_back(name);
        remove(name);
    };
    // Calculation chain dropped, full recalculation on load.
    removeRel(wbRels, kRelCalcChain, d.WorkbookPath, removePart);
    pugi::xml_node calc = wb.child("workbook").child("calcPr");
    if (!calc)
        calc = wb.child("workbook").append_child("calcPr");
    if (!calc.attribute("fullCalcOnLoad"))
        calc.append_attribute("fullCalcOnLoad");
    calc.attribute("fullCalcOnLoad").set_value("1");
    if (!macro)
        removeRel(wbRels, kRelVba, d.WorkbookPath, removePart);
    // Author.
    QString corePath;
    for (pugi::xml_node r : pkgRels.child("Relationships").children("Relationship")) {
        if (std::strcmp(r.attribute("Type").value(), kRelCoreProps) == 0)
            corePath = resolve(QString(), QString::fromUtf8(r.attribute("Target").value()));
    }
    if (corePath.isEmpty()) {
        corePath = QStringLiteral("docProps/core.xml");
        pugi::xml_node r = pkgRels.child("Relationships").append_child("Relationship");
        r.append_attribute("Id").set_value("rIdSarvikCore");
        r.append_attribute("Type").set_value(kRelCoreProps);
        r.append_attribute("Target").set_value("docProps/core.xml");
        pugi::xml_node o = types.child("Types").append_child("Override");
        o.append_attribute("PartName").set_value("/docProps/core.xml");
        o.append_attribute("ContentType").set_value(kCtCore);
    }
    pugi::xml_document core;
    if (!find(corePath) || !parse(core, *find(corePath))) {
        parse(core, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                    "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
                    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"/>");
    }
    pugi::xml_node props = core.document_element();
    pugi::xml_node creator = props.child("dc:creator");
    if (!creator) {
        if (!props.attribute("xmlns:dc"))
            props.append_attribute("xmlns:dc").set_value("http://purl.org/dc/elements/1.1/");
        creator = props.append_child("dc:creator");
    }
    creator.text().set(FAuthor.toUtf8().constData());

    // Content types: removed parts go, the main part follows the format.
    pugi::xml_node typesRoot = types.child("Types");
    for (pugi::xml_node o = typesRoot.first_child(); o;) {
        pugi::xml_node next = o.next_sibling();
        const QString name = QString::fromUtf8(o.attribute("PartName").value()).mid(1);
        if (std::strcmp(o.name(), "Override") == 0) {
            if (std::find(removed.begin(), removed.end(), name) != removed.end())
                typesRoot.remove_child(o);
            else if (name == d.WorkbookPath)
                o.attribute("ContentType").set_value(macro && HasVbaProject() ? kCtMacroMain : kCtSheetMain);
        }
        o = next;
    }
    bool binLeft = false;
    for (const auto& p : parts)
        binLeft = binLeft || p.first.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
    if (!binLeft) {
        for (pugi::xml_node o = typesRoot.child("Default"); o;) {
            pugi::xml_node next = o.next_sibling("Default");
            if (QString::fromUtf8(o.attribute("Extension").value()).compare(QLatin1String("bin"), Qt::CaseInsensitive) == 0)
                typesRoot.remove_child(o);
            o = next;
        }
    }
    *find(QStringLiteral("[Content_Types].xml")) = serialize(types);
    *find(relsOf(d.WorkbookPath)) = serialize(wbRels);
    *find(QStringLiteral("_rels/.rels")) = serialize(pkgRels);
    *find(d.WorkbookPath) = serialize(wb);
    if (QByteArray* c = find(corePath))
        *c = serialize(core);
    else
        parts.emplace_back(corePath, serialize(core));

    // Written beside the target and renamed over it: an existing file is replaced whole or not at all.
    const QFileInfo target(path);
    const QString partial = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".partial");
    QFile::remove(partial);
    int code = 0;
    zip_t* za = zip_open(QFile::encodeName(partial).constData(), ZIP_CREATE | ZIP_EXCL, &code);
    if (!za)
        return fail(QStringLiteral("cannot create %1").arg(partial));
    for (const auto& [name, bytes] : parts) {
        zip_source_t* src = nullptr;
        if (name == d.SheetPath)
            src = zip_source_file(za, QFile::encodeName(sheetFile.fileName()).constData(), 0, -1);
        else
            src = zip_source_buffer(za, bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0);
        const zip_int64_t index = src ? zip_file_add(za, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8) : -1;
        // zlib's usual level; libzip's own default packs hardest and costs several times the time.
        if (index < 0 || zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, kDeflateLevel) != 0) {
            if (src && index < 0)
                zip_source_free(src);
            zip_discard(za);
            QFile::remove(partial);
            return fail(QStringLiteral("cannot add %1").arg(name));
        }
    }
    if (zip_close(za) != 0) {
        const QString reason = QString::fromUtf8(zip_strerror(za));
        zip_discard(za);
        QFile::remove(partial);
        return fail(reason);
    }
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(partial);
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return true;
}
