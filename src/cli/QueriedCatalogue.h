#pragma once

#include "Catalogue.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The catalogue that a command asking it questions reads (find, copies),
// opened: the one given with --catalogue, else the user's. No catalogue yet
// is an answer (status 1: nothing found); one that cannot be looked at or
// opened is status 3, its message printed on err under the command's name.
struct CQueriedCatalogue {
    std::unique_ptr<CCatalogue> m_pCatalogue; // null: the command ends with m_nStatus
    int m_nStatus = 0;
};

CQueriedCatalogue OpenQueriedCatalogue(const std::optional<std::string>& given, std::string_view command,
                                       std::FILE* err);
