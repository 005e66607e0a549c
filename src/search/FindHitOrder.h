#pragma once

#include "FindQuery.h"

#include <vector>

// The fields a list of hits can be ordered by.
enum class FindHitField { Name, Size, Date, Time, Medium, Folder, Copies, Report };

// Orders hits by one field (texts compared as case-folded bytes, sizes as
// numbers, folders before files of any size, the report by path then line);
// hits equal in it keep the order they came in, which is Find's order.
void SortFindHits(std::vector<CFindHit>& hits, FindHitField field, bool descending);
