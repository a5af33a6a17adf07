#pragma once
// In-memory image of an INI file that keeps what it does not know: comments, blank lines,
// foreign sections and keys stay where they were. Section and key names match without regard
// to case; the first of duplicate keys is the one read and updated. Read line by line as UTF-8
// or, where a line is no valid UTF-8, as Windows-1252; written as UTF-8, and replaced
// atomically (temporary file, fsync, rename) so a failed save keeps the old file.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class TSettingsIni {
public:
    TSettingsIni() = default;
    // Loads the file; a missing file is an empty image. An existing file that cannot be read
    // raises ESettingsError with the system's error text.
    explicit TSettingsIni(const QString& fileName);

    const QString& fileName() const { return FFileName; }

    void LoadFromText(const QString& text);
    QString ToText() const;

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    // Section names in file order (duplicates included).
    QStringList Sections() const;

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Decimal, or hexadecimal after "0x" or "$"; the default when missing or not an integer.
    qint32 ReadInteger(const QString& section, const QString& key, qint32 defaultValue) const;
    // Any integer but 0 is yes.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    // Line breaks in a value would split it into foreign lines; they are written as blanks.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, qint32 value);
    void WriteBool(const QString& section, const QString& key, bool value);

    // Writes the image to its file; raises ESettingsError with the system's error text.
    void UpdateFile() const;

private:
    struct TLine {
        QString raw;    // the line as it is in the file
        QString key;    // empty for comments, blank and other lines
        QString value;
    };
    struct TSection {
        QString name;   // empty for the lines before the first section header
        std::vector<TLine> lines;
        bool hasHeader = false;
        QString header;
    };

    const TLine* findKey(const QString& section, const QString& key) const;

    std::vector<TSection> FSections;
    QString FFileName;
    QString FLineBreak = QStringLiteral("\n");
    bool FBom = false;
};

// The file's bytes as text: each line that is valid UTF-8 as UTF-8, any other line (typed by
// hand in an ANSI editor) as Windows-1252.
QString DecodeSettingsText(const QByteArray& bytes);

// Settings-file numbers: general format, up to 15 significant digits, "." as separator, "E"
// exponent ("0", "1", "0.001", "1E20"); independent of the process locale.
QString FloatToIniText(long double value);
// Reads that format back; false for anything else (a "," in particular).
bool IniTextToFloat(const QString& text, long double& value);
// Decimal, or hexadecimal after "0x" or "$" (optionally signed); false when no 32-bit integer.
bool IniTextToInteger(const QString& text, qint32& value);

// Replaces the file by data without leaving it half written (temporary file and rename); raises
// ESettingsError. An existing file this user may not write is refused with the system's error;
// one in a folder the user may not write is overwritten in place.
void WriteFileAtomically(const QString& fileName, const QByteArray& data);
