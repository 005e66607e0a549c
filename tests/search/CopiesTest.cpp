#include "CaseFold.h"
#include "Catalogue.h"
#include "CatalogueDigests.h"
#include "CopyDigests.h"
#include "SqliteDatabase.h"
#include "TempTree.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sys/stat.h>
#include <tuple>

namespace {

// One file entry as the test wrote it, and the digest its manifest gives it.
struct PlainFile {
    std::string medium, tag, folder, name, date, time, report;
    std::uint64_t size = 0, line = 0;
    std::string relative; // the path its manifest line gives
    std::optional<int> digest; // the content number written in the manifest
};

std::string Hex(int content) {
    char head[9];
    std::snprintf(head, sizeof head, "%08x", static_cast<unsigned>(content));
    return head + std::string(56, 'e');
}

// Listings take the first five (their upper case is the same in every locale).
const char* const kNames[] = {"Photo.jpg", "photo.JPG", "notes.txt", "Tax 2019.pdf", "a", "münchen.png", "MÜNCHEN.png"};

// Random reports (archives, several of one medium, and listings), a manifest
// beside about half of them; every file entry, with the digest the rule gives.
std::vector<PlainFile> WriteCatalogue(CTempTree& tree, unsigned seed, int reports) {
    std::mt19937 rng(seed);
    std::vector<PlainFile> all;
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int r = 0; r < reports; ++r) {
        const std::string file = "r" + std::to_string(r) + ".txt";
        const std::string path = tree.Path(file);
        const bool listing = r % 3 == 2;
        const bool hashed = pick(2) == 0;
        std::vector<PlainFile> files;
        std::string text;
        std::uint64_t line = 1;
        if (!listing) {
            const std::string medium = "CD0" + std::to_string(pick(3));
            for (int i = 0, n = 3 + pick(6); i < n; ++i, ++line) {
                PlainFile f{medium, medium + "-0" + std::to_string(1 + pick(2)), "", kNames[pick(7)],
                            "01/02/0" + std::to_string(pick(2)), "04:05:06", path, 0, 0, "", std::nullopt};
                f.size = static_cast<std::uint64_t>(pick(3));
                f.line = line;
                f.relative = f.name;
                text += f.name + "\t" + std::to_string(f.size) + "\t" + f.date + "\t" + f.time + "\t" + f.tag + "\r\n";
                files.push_back(f);
            }
        } else {
            const std::string base = "/MEDIA/DISK" + std::to_string(r);
            for (int record = 0; record < 2; ++record) {
                const std::string folder = base + (record ? "/SUB" : "");
                text += (record ? "\n" : "") + folder + "\n\n";
                line += record ? 3 : 2;
                for (int i = 0, n = 2 + pick(4); i < n; ++i, ++line) {
                    PlainFile f{path, "", folder, UpperAscii(kNames[pick(5)]), "01/02/0" + std::to_string(pick(2)),
                                "04:05:06", path, 0, 0, "", std::nullopt};
                    f.size = static_cast<std::uint64_t>(pick(3));
                    f.line = line;
                    f.relative = (record ? "SUB/" : "") + f.name;
                    text += f.name + "\t" + std::to_string(f.size) + "\t" + f.date + "\t" + f.time + "\t" + f.name + "\n";
                    files.push_back(f);
                }
            }
            text += "\nSummary: 0 Folder(s), 0 File(s)\t0 Bytes";
        }
        tree.WriteText(file, text);
        if (hashed) {
            // One manifest line per file; a line whose key is not unique gives no digest.
            std::string manifest;
            std::map<std::string, int> uses;
            for (PlainFile& f : files) {
                f.digest = pick(4) == 0 ? 100 + pick(1000) : pick(3);
                manifest += Hex(*f.digest) + "  " + f.relative + "\n";
                ++uses[f.relative];
            }
            for (PlainFile& f : files) {
                if (uses[f.relative] > 1) {
                    f.digest.reset();
                }
            }
            tree.WriteText("r" + std::to_string(r) + ".sha256", manifest);
        }
        all.insert(all.end(), files.begin(), files.end());
    }
    return all;
}

// The plain way: each file's group by the rule, looking at every other file.
std::vector<std::string> PlainCopies(const std::vector<PlainFile>& all, const CCopiesQuery& q) {
    const auto key = [&](const PlainFile& f) {
        return CaseFold::Fold(f.name) + "|" + std::to_string(f.size) + (q.m_bByName ? "" : "|" + f.date + "|" + f.time);
    };
    std::map<std::string, std::vector<const PlainFile*>> groups;
    for (const PlainFile& f : all) {
        std::string label;
        if (f.digest) {
            label = "D" + std::to_string(*f.digest);
        } else {
            std::set<int> digests;
            for (const PlainFile& other : all) {
                if (other.digest && key(other) == key(f)) {
                    digests.insert(*other.digest);
                }
            }
            label = digests.size() == 1 ? "D" + std::to_string(*digests.begin()) : "U" + key(f);
        }
        groups[label].push_back(&f);
    }
    const auto findOrder = [](const PlainFile* f) {
        return std::make_tuple(CaseFold::Fold(f->tag), CaseFold::Fold(f->folder), f->tag, f->folder,
                               CaseFold::Fold(f->name), f->report, f->line);
    };
    using Row = std::tuple<std::size_t, std::vector<std::pair<std::string, std::string>>, std::string, std::string,
                           decltype(findOrder(nullptr)), std::string>;
    std::vector<Row> rows;
    for (const auto& [label, members] : groups) {
        std::set<std::pair<std::string, std::string>> media;
        bool onMedium = false, named = q.m_arrTexts.empty();
        const PlainFile* first = members.front();
        for (const PlainFile* f : members) {
            media.emplace(CaseFold::Fold(f->medium), f->medium);
            onMedium = onMedium || CaseFold::Fold(f->medium).rfind(CaseFold::Fold(q.m_strMediumPrefix), 0) == 0;
            named = named || std::all_of(q.m_arrTexts.begin(), q.m_arrTexts.end(), [&](const std::string& t) {
                        return CaseFold::Fold(f->name).find(CaseFold::Fold(t)) != std::string::npos;
                    });
            if (findOrder(f) < findOrder(first)) {
                first = f;
            }
        }
        const std::size_t copies = media.size();
        if ((q.m_nFewerThan && copies >= *q.m_nFewerThan) || (q.m_nAtLeast && copies < *q.m_nAtLeast) || !onMedium ||
            !named) {
            continue;
        }
        std::string shown = std::to_string(copies) + "|";
        for (const auto& medium : media) {
            shown += medium.second + ",";
        }
        shown += "|" + first->folder + "|" + first->name + "|" + std::to_string(first->size) + "|" +
                 (label[0] == 'D' ? Hex(std::stoi(label.substr(1))) : "-");
        rows.emplace_back(copies, std::vector(media.begin(), media.end()), CaseFold::Fold(first->folder),
                          CaseFold::Fold(first->name), findOrder(first), shown);
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> out;
    for (const Row& row : rows) {
        out.push_back(std::get<5>(row));
    }
    return out;
}

std::string HexOf(const EntryDigest& digest) {
    static const char* const digits = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::vector<std::string> Copies(CCatalogue& catalogue, const CCopiesQuery& q) {
    std::vector<std::string> out;
    const CCopiesResult result = catalogue.Copies(q, false, [&](const CCopyGroup& g) {
        std::string shown = std::to_string(g.m_nCopies) + "|";
        for (const std::string_view medium : g.m_arrMedia) {
            shown.append(medium) += ",";
        }
        shown.append("|").append(g.m_strFolder).append("|").append(g.m_strName);
        shown += "|" + std::to_string(g.m_nSize) + "|" + (g.m_digest ? HexOf(*g.m_digest) : "-");
        out.push_back(shown);
    });
    EXPECT_FALSE(result.m_bFailed) << catalogue.LastError();
    return out;
}

TEST(Copies, GroupsAgreeWithThePlainRuleOverRandomCatalogues) {
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        CTempTree tree;
        const std::vector<PlainFile> all = WriteCatalogue(tree, seed, 9);
        CTempTree data;
        CCatalogue catalogue(data.Path("catalogue.sqlite"), &CatalogueDigests::FromManifest);
        ASSERT_TRUE(catalogue.Open(true)) << catalogue.LastError();
        ASSERT_TRUE(catalogue.AddPaths({tree.Root()})) << catalogue.LastError();

        std::vector<CCopiesQuery> queries(7);
        queries[1].m_nFewerThan = 2;
        queries[2].m_nAtLeast = 2;
        queries[3].m_strMediumPrefix = "cd01";
        queries[4].m_arrTexts = {"PHOTO"};
        queries[5].m_bByName = true;
        queries[6].m_bByName = true;
        queries[6].m_nFewerThan = 2;
        queries[6].m_arrTexts = {"ü", ".png"};
        // Answers from the first segment; with an archive report that lost
        // its first line read again into a segment of its own (its former
        // entries hidden, not gone); and after a merge.
        std::vector<PlainFile> now = all;
        for (const char* const stage : {"added", "one read again", "compacted"}) {
            if (stage[0] == 'o') {
                const std::string text = tree.ReadText("r1.txt");
                tree.WriteText("r1.txt", text.substr(text.find('\n') + 1));
                const timespec times[2] = {{0, UTIME_OMIT}, {1000000000 + seed, 0}}; // its manifest stays newer
                ASSERT_EQ(utimensat(AT_FDCWD, tree.Path("r1.txt").c_str(), times, 0), 0);
                std::erase_if(now, [&](const PlainFile& f) { return f.report == tree.Path("r1.txt") && f.line == 1; });
                for (PlainFile& f : now) {
                    f.line -= f.report == tree.Path("r1.txt") ? 1 : 0;
                }
                ASSERT_TRUE(catalogue.Refresh(false)) << catalogue.LastError();
            } else if (stage[0] == 'c') {
                ASSERT_TRUE(catalogue.Compact()) << catalogue.LastError();
            }
            for (std::size_t i = 0; i < queries.size(); ++i) {
                EXPECT_EQ(Copies(catalogue, queries[i]), PlainCopies(now, queries[i]))
                    << "seed " << seed << ", " << stage << ", query " << i;
            }
            EXPECT_TRUE(catalogue.TakeWarnings().empty()) << stage;
        }
    }
}

// A catalogue whose blobs are of the former form (every file's keys and
// names, the digest among them) gives the same answers once opened, its
// blobs cut to their digests.
TEST(Copies, FormerKeysAreCutToTheirDigestsAndNothingLost) {
    CTempTree tree;
    WriteCatalogue(tree, 7, 9);
    CTempTree data;
    const std::string path = data.Path("catalogue.sqlite");
    std::vector<CCopiesQuery> queries(2);
    queries[1].m_bByName = true;
    std::vector<std::vector<std::string>> before;
    {
        CCatalogue catalogue(path, &CatalogueDigests::FromManifest);
        ASSERT_TRUE(catalogue.Open(true)) << catalogue.LastError();
        ASSERT_TRUE(catalogue.AddPaths({tree.Root()})) << catalogue.LastError();
        for (const CCopiesQuery& q : queries) {
            before.push_back(Copies(catalogue, q));
        }
    }
    int hashed = 0;
    {
        CSqliteDatabase db;
        ASSERT_TRUE(db.Open(path, false));
        std::vector<std::pair<std::int64_t, std::string>> former;
        CSqliteStatement all(db.Handle(), "SELECT source, data FROM copy_keys");
        while (all.Step()) {
            CCopyDigests digests;
            ASSERT_TRUE(digests.FromBytes(all.Blob(1)));
            // The magic, one place (flags, tag, folder), the count, and per
            // file: place, line, size, two keys, flags, name, digest.
            std::string blob = std::string("SCK1") + '\x01' + '\0' + '\x04' + "CD01" + '\x01' + "/";
            blob += static_cast<char>(digests.Size() + 1);
            for (std::uint64_t line = 1; line <= 60; ++line) {
                const EntryDigest* digest = digests.Find(line);
                if (digest != nullptr || line == 60) {
                    blob += std::string{'\0', static_cast<char>(line), '\x05'} + std::string(16, '\x7f');
                    blob += std::string{digest != nullptr ? '\x03' : '\x01', '\x02'} + "\xe9t";
                    if (digest != nullptr) {
                        blob.append(reinterpret_cast<const char*>(digest->data()), digest->size());
                        ++hashed;
                    }
                }
            }
            former.emplace_back(all.Int(0), blob);
        }
        for (const auto& [source, blob] : former) {
            CSqliteStatement put(db.Handle(), "UPDATE copy_keys SET data=? WHERE source=?");
            put.Bind(1, std::string_view(blob)).Bind(2, source);
            ASSERT_TRUE(put.Run());
        }
        ASSERT_TRUE(db.Exec("DELETE FROM meta WHERE key='copy_keys_form'"));
    }
    ASSERT_GT(hashed, 0);
    CCatalogue catalogue(path, &CatalogueDigests::FromManifest);
    ASSERT_TRUE(catalogue.Open(false)) << catalogue.LastError();
    for (std::size_t i = 0; i < queries.size(); ++i) {
        EXPECT_EQ(Copies(catalogue, queries[i]), before[i]) << "query " << i;
    }
    EXPECT_EQ(catalogue.TakeWarnings(), std::vector<std::string>{});
    // Cut, not merely read as they were.
    CSqliteDatabase db;
    ASSERT_TRUE(db.Open(path, false));
    CSqliteStatement all(db.Handle(), "SELECT data FROM copy_keys");
    while (all.Step()) {
        EXPECT_FALSE(CCopyDigests::IsFormerKeys(all.Blob(0)));
    }
}

} // namespace
