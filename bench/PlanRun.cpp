// plan_run: the media planner on a real tree, for its quality and its cost.
//
//   plan_run [--capacity SIZE] [--block N] PATH...
//
// Walks the PATHs as a drop takes them (a first PATH ending in "/" is a
// whole medium), plans them for media of SIZE (default a CD) and prints the
// entries, the media, the lower bound, the folders split, the files left
// out, and the time of the walk and of the plan.
#include "MediaPlanner.h"
#include "MediaRules.h"
#include "PlanTreeBuilder.h"
#include "SizeText.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::uint64_t capacity = CMediaRules::kCdCapacity;
    std::uint64_t block = CMediaRules::kCdBlock;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        ESizeError reason = ESizeError::kNone;
        if (std::strcmp(argv[i], "--capacity") == 0 && i + 1 < argc) {
            if (!CSizeText::Parse(argv[++i], capacity, reason)) {
                std::fprintf(stderr, "plan_run: bad capacity %s\n", argv[i]);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--block") == 0 && i + 1 < argc) {
            if (!CSizeText::Parse(argv[++i], block, reason) || block == 0) {
                std::fprintf(stderr, "plan_run: bad block size %s\n", argv[i]);
                return 2;
            }
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (paths.empty()) {
        std::fprintf(stderr, "usage: plan_run [--capacity SIZE] [--block N] PATH...\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    CPlanTree tree;
    CPlanTreeBuilder builder(false, false);
    if (!builder.Build(paths, tree)) {
        std::fprintf(stderr, "plan_run: %s does not exist\n", builder.MissingPath().c_str());
        return 3;
    }
    const auto walked = Clock::now();
    const CMediaPlan plan = CMediaPlanner(CMediaRules(capacity, block, 0)).Plan(tree);
    const auto planned = Clock::now();
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    std::printf("entries %u, capacity %llu, block %llu: media %zu, lower bound %llu, folders split %zu, "
                "left out %zu; walk %.3f s, plan %.3f s\n",
                tree.Size(), static_cast<unsigned long long>(capacity), static_cast<unsigned long long>(block),
                plan.arrMedia.size(), static_cast<unsigned long long>(plan.nLowerBound), plan.nFoldersSplit,
                plan.arrLeftOut.size(), seconds(walked - start), seconds(planned - walked));
    return 0;
}
