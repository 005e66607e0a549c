#pragma once

#include "FindQuery.h"

#include <string>

// A hit as `stowlist-cli find` prints it: medium, folder, name, size (empty
// for a folder), date, time and REPORT:LINE, separated by tabs, bytes as the
// report holds them with control characters shown as "?". No line end.
std::string FindHitLine(const CFindHit& hit);
void AppendFindHitLine(std::string& line, const CFindHit& hit);
