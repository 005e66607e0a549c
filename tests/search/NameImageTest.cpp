#include "NameImage.h"

#include "CaseFold.h"
#include "GlobPattern.h"
#include "TempTree.h"

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <numeric>
#include <random>
#include <unistd.h>

namespace {

struct Given {
    std::string medium, folder, name, report;
    bool folder_ = false;
    std::uint32_t line = 0;
    std::uint64_t size = 0;
};

std::string Show(const CFindHit& h) {
    return h.m_strMedium + "|" + h.m_strFolder + "|" + h.m_strName + "|" +
           (h.m_bFolder ? "d" : "f") + std::to_string(h.m_nSize) + "|" + h.m_strDate + "|" +
           h.m_strReport + ":" + std::to_string(h.m_nLine);
}

std::string Show(const Given& e) {
    return e.medium + "|" + e.folder + "|" + e.name + "|" + (e.folder_ ? "d" : "f") +
           std::to_string(e.size) + "|01/02/03|" + e.report + ":" + std::to_string(e.line);
}

const char* const kWords[] = {"holiday", "Photo", "MÜNCHEN", "münchen", "data",  "IMG_",
                              "Ärger",   "x",     "tax",     "a b",     "ΣΟΦΙΑ", "draft",
                              "ph",      "Ph",    "ß",       "2019"};

// Entries in no particular order, enough of them for Search to split the
// names between threads.
std::vector<Given> MakeEntries(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Given> all(count);
    for (std::size_t i = 0; i < count; ++i) {
        Given& e = all[i];
        e.medium = std::string(rng() % 2 ? "CD" : "dat") + std::to_string(rng() % 4);
        e.folder = "/Media/F" + std::to_string(rng() % 30);
        for (int w = 0, n = 1 + static_cast<int>(rng() % 3); w < n; ++w) {
            e.name += kWords[rng() % std::size(kWords)];
            e.name += std::to_string(rng() % 100);
        }
        e.report = "/r/" + std::to_string(i % 7) + ".txt";
        e.line = static_cast<std::uint32_t>(i / 7 + 1);
        e.folder_ = rng() % 5 == 0;
        e.size = e.folder_ ? 0 : rng() % 100000;
    }
    return all;
}

std::unique_ptr<CNameImage> Build(const std::vector<Given>& all) {
    CNameImage::CBuilder builder;
    std::vector<std::uint32_t> reports;
    for (int r = 0; r < 7; ++r) {
        reports.push_back(builder.Report("/r/" + std::to_string(r) + ".txt"));
    }
    const std::uint32_t stamp = builder.Stamp("01/02/03", "04:05:06");
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Given& e = all[i];
        builder.Add(e.name, builder.Place(e.medium, e.folder), stamp, reports[i % 7], e.line,
                    e.folder_, false, e.size);
    }
    return builder.Build();
}

// The plain way: every entry in the promised order, filtered one by one.
class CPlainFind {
public:
    explicit CPlainFind(const std::vector<Given>& all) : m_all(all), m_order(all.size()) {
        for (const Given& e : all) {
            m_foldedNames.push_back(CaseFold::Fold(e.name));
            m_foldedMediums.push_back(CaseFold::Fold(e.medium));
        }
        std::iota(m_order.begin(), m_order.end(), std::size_t(0));
        const auto key = [&](std::size_t i) {
            const Given& e = m_all[i];
            return std::make_tuple(m_foldedMediums[i], CaseFold::Fold(e.folder), e.medium, e.folder,
                                   m_foldedNames[i], e.report, e.line);
        };
        std::vector<decltype(key(0))> keys;
        for (std::size_t i = 0; i < all.size(); ++i) {
            keys.push_back(key(i));
        }
        std::sort(m_order.begin(), m_order.end(),
                  [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    }

    // The first `limit` hits, shown, and the number of them all.
    std::vector<std::string> Hits(const CFindQuery& q, std::size_t limit,
                                  std::uint64_t& total) const {
        const std::string prefix = CaseFold::Fold(q.m_strMediumPrefix);
        const CGlobPattern glob(CaseFold::Fold(q.m_strGlob));
        std::vector<std::string> texts;
        for (const std::string& text : q.m_arrTexts) {
            texts.push_back(CaseFold::Fold(text));
        }
        std::vector<std::string> hits;
        total = 0;
        for (const std::size_t i : m_order) {
            const Given& e = m_all[i];
            const std::string& name = m_foldedNames[i];
            bool ok = m_foldedMediums[i].rfind(prefix, 0) == 0;
            ok = ok && !(q.m_kinds == FindKinds::Files && e.folder_) &&
                 !(q.m_kinds == FindKinds::Folders && !e.folder_);
            ok = ok && (q.m_strGlob.empty() || glob.Matches(name));
            for (const std::string& text : texts) {
                ok = ok && name.find(text) != std::string::npos;
            }
            if (ok && ++total <= limit) {
                hits.push_back(Show(e));
            }
        }
        return hits;
    }

private:
    const std::vector<Given>& m_all;
    std::vector<std::string> m_foldedNames;
    std::vector<std::string> m_foldedMediums;
    std::vector<std::size_t> m_order;
};

std::vector<CFindQuery> Queries() {
    std::vector<CFindQuery> queries;
    for (const std::vector<std::string>& texts : std::vector<std::vector<std::string>>{{"ph"},
                                                                                       {"MÜNCHEN"},
                                                                                       {"σοφια"},
                                                                                       {"ss"},
                                                                                       {"a b"},
                                                                                       {"x1"},
                                                                                       {"zzz"},
                                                                                       {"tax", "2"},
                                                                                       {""},
                                                                                       {"\n"},
                                                                                       {"o\nd"}}) {
        CFindQuery q;
        q.m_arrTexts = texts;
        queries.push_back(q);
    }
    for (const char* pattern : {"*", "ph*", "*[0-4]", "*x?1*"}) {
        CFindQuery q;
        q.m_strGlob = pattern;
        queries.push_back(q);
    }
    CFindQuery files;
    files.m_arrTexts = {"a"};
    files.m_kinds = FindKinds::Files;
    queries.push_back(files);
    CFindQuery folders = files;
    folders.m_kinds = FindKinds::Folders;
    folders.m_strMediumPrefix = "Cd";
    queries.push_back(folders);
    return queries;
}

constexpr std::size_t kLimits[] = {0, 7, 2000};

struct Expected {
    CFindQuery query;
    std::uint64_t total = 0;
    std::vector<std::string> hits; // the first kLimits.back()
};

std::vector<Expected> PlainHits(const std::vector<Given>& all) {
    const CPlainFind plain(all);
    std::vector<Expected> expected;
    for (const CFindQuery& q : Queries()) {
        Expected& e = expected.emplace_back();
        e.query = q;
        e.hits = plain.Hits(q, kLimits[std::size(kLimits) - 1], e.total);
    }
    return expected;
}

void ExpectPlainHits(const CNameImage& image, const std::vector<Expected>& expected) {
    const std::atomic<bool> cancel{false};
    for (const Expected& e : expected) {
        for (const std::size_t limit : kLimits) {
            // From the first hit, and from a later one as the window's rows further down ask.
            for (const std::size_t offset : {std::size_t{0}, limit / 2 + 1}) {
                if (offset + limit > kLimits[std::size(kLimits) - 1]) {
                    continue;
                }
                const CFindResult result = image.Search(e.query, limit, cancel, offset);
                std::vector<std::string> shown;
                for (const CFindHit& hit : result.m_arrHits) {
                    shown.push_back(Show(hit));
                }
                const CFindQuery& q = e.query;
                const std::string what = (q.m_arrTexts.empty() ? q.m_strGlob : q.m_arrTexts[0]) + " limit " +
                                         std::to_string(limit) + " offset " + std::to_string(offset);
                EXPECT_EQ(result.m_nTotal, e.total) << what;
                const std::size_t from = std::min(offset, e.hits.size());
                EXPECT_EQ(shown, std::vector<std::string>(e.hits.begin() + from,
                                                          e.hits.begin() + std::min(offset + limit, e.hits.size())))
                    << what;
            }
        }
    }
}

// Hits past the limit are counted from the folded names alone, hits before
// it placed through the name starts, in as many parts as there are threads:
// both must agree with the plain loop, built in memory and mapped from disk.
TEST(NameImage, SearchAgreesWithThePlainLoopBuiltAndMapped) {
    const std::vector<Given> all = MakeEntries(100000, 3);
    const std::vector<Expected> expected = PlainHits(all);
    const std::unique_ptr<CNameImage> built = Build(all);
    ASSERT_EQ(built->Size(), all.size());
    ExpectPlainHits(*built, expected);

    CTempTree data;
    const CNameImage::Key key{5, 6};
    ASSERT_TRUE(built->Save(data.Path("names"), key));
    const std::unique_ptr<CNameImage> mapped = CNameImage::Load(data.Path("names"), key);
    ASSERT_TRUE(mapped);
    ExpectPlainHits(*mapped, expected);
}

// The scan compares many places at once and the last few one by one: a
// text at either end of any name, in images of every small size, is found
// exactly once, and one split over two names is not found.
TEST(NameImage, SearchFindsTextAtEitherEndOfEveryName) {
    const std::atomic<bool> cancel{false};
    for (std::size_t count = 1; count <= 40; ++count) {
        for (std::size_t length = 1; length <= 5; ++length) {
            const std::string text = std::string("xyz01").substr(0, length);
            for (std::size_t holder = 0; holder < count; ++holder) {
                for (const bool atEnd : {false, true}) {
                    SCOPED_TRACE(std::to_string(count) + " names, \"" + text + "\" in name " +
                                 std::to_string(holder) +
                                 (atEnd ? " at its end" : " at its start"));
                    std::vector<Given> all(count);
                    for (std::size_t i = 0; i < count; ++i) {
                        // Names sort as given; their lengths step over 16 and 32.
                        all[i].name =
                            std::string(1, static_cast<char>('a' + i / 20)) +
                            std::string(i % 20 + i % 3 * 7, static_cast<char>('a' + i % 20));
                        all[i].medium = "CD";
                        all[i].report = "/r/" + std::to_string(i % 7) + ".txt";
                        all[i].line = static_cast<std::uint32_t>(i / 7 + 1);
                    }
                    std::string& name = all[holder].name;
                    name = atEnd ? name + text : name.substr(0, 1) + text + name.substr(1);
                    const std::unique_ptr<CNameImage> image = Build(all);
                    CFindQuery q;
                    q.m_arrTexts = {text};
                    const CFindResult result = image->Search(q, 5, cancel);
                    ASSERT_EQ(result.m_nTotal, 1u);
                    ASSERT_EQ(result.m_arrHits.size(), 1u);
                    EXPECT_EQ(result.m_arrHits[0].m_strName, name);
                }
            }
        }
    }
    std::vector<Given> split(2);
    split[0].name = "axy";
    split[1].name = "bz";
    CFindQuery q;
    q.m_arrTexts = {"xyz"};
    EXPECT_EQ(Build(split)->Search(q, 5, cancel).m_nTotal, 0u);
}

// The saved layout: header, entries, folded name starts, names, folded names, tables.
constexpr std::size_t kHeader = 64;

struct Layout {
    std::size_t count, entries, starts;
};

void Overwrite(const std::string& path, std::size_t at, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
}

std::string Number(std::uint64_t value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// A saved image is checked up front only where that is cheap (sizes, ends,
// a few entries spread over it): plain damage is refused there, and damage
// between the entries it looks at is bounded where the image is read, so
// searching and showing every entry stays inside the file.
TEST(NameImage, DamagedSavedImageIsRefusedOrReadWithinItsBounds) {
    const std::vector<Given> all = MakeEntries(5000, 4);
    const std::unique_ptr<CNameImage> sound = Build(all);
    const Layout at{all.size(), kHeader, kHeader + all.size() * sizeof(CNameImage::Entry)};
    const std::size_t middle = 5000 / 15 / 2; // between the first two of the 16 entries looked at
    const std::size_t entry = at.entries + middle * sizeof(CNameImage::Entry);
    struct Damage {
        const char* name;
        std::function<void(const std::string&)> apply;
        bool refused;
    };
    const std::vector<Damage> damages = {
        {"StartsZeroed",
         [&](const std::string& p) {
             Overwrite(p, at.starts, std::string((at.count + 1) * 8, '\0'));
         },
         true},
        {"EntriesAllOnes",
         [&](const std::string& p) {
             Overwrite(p, at.entries, std::string(at.count * sizeof(CNameImage::Entry), '\xff'));
         },
         true},
        {"LastStartShort",
         [&](const std::string& p) { Overwrite(p, at.starts + at.count * 8, Number(3)); }, true},
        {"StartsFalling",
         [&](const std::string& p) {
             for (std::size_t i = 1; i < at.count; ++i) {
                 Overwrite(p, at.starts + i * 8, Number(at.count - i));
             }
         },
         true},
        {"OneStartFarOut",
         [&](const std::string& p) {
             Overwrite(p, at.starts + middle * 8, Number(~std::uint64_t(0) / 2));
         },
         false},
        {"OneStartBack",
         [&](const std::string& p) { Overwrite(p, at.starts + middle * 8, Number(0)); }, false},
        {"OneEntryOutOfItsTables",
         [&](const std::string& p) {
             Overwrite(p, entry, std::string(sizeof(CNameImage::Entry), '\xff'));
         },
         false},
    };
    CTempTree data;
    const CNameImage::Key key{1, 2};
    const std::atomic<bool> cancel{false};
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const std::string path = data.Path(damage.name);
        ASSERT_TRUE(sound->Save(path, key));
        damage.apply(path);
        const std::unique_ptr<CNameImage> image = CNameImage::Load(path, key);
        EXPECT_EQ(image == nullptr, damage.refused);
        if (!image) {
            continue;
        }
        for (std::size_t i = 0; i < image->Size(); ++i) {
            const CFindHit hit = image->Hit(i);
            EXPECT_LE(hit.m_strName.size(), 40u);
        }
        for (const CFindQuery& q : Queries()) {
            for (const std::size_t limit : {std::size_t(0), std::size_t(20000)}) {
                const CFindResult result = image->Search(q, limit, cancel);
                EXPECT_LE(result.m_nTotal, image->Size());
                EXPECT_EQ(result.m_arrHits.size(), std::min<std::size_t>(limit, result.m_nTotal));
            }
        }
    }
    // Damage to an entry's own fields leaves every count as it was.
    const std::string path = data.Path("OneEntryOutOfItsTables");
    const std::unique_ptr<CNameImage> image = CNameImage::Load(path, key);
    ASSERT_TRUE(image);
    for (const CFindQuery& q : Queries()) {
        if (q.m_kinds == FindKinds::All && q.m_strMediumPrefix.empty()) {
            EXPECT_EQ(image->Search(q, 0, cancel).m_nTotal, sound->Search(q, 0, cancel).m_nTotal);
        }
    }
}

} // namespace
