#include "platform/FileName.h"

#include <cctype>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace FileName {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // + byte (0x80..0xFF)

bool IsEscaped(char16_t unit) {
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

// Length of the valid UTF-8 sequence at p (0 when there is none), and its code point.
int Utf8Sequence(const unsigned char* p, qsizetype left, char32_t& cp) {
    const unsigned char b = p[0];
    int n = 0;
    char32_t min = 0;
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    if ((b & 0xE0) == 0xC0) {
        n = 2, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (left < n) {
        return 0;
    }
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return n;
}

QByteArray Stat(const QString& name, struct stat& st, int& error) {
    const QByteArray bytes = ToBytes(name);
    // A name with a NUL in it would reach the file named by the bytes before the NUL.
    error = bytes.contains('\0') ? ENOENT : (::stat(bytes.constData(), &st) == 0 ? 0 : errno);
    return bytes;
}

} // namespace

QString FromBytes(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    qsizetype i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        const int n = Utf8Sequence(p + i, bytes.size() - i, cp);
        if (n == 0) {
            out += QChar(char16_t(kEscapeBase + p[i]));
            ++i;
            continue;
        }
        out += QString::fromUcs4(&cp, 1);
        i += n;
    }
    return out;
}

QByteArray ToBytes(const QString& name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        const bool paired = i > 0 && QChar::isHighSurrogate(name[i - 1].unicode());
        if (IsEscaped(unit) && !paired) {
            out += char(unit - kEscapeBase);
            continue;
        }
        qsizetype len = 1;
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() &&
            QChar::isLowSurrogate(name[i + 1].unicode())) {
            len = 2;
        }
        out += name.mid(i, len).toUtf8();
        i += len - 1;
    }
    return out;
}

bool HasRawBytes(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (IsEscaped(name[i].unicode()) && !(i > 0 && name[i - 1].isHighSurrogate())) {
            return true;
        }
    }
    return false;
}

QString Shown(const QString& name) {
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        const bool paired = i > 0 && name[i - 1].isHighSurrogate();
        if (IsEscaped(unit) && !paired) {
            out += QString::asprintf("\\x%02X", unsigned(unit - kEscapeBase));
        } else if (unit < 0x20 || unit == 0x7F) {
            out += QString::asprintf("\\x%02X", unsigned(unit));
        } else {
            out += name[i];
        }
    }
    return out;
}

QString FromUri(const QUrl& url) {
    if (!url.isLocalFile()) {
        return {};
    }
    // The path as sent, percent-escapes and all, then decoded to bytes.
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray bytes = QByteArray::fromPercentEncoding(encoded);
    // No file name holds a NUL ("a.mp4%00.txt" would reach a.mp4): such a URI names no file.
    return bytes.contains('\0') ? QString() : FromBytes(bytes);
}

QByteArray ToUri(const QString& absoluteName) {
    return "file://" + ToBytes(absoluteName).toPercentEncoding("/");
}

Kind KindOf(const QString& name) {
    struct stat st {};
    int error = 0;
    Stat(name, st, error);
    if (error != 0) {
        return error == EACCES ? Kind::NoAccess : Kind::Missing;
    }
    if (S_ISREG(st.st_mode)) {
        return Kind::File;
    }
    if (S_ISDIR(st.st_mode)) {
        return Kind::Folder;
    }
    if (S_ISFIFO(st.st_mode)) {
        return Kind::Fifo;
    }
    if (S_ISSOCK(st.st_mode)) {
        return Kind::Socket;
    }
    return Kind::Device;
}

bool IsReadable(const QString& name) {
    return ::access(ToBytes(name).constData(), R_OK) == 0;
}

qint64 SizeOf(const QString& name) {
    struct stat st {};
    int error = 0;
    Stat(name, st, error);
    return error == 0 ? qint64(st.st_size) : -1;
}

QString KindText(Kind kind) {
    switch (kind) {
    case Kind::Missing:
        return QStringLiteral("文件不存在");
    case Kind::NoAccess:
        return QStringLiteral("没有访问权限");
    case Kind::Folder:
        return QStringLiteral("这是一个文件夹");
    case Kind::Fifo:
        return QStringLiteral("这是一个管道，不是文件");
    case Kind::Device:
        return QStringLiteral("这是一个设备，不是文件");
    case Kind::Socket:
        return QStringLiteral("这是一个套接字，不是文件");
    case Kind::File:
        break;
    }
    return {};
}

QString Escape(const QString& name) {
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (IsEscaped(unit) && !(i > 0 && name[i - 1].isHighSurrogate())) {
            out += QStringLiteral("\\x") + QString::number(unit - kEscapeBase, 16).toUpper();
            continue;
        }
        // A backslash that would read as an escape is escaped itself.
        if (unit == u'\\' && Unescape(name.mid(i, 4)) != name.mid(i, 4)) {
            out += QLatin1String("\\x5C");
            continue;
        }
        out += name[i];
    }
    return out;
}

QString Unescape(const QString& text) {
    QByteArray bytes;
    const QByteArray utf8 = ToBytes(text);
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\\' && i + 3 < utf8.size() && utf8[i + 1] == 'x' &&
            std::isxdigit(uchar(utf8[i + 2])) && std::isxdigit(uchar(utf8[i + 3]))) {
            const int byte = utf8.mid(i + 2, 2).toInt(nullptr, 16);
            if (byte >= 0x80 || byte == 0x5C) {
                bytes += char(byte);
                i += 3;
                continue;
            }
        }
        bytes += utf8[i];
    }
    return FromBytes(bytes);
}

} // namespace FileName
