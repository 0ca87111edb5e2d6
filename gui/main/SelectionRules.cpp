#include "gui/main/SelectionRules.h"

#include <algorithm>
#include <cstddef>

#include <QHash>

namespace lmp::gui {

namespace {

// Names shorter than four characters shorten to nothing.
QString WithoutLastFour(const QString& upperName)
{
    return upperName.left(std::max<qsizetype>(0, upperName.size() - 4));
}

} // namespace

QString UpperExtension(const QString& caption)
{
    const qsizetype dot = caption.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : caption.mid(dot).toUpper();
}

std::vector<int> MatchingTrackImages(const QStringList& captions, const std::vector<bool>& selected)
{
    std::vector<int> images;
    const auto count = static_cast<int>(captions.size());
    for (int i = 0; i < count; ++i) {
        if (static_cast<std::size_t>(i) >= selected.size() || !selected[static_cast<std::size_t>(i)] ||
            UpperExtension(captions[i]) != QStringLiteral(".TD4")) {
            continue;
        }
        const QString design = WithoutLastFour(captions[i].toUpper());
        for (int j = i + 1; j < count; ++j) {
            const QString other = captions[j].toUpper();
            if (WithoutLastFour(other) != design) {
                break;
            }
            if (UpperExtension(other) == QStringLiteral(".TP4")) {
                images.push_back(j);
                break;
            }
        }
    }
    return images;
}

std::vector<int> MatchingTrackImagesAnywhere(const QStringList& captions, const std::vector<bool>& selected)
{
    QHash<QString, int> images; // by shortened upper-case name, the first image of each
    const auto count = static_cast<int>(captions.size());
    for (int j = count - 1; j >= 0; --j) {
        if (UpperExtension(captions[j]) == QStringLiteral(".TP4")) {
            images.insert(WithoutLastFour(captions[j].toUpper()), j);
        }
    }
    std::vector<int> found;
    for (int i = 0; i < count; ++i) {
        if (static_cast<std::size_t>(i) >= selected.size() || !selected[static_cast<std::size_t>(i)] ||
            UpperExtension(captions[i]) != QStringLiteral(".TD4")) {
            continue;
        }
        if (const auto image = images.constFind(WithoutLastFour(captions[i].toUpper()));
            image != images.cend()) {
            found.push_back(*image);
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

} // namespace lmp::gui
