#include "gui/desktop/NativePath.h"

#include <string>
#include <string_view>

#include <QDir>

#include "core/Utf8.h"

namespace lmp::gui {

#ifndef Q_OS_WIN
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
#endif

QString PathText(const std::filesystem::path& path)
{
#ifdef Q_OS_WIN
    return QDir::fromNativeSeparators(QString::fromStdWString(path.native()));
#else
    const std::string_view bytes = path.native();
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
    return text;
#endif
}

std::filesystem::path NativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
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
    return std::filesystem::path(std::move(bytes));
#endif
}

QString ShownName(const std::filesystem::path& name)
{
#ifdef Q_OS_WIN
    const std::string text = QString::fromStdWString(name.native()).toStdString();
#else
    const std::string& text = name.native();
#endif
    return QString::fromStdString(SafeText(text));
}

} // namespace lmp::gui
