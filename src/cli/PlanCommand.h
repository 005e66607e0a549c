#pragma once

#include "MediaPlan.h"
#include "PlanTree.h"

#include <cstdio>
#include <string>
#include <vector>

// stowlist-cli plan [OPTION]... PATH...: the PATHs walked as a drop takes
// them, split over as few media as the planner manages, the plan printed,
// and on request the path list of each medium and the archive report of the
// whole plan written (the report then joins the catalogue and the stored
// medium number moves past the planned media). Exit 0 planned, 1 something
// did not fit (the rest is still planned and written), 2 bad usage, 3 a PATH
// that does not exist or a file that cannot be written.
class CPlanCommand {
public:
    // `defaultSettings`, `defaultCatalogue`: the files used when the
    // command line names none.
    CPlanCommand(std::vector<std::string> args, std::string defaultSettings, std::string defaultCatalogue,
                 std::FILE* out, std::FILE* err);
    int Run();

private:
    int Message(int status, const std::string& text);
    bool WritePathLists(const std::string& folder, const CPlanTree& tree, const CMediaPlan& plan,
                        const std::string& mediaType, int firstMedium);

    std::vector<std::string> m_arrArgs;
    std::string m_strDefaultSettings;
    std::string m_strDefaultCatalogue;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
};
