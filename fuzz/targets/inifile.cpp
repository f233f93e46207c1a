// The program's INI files (command.ini, pdf.ini) as an installer writes them: the keys the program asks
// for, read from any bytes. Line ends, a byte-order mark and the letter case of names must not change
// what is read.

#include "fuzztarget.h"

#include "files/inifile.h"

#include <QByteArray>
#include <QString>

#include <array>

using namespace lumeq;

namespace {

struct Key {
    const char* section;
    const char* key;
};

// What command.ini and pdf.ini are asked for.
constexpr std::array<Key, 8> kKeys = {{{"Commands", "eraseAll"},
                                       {"Commands", "copyAstro"},
                                       {"Commands", "set60Hz"},
                                       {"Commands", "showLog"},
                                       {"Commands", "skipFW"},
                                       {"Header", "Line1"},
                                       {"Header", "Line2"},
                                       {"", "a"}}};

const QString kMissing = QStringLiteral("\x01missing");

void checkSame(const IniFile& a, const IniFile& b) {
    for (const Key& key : kKeys) {
        const QString section = QString::fromLatin1(key.section);
        const QString name = QString::fromLatin1(key.key);
        FUZZ_CHECK(a.value(section, name, kMissing) == b.value(section, name, kMissing));
    }
}

} // namespace

LUMEQ_FUZZ_TARGET(inifile) {
    const QByteArray content(reinterpret_cast<const char*>(input.data()), static_cast<qsizetype>(input.size()));
    const IniFile ini = IniFile::parse(content);
    FUZZ_CHECK(ini.exists());

    for (const Key& key : kKeys) {
        const QString section = QString::fromLatin1(key.section);
        const QString name = QString::fromLatin1(key.key);
        const QString value = ini.value(section, name, kMissing);
        if (value == kMissing)
            continue;
        // One line's value, trimmed, never longer than the file.
        FUZZ_CHECK(!value.contains(QLatin1Char('\n')));
        FUZZ_CHECK(value.size() <= content.size());
        // Names match in any letter case, and with blanks around them.
        FUZZ_CHECK(ini.value(section.toUpper(), name.toUpper(), kMissing) == value);
        FUZZ_CHECK(ini.value(section.toLower(), QStringLiteral(" ") + name.toLower() + QStringLiteral("\t"),
                             kMissing) == value);
    }

    // CR LF instead of LF reads the same.
    QByteArray crlf = content;
    crlf.replace("\n", "\r\n");
    checkSame(ini, IniFile::parse(crlf));
    // So does the text behind a UTF-8 byte-order mark.
    if (!content.startsWith("\xEF\xBB\xBF"))
        checkSame(ini, IniFile::parse(QByteArray("\xEF\xBB\xBF") + content));
}
