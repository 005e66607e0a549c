#pragma once

#include "AtomicFile.h"
#include "MediaPlan.h"
#include "OptionsSnapshot.h"
#include "PlanTree.h"

#include <string>

// The archive report of a plan, made by the engine itself: for each medium
// in order, one archive run over the medium's whole items (dropped as their
// sources, in the order the walk met them) with that medium's number and
// archive number 1, the reports one after the other as one report and the
// logs as one log. A medium whose run finds no file adds nothing. The runs
// keep their tags in a settings file of their own, in a private temporary
// folder removed afterwards; the user's settings are never touched here.
class CPlanReport {
public:
    CPlanReport(const CPlanTree& tree, const CMediaPlan& plan, const COptionsSnapshot& options,
                std::string mediaType, int firstMedium, int multipleArchive);

    // Appends the report to `report` (the caller commits it), named
    // `reportName` in messages, and sets `log`. False when a run failed;
    // Failure() then says why, as one line.
    bool Write(CAtomicFile& report, const std::string& reportName, std::string& log);
    const std::string& Failure() const { return m_strFailure; }

private:
    std::vector<std::string> DroppedPaths(std::size_t medium) const;

    const CPlanTree& m_tree;
    const CMediaPlan& m_plan;
    COptionsSnapshot m_options;
    std::string m_strMediaType;
    int m_nFirstMedium;
    int m_bMultipleArchive;
    std::string m_strFailure;
};
