#include "MatchAccount.h"

#include "EntryMatcher.h"
#include "ReportSide.h"
#include "Utf8.h"

#include <optional>

namespace {

// Joins a relative folder and a name with "/".
std::string Joined(std::string_view group, std::string_view name) {
    std::string path(group);
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

} // namespace

void CMatchAccount::Build(const CReportSide& report, const CFoundEntries& found, const CEntryMatcher& matcher,
                          bool includeOk, const MovedDetailFn& movedDetail,
                          std::unordered_map<std::size_t, std::string>& details, std::vector<CVerifyLine>& lines,
                          CVerifyCounts& counts) {
    const std::size_t foundCount = found.Count();
    const bool listing = report.Options().IsListing();
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> newByGroup;
    for (std::size_t j = 0; j < foundCount; ++j) {
        if (!matcher.Taken(j) && matcher.Listable(j)) {
            newByGroup[matcher.GroupOf(j)].push_back(static_cast<std::uint32_t>(j));
        }
    }
    std::vector<bool> shown(foundCount, false);
    const auto add = [&](VerifyKind kind, std::string path, std::string detail) {
        ++counts[kind];
        lines.push_back({kind, std::move(path), std::move(detail)});
    };
    const auto addNewOf = [&](std::string_view group) {
        std::vector<std::string> pending{std::string(group)};
        while (!pending.empty()) {
            const std::string current = std::move(pending.back());
            pending.pop_back();
            const auto at = newByGroup.find(current);
            if (at == newByGroup.end()) {
                continue;
            }
            std::vector<std::string> below;
            for (const std::uint32_t j : at->second) {
                if (shown[j]) {
                    continue;
                }
                shown[j] = true;
                add(VerifyKind::New, found.ShownPathAt(j), {});
                if (listing && found.IsFolder(j)) {
                    below.push_back(Joined(current, found.NameAt(j)));
                }
            }
            pending.insert(pending.end(), below.rbegin(), below.rend());
        }
    };
    std::optional<std::string_view> group;
    for (std::size_t i = report.FirstEntry(); i < report.Count(); ++i) {
        if (group && *group != matcher.GroupOfEntry(i)) {
            addNewOf(*group);
        }
        group = matcher.GroupOfEntry(i);
        const std::uint32_t pair = matcher.PairOf(i);
        switch (matcher.StateOf(i)) {
        case EntryState::Missing:
            add(VerifyKind::Missing, Utf8::Printable(Joined(report.GroupOf(i), report.NameOf(i))), {});
            break;
        case EntryState::Ok:
            if (includeOk) {
                add(VerifyKind::Ok, found.ShownPathAt(pair), {});
            } else {
                ++counts[VerifyKind::Ok];
            }
            break;
        case EntryState::Changed:
            add(VerifyKind::Changed, found.ShownPathAt(pair), matcher.ChangeOf(i));
            break;
        case EntryState::Moved:
            add(VerifyKind::Moved, found.ShownPathAt(pair), movedDetail(i));
            break;
        case EntryState::Corrupt:
            add(VerifyKind::Corrupt, found.ShownPathAt(pair), std::move(details[i]));
            break;
        case EntryState::Unreadable:
            add(VerifyKind::Unreadable, found.ShownPathAt(pair), std::move(details[i]));
            break;
        }
    }
    if (group) {
        addNewOf(*group);
    }
    for (std::size_t j = 0; j < foundCount; ++j) {
        if (!matcher.Taken(j) && !shown[j] && matcher.Listable(j)) {
            addNewOf(matcher.GroupOf(j));
        }
    }
}
