#include "DropPaths.h"

#include "DropPath.h"

#include <QMimeData>
#include <QUrl>


namespace DropPaths {

std::vector<std::string> LocalPaths(const QMimeData& data) {
    std::vector<std::string> paths;
    if (!data.hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile() || (!url.host().isEmpty() && url.host() != QLatin1String("localhost"))) {
            continue;
        }
        // The encoded path keeps names that are not valid UTF-8 byte for byte.
        const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (bytes.isEmpty()) {
            continue;
        }
        paths.push_back(DropPath::AsDropPath(bytes.toStdString()));
    }
    return paths;
}

} // namespace DropPaths
