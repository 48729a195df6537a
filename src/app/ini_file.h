#pragma once

#include <QByteArray>
#include <QString>

// One INI file read and written the way the Windows private-profile functions do it:
//
// - "[Section]" lines open sections, "Key=Value" lines hold keys; section and key names
//   match without regard to case; only the first section of a name is searched, and the
//   first key of a name within it wins;
// - every call reads the file anew, every write reads it, changes one line (or adds one)
//   and writes it back; other sections, keys, comments, blank lines, order and line
//   endings stay byte for byte as they were; a new key goes after the last key of its
//   section, a new section at the end of the file;
// - values are read with the blanks around them removed and one pair of enclosing
//   quotes (" or ') dropped, then cut to the caller's capacity;
// - the file is Windows-1251 text; lines end in CR LF or LF; anything else in it (lines
//   without "=", binary bytes, a missing final newline) is carried along untouched.
//
// A write goes through a temporary file in the same folder that replaces the old one,
// so a crash leaves either the old or the new file; the new file keeps the old one's
// mode bits (and owner, where the system allows). A file or folder without any write
// bit is read-only for everybody, root included: it is not rewritten.
//
// Only a regular file (or a symbolic link to one) is read or written: a named pipe, a
// device or a folder in its place gives defaults and failed writes, and is never
// opened, so nothing blocks.
class IniFile {
public:
    // Larger files are not read (reads give defaults) and not rewritten.
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
    // Integers are read through a 30-character buffer, as the Windows function does.
    static constexpr int kIntCapacity = 29;

    explicit IniFile(QString path);

    const QString &path() const { return m_path; }

    // The value of [section] key, or defaultValue when the file, the section or the key
    // is missing; at most capacity characters are kept (a capacity below 1 gives "").
    QString readString(const QString &section, const QString &key, const QString &defaultValue,
                       int capacity) const;

    // The value read as a decimal integer: blanks, an optional sign, then digits up to
    // the first other character ("12abc" gives 12, "abc" gives 0); a missing or empty
    // value gives defaultValue. Overflow wraps around in 32 bits as on Windows.
    int readInt(const QString &section, const QString &key, int defaultValue) const;

    // Sets [section] key=value, creating the file, the section or the key as needed.
    // False, with the file left as it was, when the file cannot be read or written (not a
    // regular file, read-only, too large), or
    // when the names or the value cannot be stored: an empty section or key, a line
    // break or NUL in any of them, "=" in the key or a key starting with ";" or "[",
    // or characters that Windows-1251 cannot hold.
    bool writeString(const QString &section, const QString &key, const QString &value) const;

    // The same operations on file contents in memory; the file functions above are
    // these plus the reading and writing of the file.
    static QString readFrom(const QByteArray &contents, const QString &section, const QString &key,
                            const QString &defaultValue, int capacity);
    static bool writeInto(QByteArray &contents, const QString &section, const QString &key,
                          const QString &value);
    static int parseInt(const QString &text, int defaultValue);

private:
    enum class Load { Ok, Missing, Failed };
    Load load(QByteArray &contents) const;

    QString m_path;
};
