#pragma once
// Reading the program's small INI files (command.ini, pdf.ini) the way installers write them with a
// text editor: section and key names match without regard to letter case, values are taken verbatim
// (trimmed; one pair of enclosing quotes removed), commas and backslashes mean nothing. Text that is
// not valid UTF-8 is read as Windows-1252, the encoding such files usually come in.

#include <QHash>
#include <QString>

#include <string>

namespace lumeq {

class IniFile {
public:
    // Reads the file; a missing or unreadable file gives an empty IniFile with exists() reporting
    // whether the path names a file at all.
    static IniFile load(const QString& path);
    // The same for a name exactly as the file system has it, byte for byte (a command-line argument).
    static IniFile loadNative(const std::string& nativeName);
    static IniFile parse(const QByteArray& content);

    bool exists() const { return exists_; }
    QString value(const QString& section, const QString& key, const QString& defaultValue = {}) const;

private:
    bool exists_ = false;
    QHash<QString, QString> values_; // "section\nkey" in lower case -> value
};

} // namespace lumeq
