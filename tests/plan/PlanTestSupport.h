#pragma once

#include "MediaPlan.h"
#include "MediaRules.h"
#include "PlanTree.h"

#include <cstdint>
#include <string>
#include <vector>

// A tree written as lines "path kind size", e.g. {"A/", "A/a1 40", "B/x 3"}:
// a trailing "/" makes a folder, "@" after the name a link; dropped from /src.
CPlanTree TreeOf(const std::vector<std::string>& lines);

// The plan as text, one line per medium: "used free: item item/ ..." with
// split folders as "name/[" and "]" around their parts, then "left out:".
std::string DescribePlan(const CPlanTree& tree, const CMediaPlan& plan);

// Everything a plan must be, whatever the planner: each kept entry on
// exactly one medium, used bytes as the rules count them and within the
// usable capacity, items in walk order, left out exactly what cannot fit.
// Returns the faults found (empty when none).
std::string CheckPlan(const CPlanTree& tree, const CMediaPlan& plan, const CMediaRules& rules);
