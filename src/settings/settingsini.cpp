#include "settingsini.h"

#include "settingstexts.h"

#include <QFile>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <iterator>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isComment(const QString& trimmed)
{
    return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
}

QString systemErrorText(const QString& fileName, int err)
{
    return QStringLiteral("%1: %2").arg(fileName, QString::fromLocal8Bit(std::strerror(err)));
}

QString oneLine(QString value)
{
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

// Windows-1252 in 0x80..0x9F; the five bytes it leaves undefined keep their C1 code.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += (b >= 0x80 && b <= 0x9F) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

}  // namespace

QString DecodeSettingsText(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        const QByteArrayView line(bytes.constData() + start, end - start);
        // The file's own byte order mark is gone already; one at the start of a line is text and
        // is written back as such.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString decoded = utf8.decode(line);
        text += utf8.hasError() ? fromWindows1252(line) : decoded;
        start = end;
    }
    return text;
}

TSettingsIni::TSettingsIni(const QString& fileName) : FFileName(fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        RaiseSettingsError(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        RaiseSettingsError(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        FBom = true;
        bytes.remove(0, 3);
    }
    if (bytes.contains("\r\n"))
        FLineBreak = QStringLiteral("\r\n");
    LoadFromText(DecodeSettingsText(bytes));
}

void TSettingsIni::LoadFromText(const QString& text)
{
    FSections.clear();
    FSections.push_back(TSection{});
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& raw : lines) {
        // Every CR at the end goes: one left behind would be written as a CR LF break, and the file
        // would read differently the next time.
        while (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.indexOf(QLatin1Char(']')) > 0) {
            TSection section;
            section.name = trimmed.mid(1, trimmed.indexOf(QLatin1Char(']')) - 1).trimmed();
            section.hasHeader = true;
            section.header = raw;
            FSections.push_back(std::move(section));
            continue;
        }
        TLine line{raw, QString(), QString()};
        const qsizetype eq = raw.indexOf(QLatin1Char('='));
        if (!trimmed.isEmpty() && !isComment(trimmed) && eq > 0) {
            line.key = raw.left(eq).trimmed();
            line.value = raw.mid(eq + 1).trimmed();
        }
        FSections.back().lines.push_back(std::move(line));
    }
}

QString TSettingsIni::ToText() const
{
    QString out;
    for (const TSection& section : FSections) {
        if (section.hasHeader)
            out += section.header + FLineBreak;
        for (const TLine& line : section.lines)
            out += line.raw + FLineBreak;
    }
    return out;
}

bool TSettingsIni::SectionExists(const QString& section) const
{
    for (const TSection& s : FSections)
        if (s.hasHeader && sameName(s.name, section))
            return true;
    return false;
}

bool TSettingsIni::ValueExists(const QString& section, const QString& key) const
{
    return findKey(section, key) != nullptr;
}

QStringList TSettingsIni::Sections() const
{
    QStringList names;
    for (const TSection& s : FSections)
        if (s.hasHeader)
            names << s.name;
    return names;
}

const TSettingsIni::TLine* TSettingsIni::findKey(const QString& section, const QString& key) const
{
    for (const TSection& s : FSections) {
        if (!s.hasHeader || !sameName(s.name, section))
            continue;
        for (const TLine& line : s.lines)
            if (!line.key.isEmpty() && sameName(line.key, key))
                return &line;
    }
    return nullptr;
}

QString TSettingsIni::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const TLine* line = findKey(section, key);
    return line ? line->value : defaultValue;
}

qint32 TSettingsIni::ReadInteger(const QString& section, const QString& key, qint32 defaultValue) const
{
    const TLine* line = findKey(section, key);
    qint32 value = 0;
    if (line && IniTextToInteger(line->value, value))
        return value;
    return defaultValue;
}

bool TSettingsIni::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TSettingsIni::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QString text = oneLine(value);
    if (FSections.empty())
        FSections.push_back(TSection{});
    for (TSection& s : FSections) {
        if (!s.hasHeader || !sameName(s.name, section))
            continue;
        for (TLine& line : s.lines) {
            if (!line.key.isEmpty() && sameName(line.key, key)) {
                // An unchanged value keeps the line exactly as the user wrote it.
                if (line.value != text) {
                    line.value = text;
                    line.raw = line.key + QLatin1Char('=') + text;
                }
                return;
            }
        }
    }
    TSection* target = nullptr;
    for (TSection& s : FSections) {
        if (s.hasHeader && sameName(s.name, section)) {
            target = &s;
            break;
        }
    }
    if (!target) {
        TSection fresh;
        fresh.name = section;
        fresh.hasHeader = true;
        fresh.header = QLatin1Char('[') + section + QLatin1Char(']');
        FSections.push_back(std::move(fresh));
        target = &FSections.back();
    }
    // New keys go after the last non-blank line, so blank separators stay before the next header.
    auto pos = target->lines.end();
    while (pos != target->lines.begin() && std::prev(pos)->raw.trimmed().isEmpty())
        --pos;
    target->lines.insert(pos, TLine{key + QLatin1Char('=') + text, key, text});
}

void TSettingsIni::WriteInteger(const QString& section, const QString& key, qint32 value)
{
    WriteString(section, key, QString::number(value));
}

void TSettingsIni::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettingsIni::UpdateFile() const
{
    QByteArray data;
    if (FBom)
        data = "\xEF\xBB\xBF";
    data += ToText().toUtf8();
    WriteFileAtomically(FFileName, data);
}

QString FloatToIniText(long double value)
{
    const double v = static_cast<double>(value);
    if (std::isinf(v))
        return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (std::isnan(v))
        return QStringLiteral("NAN");
    QString text = QString::number(v, 'g', 15);
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        // "1e+20" -> "1E20", "1e-07" -> "1E-7"
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        const bool negative = exponent.startsWith(QLatin1Char('-'));
        if (exponent.startsWith(QLatin1Char('+')) || negative)
            exponent.remove(0, 1);
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        text = mantissa + QLatin1Char('E') + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    return text;
}

bool IniTextToFloat(const QString& text, long double& value)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("INF"), Qt::CaseInsensitive) == 0
        || t.compare(QLatin1String("+INF"), Qt::CaseInsensitive) == 0) {
        value = HUGE_VALL;
        return true;
    }
    if (t.compare(QLatin1String("-INF"), Qt::CaseInsensitive) == 0) {
        value = -HUGE_VALL;
        return true;
    }
    // Only digits, sign, "." and an exponent: the C locale would otherwise take "," as a group
    // separator and read 1,5 as 15, and would accept "nan".
    if (t.isEmpty())
        return false;
    for (QChar c : t) {
        if (!(c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('+')
              || c == QLatin1Char('e') || c == QLatin1Char('E')))
            return false;
    }
    bool ok = false;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    const double d = c.toDouble(t, &ok);
    if (!ok)
        return false;
    value = d;
    return true;
}

bool IniTextToInteger(const QString& text, qint32& value)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    } else if (t.startsWith(QLatin1Char('$'))) {
        base = 16;
        t.remove(0, 1);
    }
    if (t.isEmpty())
        return false;
    for (QChar c : t)
        if (!(base == 16 ? (c.isDigit() || QStringLiteral("abcdefABCDEF").contains(c)) : c.isDigit()))
            return false;
    bool ok = false;
    const qulonglong magnitude = t.toULongLong(&ok, base);
    if (!ok)
        return false;
    if (base == 16) {
        // Hexadecimal spells the 32-bit pattern: $FFFFFFFF is -1.
        if (magnitude > 0xFFFFFFFFull)
            return false;
        const auto bits = static_cast<quint32>(magnitude);
        const qint32 v = static_cast<qint32>(bits);
        value = negative ? static_cast<qint32>(0u - bits) : v;
        return true;
    }
    if (negative ? magnitude > 2147483648ull : magnitude > 2147483647ull)
        return false;
    value = negative ? static_cast<qint32>(-static_cast<qint64>(magnitude)) : static_cast<qint32>(magnitude);
    return true;
}

#ifdef Q_OS_WIN

void WriteFileAtomically(const QString& fileName, const QByteArray& data)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        RaiseSettingsError(QStringLiteral("%1: %2").arg(fileName, file.errorString()));
}

#else

namespace {

bool writeAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Overwrites the open file from its start and cuts it to the new length; closes fd.
void writeInPlace(const QString& fileName, int fd, const QByteArray& data)
{
    if (!writeAll(fd, data) || ::ftruncate(fd, static_cast<off_t>(data.size())) != 0 || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        RaiseSettingsError(systemErrorText(fileName, err));
    }
    if (::close(fd) != 0)
        RaiseSettingsError(systemErrorText(fileName, errno));
}

// A save killed between creating its temporary file and the rename leaves "<name>.tmp.XXXXXX"
// behind. Only old ones go: a younger one may belong to a save running in another process.
void removeStaleTemporaries(const QString& target)
{
    const QFileInfo info(target);
    const QString prefix = info.fileName() + QStringLiteral(".tmp.");
    const QDateTime limit = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QDir dir = info.absoluteDir();
    const QStringList names = dir.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        const QFileInfo temp(path);
        if (!temp.isSymLink() && temp.ownerId() == ::getuid() && temp.lastModified().toUTC() < limit)
            QFile::remove(path);
    }
}

}  // namespace

void WriteFileAtomically(const QString& fileName, const QByteArray& data)
{
    // A symbolic link stays a link: its target is replaced.
    QString target = fileName;
    const QFileInfo info(fileName);
    if (info.isSymLink())
        target = info.symLinkTarget();
    const QByteArray nativeTarget = QFile::encodeName(target);

    mode_t mode = 0644;
    struct stat st {};
    int existingFd = -1;
    if (::stat(nativeTarget.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
        // A file this user may not write is refused, not replaced through the folder.
        existingFd = ::open(nativeTarget.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (existingFd < 0)
            RaiseSettingsError(systemErrorText(fileName, errno));
    }

    QByteArray tempName = nativeTarget + ".tmp.XXXXXX";
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0) {
        const int err = errno;
        // A folder the user may not write takes no temporary file; the file itself is written.
        if (existingFd >= 0 && (err == EACCES || err == EPERM)) {
            writeInPlace(fileName, existingFd, data);
            return;
        }
        if (existingFd >= 0)
            ::close(existingFd);
        RaiseSettingsError(systemErrorText(fileName, err));
    }
    if (existingFd >= 0)
        ::close(existingFd);

    auto failAfterCreate = [&](int err) {
        ::close(fd);
        ::unlink(tempName.constData());
        RaiseSettingsError(systemErrorText(fileName, err));
    };

    if (::fchmod(fd, mode) != 0)
        failAfterCreate(errno);
    if (!writeAll(fd, data))
        failAfterCreate(errno);
    if (::fsync(fd) != 0)
        failAfterCreate(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tempName.constData());
        RaiseSettingsError(systemErrorText(fileName, err));
    }
    if (::rename(tempName.constData(), nativeTarget.constData()) != 0) {
        const int err = errno;
        ::unlink(tempName.constData());
        RaiseSettingsError(systemErrorText(fileName, err));
    }
    // Make the rename itself durable; the data is safe either way.
    const QByteArray dir = QFile::encodeName(QFileInfo(target).absolutePath());
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    removeStaleTemporaries(target);
}

#endif
