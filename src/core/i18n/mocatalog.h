#pragma once
// Reader for gettext catalogues compiled by msgfmt (.mo files). Our own reader, because glibc's
// gettext ignores every catalogue while the program runs in the C locale.

#include <QByteArray>
#include <QHash>
#include <QString>

class TMoCatalog {
public:
    // Replaces the contents with the catalogue in path. On failure the catalogue is empty and
    // ErrorText() says why.
    bool Load(const QString& path);
    // Same from bytes already in memory (path only names them in the error text).
    bool LoadData(const QByteArray& data, const QString& path = QString());
    void Clear();

    bool IsEmpty() const { return FEntries.isEmpty(); }
    int Count() const { return int(FEntries.size()); }
    QString ErrorText() const { return FError; }

    // The translation of msgid; a null string when the catalogue has none or an empty one.
    QString Lookup(const QByteArray& msgid) const;
    // Plural lookup by the singular msgid; form index as the plural rule gives it. A null
    // string when there is no such entry or that form is empty.
    QString LookupPlural(const QByteArray& singular, int form) const;

private:
    bool Fail(const QString& text);
    QString Decode(const QByteArray& bytes) const;

    QHash<QByteArray, QByteArray> FEntries;  // msgid (singular) -> msgstr (forms split by NUL)
    QByteArray FCharset;
    QString FError;
};
