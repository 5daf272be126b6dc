#pragma once

#include <QString>
#include <QStringList>

// INI files with the semantics the profile files have always had: "[Section]" lines open
// sections, "Key=Value" lines follow; section and key names are found without regard to
// letter case; a missing file, section or key is never an error but gives the default.
// Files are read as UTF-8 with either line ending. Each call reads the file anew.
namespace PrivateProfile {

// Every value is read into a buffer of this many characters, so one character less is used.
inline constexpr int kValueBuffer = 100;
// Library paths are read with a larger buffer.
inline constexpr int kPathBuffer = 255;
// Section names are gathered in one buffer of this size, each followed by a terminating zero.
inline constexpr int kSectionListBuffer = 16384;

// The value of key in section (surrounding blanks dropped, and one pair of enclosing double
// quotes), cut to bufferSize - 1 characters; defaultValue, cut the same way, when the file,
// section or key is missing. The first section of that name and its first such key count.
QString readString(const QString &path, const QString &section, const QString &key, const QString &defaultValue,
    int bufferSize = kValueBuffer);

// Writes key=value into section: an existing key gets its value replaced where it stands,
// a new key is appended after the last entry of its section, a missing section is appended
// at the end of the file, a missing file is created. The file is replaced atomically, so a
// failed write leaves the old file intact. Returns false when the file cannot be written.
bool writeString(const QString &path, const QString &section, const QString &key, const QString &value);

// One reading of an INI file, for callers that need several keys of it at once.
class Document
{
public:
    static Document load(const QString &path);
    QString value(
        const QString &section, const QString &key, const QString &defaultValue, int bufferSize = kValueBuffer) const;

private:
    QStringList m_lines;
};

// Section names in file order; names that do not fit the section-list buffer (together with
// their terminating zeros and the final one) are left out. Empty for a missing file.
QStringList sectionNames(const QString &path);

} // namespace PrivateProfile
