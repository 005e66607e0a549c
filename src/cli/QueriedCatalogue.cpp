#include "QueriedCatalogue.h"

#include "CatalogueDigests.h"
#include "CommandMessages.h"
#include "ExitStatus.h"
#include "FileLocations.h"
#include "StringTable.h"
#include "TextFormat.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

CQueriedCatalogue OpenQueriedCatalogue(const std::optional<std::string>& given, std::string_view command,
                                       std::FILE* err) {
    CQueriedCatalogue opened;
    const std::string path = given ? *given : FileLocations::CatalogueFile();
    if (struct stat info {}; stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            opened.m_nStatus = kExitNothing; // no catalogue yet: nothing in it
            return opened;
        }
        CCommandMessages::Print(err, command, FormatString(IDS_CLI_CANNOT_READ, {path, std::strerror(errno)}));
        opened.m_nStatus = kExitFailed;
        return opened;
    }
    auto catalogue = std::make_unique<CCatalogue>(path, &CatalogueDigests::FromManifest);
    if (!catalogue->Open(false)) {
        CCommandMessages::Print(err, command, catalogue->LastError());
        opened.m_nStatus = kExitFailed;
        return opened;
    }
    opened.m_pCatalogue = std::move(catalogue);
    return opened;
}
