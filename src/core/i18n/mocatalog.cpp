#include "mocatalog.h"

#include <QFile>
#include <QStringDecoder>

namespace {

constexpr quint32 kMagic = 0x950412deU;
constexpr quint32 kMagicSwapped = 0xde120495U;
constexpr int kHeaderSize = 28;

quint32 readWord(const QByteArray& data, qsizetype offset, bool swapped)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData() + offset);
    const quint32 le = quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
    const quint32 be = quint32(p[3]) | (quint32(p[2]) << 8) | (quint32(p[1]) << 16) | (quint32(p[0]) << 24);
    return swapped ? be : le;
}

// The string described by the (length, offset) pair at descriptor; false when it lies outside.
bool readString(const QByteArray& data, quint32 descriptor, bool swapped, QByteArray& out)
{
    if (quint64(descriptor) + 8 > quint64(data.size()))
        return false;
    const quint32 length = readWord(data, descriptor, swapped);
    const quint32 offset = readWord(data, descriptor + 4, swapped);
    if (quint64(offset) + length > quint64(data.size()))
        return false;
    out = data.mid(offset, length);
    return true;
}

QByteArray headerField(const QByteArray& header, const QByteArray& name)
{
    for (const QByteArray& line : header.split('\n')) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed();
    }
    return {};
}

}  // namespace

bool TMoCatalog::Load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Clear();
        return Fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    }
    return LoadData(file.readAll(), path);
}

bool TMoCatalog::LoadData(const QByteArray& data, const QString& path)
{
    Clear();
    if (data.size() < kHeaderSize)
        return Fail(QStringLiteral("%1: too short for a catalogue").arg(path));
    bool swapped = false;
    const quint32 magic = readWord(data, 0, false);
    if (magic == kMagicSwapped)
        swapped = true;
    else if (magic != kMagic)
        return Fail(QStringLiteral("%1: not a compiled gettext catalogue").arg(path));
    // Major revision 0 and 1 share the tables we read; anything newer is unknown.
    if ((readWord(data, 4, swapped) >> 16) > 1)
        return Fail(QStringLiteral("%1: unsupported catalogue revision").arg(path));
    const quint32 count = readWord(data, 8, swapped);
    const quint32 originals = readWord(data, 12, swapped);
    const quint32 translations = readWord(data, 16, swapped);
    if (quint64(originals) + 8ULL * count > quint64(data.size())
        || quint64(translations) + 8ULL * count > quint64(data.size()))
        return Fail(QStringLiteral("%1: string tables outside the file").arg(path));

    QHash<QByteArray, QByteArray> entries;
    entries.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        QByteArray msgid;
        QByteArray msgstr;
        if (!readString(data, originals + 8 * i, swapped, msgid)
            || !readString(data, translations + 8 * i, swapped, msgstr))
            return Fail(QStringLiteral("%1: entry %2 lies outside the file").arg(path).arg(i));
        if (msgid.isEmpty()) {
            FCharset = headerField(msgstr, "Content-Type: text/plain; charset=");
            continue;
        }
        // Plural entries carry "singular\0plural"; they are found by the singular.
        const qsizetype nul = msgid.indexOf('\0');
        if (nul >= 0)
            msgid.truncate(nul);
        entries.insert(msgid, msgstr);
    }
    FEntries = std::move(entries);
    return true;
}

void TMoCatalog::Clear()
{
    FEntries.clear();
    FCharset.clear();
    FError.clear();
}

QString TMoCatalog::Lookup(const QByteArray& msgid) const
{
    const auto it = FEntries.constFind(msgid);
    if (it == FEntries.constEnd())
        return {};
    // A plural entry looked up without a count answers with its first form.
    const QByteArray text = it->left(it->indexOf('\0') >= 0 ? it->indexOf('\0') : it->size());
    return text.isEmpty() ? QString() : Decode(text);
}

QString TMoCatalog::LookupPlural(const QByteArray& singular, int form) const
{
    const auto it = FEntries.constFind(singular);
    if (it == FEntries.constEnd() || form < 0)
        return {};
    const QList<QByteArray> forms = it->split('\0');
    if (form >= forms.size() || forms.at(form).isEmpty())
        return {};
    return Decode(forms.at(form));
}

bool TMoCatalog::Fail(const QString& text)
{
    FError = text;
    return false;
}

QString TMoCatalog::Decode(const QByteArray& bytes) const
{
    if (FCharset.isEmpty() || FCharset.compare("UTF-8", Qt::CaseInsensitive) == 0)
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(FCharset.constData());
    if (!decoder.isValid())
        return QString::fromUtf8(bytes);
    return decoder.decode(bytes);
}
