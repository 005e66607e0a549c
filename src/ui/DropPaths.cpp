#include "DropPaths.h"

#include <QMimeData>
#include <QUrl>

#include <sys/stat.h>

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
        paths.push_back(AsDropPath(bytes.toStdString()));
    }
    return paths;
}

std::string AsDropPath(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (path == "/") {
        return path;
    }
    struct stat own {};
    if (lstat(path.c_str(), &own) != 0 || !S_ISDIR(own.st_mode)) {
        return path;
    }
    const auto slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    struct stat above {};
    if (stat(parent.c_str(), &above) == 0 && above.st_dev != own.st_dev) {
        path += '/';
    }
    return path;
}

} // namespace DropPaths
