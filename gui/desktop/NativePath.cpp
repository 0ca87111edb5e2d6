#include "gui/desktop/NativePath.h"

#include <string>

#include <QDir>

#include "core/Utf8.h"
#include "sys/CommandLine.h"

namespace lmp::gui {

namespace {

// The lone surrogates that stand for the bytes 0x80-0xFF of a name that is not UTF-8. A byte below 0x80
// is always UTF-8 on its own.
constexpr char16_t kByteEscape = 0xDC00;

bool IsByteEscape(const QString& text, qsizetype at)
{
    const char16_t unit = text[at].unicode();
    return unit >= kByteEscape + 0x80 && unit <= kByteEscape + 0xFF &&
           (at == 0 || !QChar::isHighSurrogate(text[at - 1].unicode()));
}

} // namespace

QString PathText(const std::filesystem::path& path)
{
    // The path's bytes: its own on POSIX systems, where they need not be UTF-8; on Windows, UTF-8.
    const std::string bytes = sys::Utf8FromPath(path);
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t run = 0; // start of the well-formed bytes not yet appended
    for (std::size_t at = 0; at < bytes.size();) {
        if (const std::size_t length = WellFormedLength(bytes, at); length != 0) {
            at += length;
            continue;
        }
        text += QString::fromUtf8(bytes.data() + run, static_cast<qsizetype>(at - run));
        text += QChar(static_cast<char16_t>(kByteEscape + static_cast<unsigned char>(bytes[at])));
        run = ++at;
    }
    text += QString::fromUtf8(bytes.data() + run, static_cast<qsizetype>(bytes.size() - run));
    return QDir::fromNativeSeparators(text);
}

std::filesystem::path NativePath(const QString& path)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(path.size()));
    qsizetype run = 0; // start of the text not yet appended
    for (qsizetype at = 0; at < path.size(); ++at) {
        if (IsByteEscape(path, at)) {
            bytes += path.mid(run, at - run).toStdString();
            bytes += static_cast<char>(path[at].unicode() - kByteEscape);
            run = at + 1;
        }
    }
    bytes += path.mid(run).toStdString();
    return sys::PathFromUtf8(bytes);
}

bool HoldsNameBytes(const QString& text)
{
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (IsByteEscape(text, at)) {
            return true;
        }
    }
    return false;
}

QString ShownName(const std::filesystem::path& name)
{
    const std::string bytes = sys::Utf8FromPath(name);
    return QString::fromStdString(SafeText(bytes));
}

QUrl FileUrl(const std::filesystem::path& path)
{
    const QString text = PathText(path);
    if (HoldsNameBytes(text)) {
        const QByteArray bytes = QByteArray::fromStdString(sys::Utf8FromPath(path));
        return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
    }
    return QUrl::fromLocalFile(text);
}

} // namespace lmp::gui
