#include "CaseFold.h"
#include "GlobPattern.h"
#include "MergePolicy.h"
#include "NameImage.h"
#include "SegmentBuilder.h"
#include "SegmentMerge.h"
#include "SegmentReader.h"
#include "SegmentSearch.h"
#include "TempTree.h"

#include <algorithm>
#include <clocale>
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <random>

namespace {

struct Given {
    std::string medium, folder, name, date, time;
    bool isFolder = false, windows1252 = false;
    std::uint64_t size = 0, line = 0;
};

struct Report {
    std::string path;
    std::vector<Given> entries;
};

std::string Show(const CFindHit& h) {
    return h.m_strMedium + "|" + h.m_strFolder + (h.m_bFolderWindows1252 ? "~" : "") + "|" + h.m_strName +
           (h.m_bWindows1252 ? "~" : "") + "|" + (h.m_bFolder ? "d" : "f") + std::to_string(h.m_nSize) + "|" +
           h.m_strDate + " " + h.m_strTime + "|" + h.m_strReport + ":" + std::to_string(h.m_nLine);
}

std::string Show(const CFindResult& r) {
    std::string text = std::to_string(r.m_nTotal) + " hits in " + std::to_string(r.m_nReports) + " reports\n";
    for (const CFindHit& hit : r.m_arrHits) {
        text += Show(hit) + "\n";
    }
    return text;
}

const char* const kWords[] = {"holiday", "Photo", "MÜNCHEN", "münchen", "data", "IMG_", "Ärger", "x", "tax",
                              "a b", "ΣΟΦΙΑ", "draft", "ph", "Ph", "ß", "2019", ".JPG", ".jpg", "caf\xE9", "İst"};
const char* const kMedia[] = {"CD01-01", "cd01-02", "DAT2-01", "", "Cd01-01"};
const char* const kFolders[] = {"/Media/F1", "/media/f1", "/X/\xC3\x84rger", "/X/\xC4rger", ""};

// A report of random entries: names from a few words in many cases, places
// shared with other reports, some lines in Windows-1252.
Report MakeReport(std::mt19937& rng, const std::string& path, std::size_t count) {
    Report report{path, {}};
    for (std::size_t i = 0; i < count; ++i) {
        Given e;
        e.medium = kMedia[rng() % std::size(kMedia)];
        e.folder = kFolders[rng() % std::size(kFolders)];
        for (int w = 0, n = 1 + static_cast<int>(rng() % 3); w < n; ++w) {
            e.name += kWords[rng() % std::size(kWords)];
            if (rng() % 2) {
                e.name += std::to_string(rng() % 30);
            }
        }
        e.windows1252 = e.name.find('\xE9') != std::string::npos;
        e.isFolder = rng() % 5 == 0;
        e.size = e.isFolder ? 0 : rng() % 100000;
        e.date = "0" + std::to_string(1 + rng() % 9) + "/02/03";
        e.time = "04:05:0" + std::to_string(rng() % 10);
        e.line = i + 1;
        report.entries.push_back(e);
    }
    return report;
}

CReportEntry View(const Given& e) {
    CReportEntry v;
    v.m_strMedium = e.medium;
    v.m_strFolder = e.folder;
    v.m_strName = e.name;
    v.m_strDate = e.date;
    v.m_strTime = e.time;
    v.m_bFolder = e.isFolder;
    v.m_bWindows1252 = e.windows1252;
    v.m_nSize = e.size;
    v.m_nLine = e.line;
    return v;
}

// Today's image of the same reports: the outputs the segments must give.
std::unique_ptr<CNameImage> Oracle(const std::map<std::int64_t, Report>& live) {
    CNameImage::CBuilder builder;
    for (const auto& [source, report] : live) {
        const std::uint32_t r = builder.Report(report.path);
        for (const Given& e : report.entries) {
            builder.Add(e.name, builder.Place(e.medium, e.folder), builder.Stamp(e.date, e.time), r,
                        static_cast<std::uint32_t>(e.line), e.isFolder, e.windows1252, e.size);
        }
    }
    return builder.Build();
}

std::vector<CFindQuery> Queries() {
    std::vector<CFindQuery> queries;
    for (const std::vector<std::string>& texts : std::vector<std::vector<std::string>>{
             {"ph"}, {"MÜNCHEN"}, {"σοφια"}, {"x"}, {"img_"}, {"2019", "PH"}, {"café"}, {"zzz"}, {"a b"},
             {"ss"}, {"oto"}, {".jpg", "img"}, {"2"}, {}}) {
        CFindQuery q;
        q.m_arrTexts = texts;
        queries.push_back(q);
    }
    for (const char* glob : {"*.jpg", "ph*", "*[0-9]", "?hoto*", "*", "img_*.JPG", "*[\\]x]*", "[!\\-p]*o*"}) {
        CFindQuery q;
        q.m_strGlob = glob;
        queries.push_back(q);
    }
    CFindQuery q;
    q.m_arrTexts = {"ph"};
    q.m_strMediumPrefix = "CD01";
    queries.push_back(q);
    q.m_kinds = FindKinds::Folders;
    queries.push_back(q);
    q.m_strMediumPrefix.clear();
    q.m_kinds = FindKinds::Files;
    q.m_arrTexts = {"oto"};
    queries.push_back(q);
    q.m_strMediumPrefix = "zz";
    queries.push_back(q);
    return queries;
}

struct Segment {
    std::string path;
    std::vector<std::int64_t> deleted;
    std::vector<std::int64_t> sources; // every report written to it
};

class CModel {
public:
    explicit CModel(const std::string& folder) : m_folder(folder) {}

    void Write(const std::vector<std::pair<std::int64_t, Report>>& reports) {
        CSegmentBuilder builder;
        Segment segment{NextPath(), {}, {}};
        for (const auto& [source, report] : reports) {
            builder.AddReport(source, report.path);
            for (const Given& e : report.entries) {
                builder.Add(View(e));
            }
            segment.sources.push_back(source);
            m_live[source] = report;
        }
        std::string error;
        ASSERT_TRUE(builder.Write(segment.path, error)) << error;
        m_segments.push_back(segment);
    }

    void Hide(std::int64_t source) {
        for (Segment& segment : m_segments) {
            if (std::count(segment.sources.begin(), segment.sources.end(), source) &&
                !std::count(segment.deleted.begin(), segment.deleted.end(), source)) {
                segment.deleted.push_back(source);
            }
        }
        m_live.erase(source);
    }

    void Merge(CMergePolicy::Occasion occasion) {
        std::vector<CMergePolicy::Segment> sizes;
        for (const Segment& segment : m_segments) {
            const auto reader = CSegmentReader::Open(segment.path);
            ASSERT_TRUE(reader);
            CSegmentSearch one(Live({segment}));
            sizes.push_back({reader->Entries(), one.LiveEntries()});
        }
        std::vector<bool> gone(m_segments.size(), false);
        std::vector<Segment> made;
        for (const std::vector<std::size_t>& group : CMergePolicy::Choose(sizes, occasion)) {
            std::vector<Segment> inputs;
            Segment merged{NextPath(), {}, {}};
            for (const std::size_t i : group) {
                inputs.push_back(m_segments[i]);
                gone[i] = true;
                for (const std::int64_t source : m_segments[i].sources) {
                    if (!std::count(m_segments[i].deleted.begin(), m_segments[i].deleted.end(), source)) {
                        merged.sources.push_back(source);
                    }
                }
            }
            std::string error;
            ASSERT_TRUE(SegmentMerge::Merge(Live(inputs), merged.path, error)) << error;
            made.push_back(merged);
        }
        std::vector<Segment> kept;
        for (std::size_t i = 0; i < m_segments.size(); ++i) {
            if (!gone[i]) {
                kept.push_back(m_segments[i]);
            }
        }
        kept.insert(kept.end(), made.begin(), made.end());
        m_segments = kept;
    }

    static std::vector<CLiveSegment> Live(const std::vector<Segment>& segments) {
        std::vector<CLiveSegment> live;
        for (const Segment& segment : segments) {
            live.push_back({CSegmentReader::Open(segment.path), segment.deleted});
        }
        return live;
    }

    // Every query at every page, or (for large sets) a few at two pages.
    void ExpectSameAsImage(const std::string& when, bool few = false) const {
        const CSegmentSearch search(Live(m_segments));
        const std::unique_ptr<CNameImage> image = Oracle(m_live);
        const std::atomic<bool> cancel{false};
        std::vector<std::pair<std::size_t, std::size_t>> pages = {{SIZE_MAX, 0}, {0, 0}, {5, 0}, {7, 3}, {4, 1000}};
        std::vector<CFindQuery> queries = Queries();
        if (few) {
            pages = {{40, 0}, {20, 30000}};
            queries = {queries[0], queries[4], queries[12], queries[14], queries[22], queries[24]};
        }
        for (const CFindQuery& query : queries) {
            for (const auto& [limit, offset] : pages) {
                const std::string want = Show(image->Search(query, limit, cancel, offset));
                const std::string got = Show(search.Search(query, limit, cancel, offset));
                ASSERT_EQ(got, want) << when << ", query " << (query.m_arrTexts.empty() ? query.m_strGlob : query.m_arrTexts[0])
                                     << " limit " << limit << " offset " << offset;
            }
        }
    }

    std::map<std::int64_t, Report>& LiveReports() { return m_live; }
    std::size_t Segments() const { return m_segments.size(); }

private:
    std::string NextPath() { return m_folder + "/seg" + std::to_string(m_nNext++); }

    std::string m_folder;
    std::map<std::int64_t, Report> m_live;
    std::vector<Segment> m_segments;
    int m_nNext = 0;
};

// Many small adds, removals and re-reads with merges between: the segments
// give what today's image of the same reports gives, hit for hit.
TEST(SegmentSearch, SameHitsOrderAndCountsAsTheImage) {
    for (const unsigned seed : {1u, 2u, 3u}) {
        CTempTree tree;
        CModel model(tree.Root());
        std::mt19937 rng(seed);
        std::int64_t nextSource = 1;
        for (int step = 0; step < 70; ++step) {
            const unsigned op = rng() % 10;
            auto& live = model.LiveReports();
            if (op < 5 || live.empty()) {
                std::vector<std::pair<std::int64_t, Report>> reports;
                for (int r = 0, n = 1 + static_cast<int>(rng() % 3); r < n; ++r) {
                    const std::int64_t source = nextSource++;
                    // Paths not in the order of their sources, so that ties are decided by path.
                    reports.emplace_back(source, MakeReport(rng, "/r/" + std::to_string(rng() % 1000) + "-" +
                                                                     std::to_string(source) + ".txt", rng() % 60));
                }
                model.Write(reports);
            } else if (op < 7) {
                auto it = std::next(live.begin(), static_cast<std::ptrdiff_t>(rng() % live.size()));
                model.Hide(it->first);
            } else if (op < 9) {
                auto it = std::next(live.begin(), static_cast<std::ptrdiff_t>(rng() % live.size()));
                const std::int64_t source = it->first;
                Report again = MakeReport(rng, it->second.path, rng() % 60);
                model.Hide(source);
                model.Write({{source, again}});
            } else {
                model.Merge(static_cast<CMergePolicy::Occasion>(rng() % 3));
            }
            if (step % 10 == 9) {
                model.ExpectSameAsImage("seed " + std::to_string(seed) + " step " + std::to_string(step));
            }
        }
        model.Merge(CMergePolicy::Occasion::Compact);
        EXPECT_LE(model.Segments(), 1u);
        model.ExpectSameAsImage("seed " + std::to_string(seed) + " compacted");
    }
}

// Enough entries for the search to share them between threads, in two
// segments whose places and names interleave.
TEST(SegmentSearch, LargeSetsSearchedOnThreadsKeepTheOrder) {
    CTempTree tree;
    CModel model(tree.Root());
    std::mt19937 rng(7);
    model.Write({{1, MakeReport(rng, "/r/a.txt", 60000)}, {2, MakeReport(rng, "/r/c.txt", 10)}});
    model.Write({{3, MakeReport(rng, "/r/b.txt", 60000)}});
    model.Hide(2);
    model.ExpectSameAsImage("large", true);
}

// A damaged file is refused or read within its bounds.
TEST(SegmentReader, RefusesFilesThatAreNotWholeSegments) {
    CTempTree tree;
    CModel model(tree.Root());
    std::mt19937 rng(3);
    model.Write({{1, MakeReport(rng, "/r/a.txt", 500)}});
    const std::string whole = CTempTree::ReadFile(tree.Root() + "/seg0");
    ASSERT_TRUE(CSegmentReader::Open(tree.Root() + "/seg0"));
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"cut short", whole.substr(0, whole.size() - 1)},
        {"header only", whole.substr(0, 200)},
        {"empty", ""},
        {"other magic", "STOWSEG2" + whole.substr(8)},
    };
    for (const auto& c : cases) {
        tree.WriteText("bad", c.bytes);
        EXPECT_FALSE(CSegmentReader::Open(tree.Path("bad"))) << c.what;
    }
}

// The merge policy's groups for a few shapes of catalogue.
TEST(MergePolicy, MergesFullTiersWithinTheOccasionsBudget) {
    using Occasion = CMergePolicy::Occasion;
    const auto sized = [](std::vector<std::uint64_t> live, std::uint64_t hiddenInFirst = 0) {
        std::vector<CMergePolicy::Segment> segments;
        for (const std::uint64_t n : live) {
            segments.push_back({n, n});
        }
        segments[0].m_nEntries += hiddenInFirst;
        return segments;
    };
    const struct {
        const char* what;
        std::vector<CMergePolicy::Segment> segments;
        Occasion occasion;
        std::vector<std::vector<std::size_t>> groups;
    } cases[] = {
        {"seven small: none", sized({5000, 5000, 5000, 5000, 5000, 5000, 5000}), Occasion::Add, {}},
        {"eight small: the tier", sized({5000, 1, 5000, 5000, 5000, 5000, 5000, 5000, 900000}), Occasion::Add,
         {{1, 0, 2, 3, 4, 5, 6, 7}}},
        {"nine small: the eight smallest", sized({9, 8, 7, 6, 5, 4, 3, 2, 1}), Occasion::Add,
         {{8, 7, 6, 5, 4, 3, 2, 1}}},
        {"large tier: not on add", sized({300000, 300000, 300000, 300000, 300000, 300000, 300000, 300000}),
         Occasion::Add, {}},
        {"large tier: on refresh", sized({200000, 200000, 200000, 200000, 200000, 200000, 200000, 200000}),
         Occasion::Refresh, {{0, 1, 2, 3, 4, 5, 6, 7}}},
        {"mostly hidden: rewritten on refresh", sized({1000, 50}, 2000), Occasion::Refresh, {{0}}},
        {"mostly hidden: kept on add", sized({1000, 50}, 2000), Occasion::Add, {}},
        {"compact: packed to the largest size", sized({3000000, 1500000, 400000, 10, 300000}), Occasion::Compact,
         {{3, 4, 2}}},
        {"compact: one clean segment stays", sized({42}), Occasion::Compact, {}},
        {"compact: one segment hiding entries", sized({42}, 1), Occasion::Compact, {{0}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CMergePolicy::Choose(c.segments, c.occasion), c.groups) << c.what;
    }
}

// The glob matcher against the C library's on ASCII names, where the two
// must agree.
TEST(GlobPattern, AgreesWithFnmatchOnAsciiNames) {
    const char* const previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    ASSERT_TRUE(std::setlocale(LC_ALL, "C.UTF-8"));
    std::mt19937 rng(11);
    const std::string nameBytes = "abAB.-_1 ]!^";
    const std::string patternBytes = "abAB.-_1 *?*?[[]]!^-\\";
    int disagreements = 0;
    std::string first;
    for (int i = 0; i < 200000; ++i) {
        std::string name, pattern;
        for (std::size_t n = rng() % 7; n > 0; --n) {
            name += nameBytes[rng() % nameBytes.size()];
        }
        for (std::size_t n = rng() % 7; n > 0; --n) {
            pattern += patternBytes[rng() % patternBytes.size()];
        }
        // Collating elements and classes ("[.", "[=", "[:" in brackets) are the C library's alone.
        if (pattern.find("[.") != std::string::npos || pattern.find("[=") != std::string::npos ||
            pattern.find("[:") != std::string::npos) {
            continue;
        }
        const bool ours = CGlobPattern(CaseFold::Fold(pattern)).Matches(CaseFold::Fold(name));
        const bool theirs = fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
        if (ours != theirs && ++disagreements < 5) {
            first += "pattern \"" + pattern + "\" name \"" + name + "\": ours " + (ours ? "matches" : "does not") + "\n";
        }
    }
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(disagreements, 0) << first;
}

} // namespace
