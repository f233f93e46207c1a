#include "files/nativename.h"
#include "files/utf8.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumeq {

namespace {

constexpr char32_t kByteBase = 0xEF00; // a byte b that is not text is kept as U+EF00 + b
constexpr char32_t kFirstKept = kByteBase + 0x80;
constexpr char32_t kLastKept = kByteBase + 0xFF;

bool isKept(char32_t c) {
    return c >= kFirstKept && c <= kLastKept;
}

} // namespace

QString decodeNative(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t start = pos;
        const std::optional<char32_t> c = nextUtf8(bytes, pos);
        if (c && !isKept(*c)) {
            // Appended as it is: QString::fromUcs4 would drop a U+FEFF (byte-order mark) at its start.
            if (QChar::requiresSurrogates(*c)) {
                text.append(QChar(QChar::highSurrogate(*c)));
                text.append(QChar(QChar::lowSurrogate(*c)));
            } else {
                text.append(QChar(static_cast<char16_t>(*c)));
            }
            continue;
        }
        // Not text, or a character that stands for a kept byte: each byte on its own.
        for (std::size_t i = start; i < pos; ++i)
            text.append(QChar(static_cast<char16_t>(kByteBase + static_cast<unsigned char>(bytes[i]))));
    }
    return text;
}

std::string encodeNative(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    const QList<uint> codePoints = text.toUcs4();
    for (const uint c : codePoints) {
        if (isKept(c))
            out.push_back(static_cast<char>(c - kByteBase));
        else
            appendUtf8(out, c);
    }
    return out;
}

bool isPlainText(const QString& text) {
    for (const QChar c : text) {
        if (isKept(c.unicode()))
            return false;
    }
    return true;
}

FileBytes readNativeFile(const std::string& nativeName, std::size_t maxBytes) {
    FileBytes result;
    const std::string name = QFile::decodeName(nativeName.c_str()).toStdString();
    struct stat info {};
    if (::stat(nativeName.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        result.error = name + ": is a directory";
        return result;
    }
    const int descriptor = ::open(nativeName.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        result.missing = errno == ENOENT;
        result.error = name + ": " + std::strerror(errno);
        return result;
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        result.error = name + ": " + file.errorString().toStdString();
        return result;
    }
    const QByteArray bytes = file.read(static_cast<qint64>(maxBytes));
    if (file.error() != QFileDevice::NoError) {
        result.error = name + ": " + file.errorString().toStdString();
        return result;
    }
    result.ok = true;
    result.bytes.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return result;
}

} // namespace lumeq
