#include "files/inifile.h"

#include "files/nativename.h"

#include <QFile>
#include <QStringDecoder>

#include <filesystem>
#include <system_error>

namespace lumeq {

namespace {

// Files larger than this are not configuration files; only their beginning is read.
constexpr std::size_t kMaxIniSize = 1 << 20;

QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Windows-1252 is Latin-1 but for 0x80..0x9F; those few printable characters do not matter here.
    return QString::fromLatin1(bytes);
}

QString composeKey(const QString& section, const QString& key) {
    return section.trimmed().toLower() + QLatin1Char('\n') + key.trimmed().toLower();
}

} // namespace

IniFile IniFile::load(const QString& path) {
    return loadNative(QFile::encodeName(path).toStdString());
}

IniFile IniFile::loadNative(const std::string& nativeName) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(nativeName), error))
        return {};
    const FileBytes file = readNativeFile(nativeName, kMaxIniSize);
    IniFile ini;
    if (file.ok)
        ini = parse(QByteArray(file.bytes.data(), static_cast<qsizetype>(file.bytes.size())));
    ini.exists_ = true;
    return ini;
}

IniFile IniFile::parse(const QByteArray& content) {
    IniFile ini;
    ini.exists_ = true;
    const QByteArray bom("\xEF\xBB\xBF");
    const QString text = decode(content.startsWith(bom) ? content.mid(bom.size()) : content);
    QString section;
    const auto lines = text.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const auto close = line.indexOf(QLatin1Char(']'));
            section = close > 0 ? line.mid(1, close - 1) : QString();
            continue;
        }
        const auto eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) ||
                                  (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))))
            value = value.mid(1, value.size() - 2);
        const QString key = composeKey(section, line.left(eq));
        if (!ini.values_.contains(key)) // the first entry of a key counts, as with the Windows INI reader
            ini.values_.insert(key, value);
    }
    return ini;
}

QString IniFile::value(const QString& section, const QString& key, const QString& defaultValue) const {
    return values_.value(composeKey(section, key), defaultValue);
}

} // namespace lumeq
