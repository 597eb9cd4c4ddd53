#pragma once
// File names are bytes. Linux names need not be UTF-8 (names in GBK from Windows disks, say), so
// a name is carried in a QString with each byte that is not part of valid UTF-8 kept as the lone
// surrogate U+DC80 + (byte - 0x80), and turned back into exactly those bytes whenever the file is
// reached. Qt's own QFile/QFileInfo/QUrl::fromLocalFile would replace such bytes, so the
// program reaches video and set files through these functions.
#include <QByteArray>
#include <QString>
#include <QUrl>

namespace FileName {

// The bytes of a name (from argv, a URI, the file system) as a name.
QString FromBytes(const QByteArray& bytes);
// The name's bytes, exactly as they were read.
QByteArray ToBytes(const QString& name);
// True when the name holds bytes that are not UTF-8.
bool HasRawBytes(const QString& name);
// The name for the user: undecodable bytes and control characters as "\xFF", visible and
// harmless (a line break in a name does not split a message).
QString Shown(const QString& name);

// A local file URI's name, byte for byte ("file:///v/a%FF.mp4"); empty when it is none.
QString FromUri(const QUrl& url);
// The file URI of an absolute name, its bytes percent-encoded.
QByteArray ToUri(const QString& absoluteName);

// What is at the name (links followed).
enum class Kind { Missing, NoAccess, File, Folder, Fifo, Device, Socket };
Kind KindOf(const QString& name);
bool IsReadable(const QString& name);
qint64 SizeOf(const QString& name); // -1 when unknown
// What a name that is no file to play is, for messages: "这是一个文件夹", "文件不存在", ...
QString KindText(Kind kind);

// "\xFF" for non-UTF-8 bytes and "\x5C" for a backslash that would read as such an escape:
// the form saved sets keep names in. Unescape reads it back.
QString Escape(const QString& name);
QString Unescape(const QString& text);

} // namespace FileName
