#include "ReportReader.h"
#include "ReportStream.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Everything a reading gives, as one comparable text.
struct Reading {
    bool ok = false;
    std::string text;
    bool operator==(const Reading&) const = default;
};

void PrintTo(const Reading& r, std::ostream* out) { *out << (r.ok ? "ok\n" : "refused\n") << r.text; }

CReportReader::Sink Recorder(std::string& text, const CReportReader& reader) {
    return [&text, &reader](const CReportEntry& e) {
        text += std::to_string(e.m_nLine) + (e.m_bFolder ? " D|" : " F|") + std::string(e.m_strFolder) + "|" +
                std::string(e.m_strName) + "|" + std::to_string(e.m_nSize) + "|" + std::string(e.m_strDate) + "|" +
                std::string(e.m_strTime) + "|" + std::string(e.m_strMedium) + (e.m_bWindows1252 ? "|1252" : "") +
                " <" + std::string(reader.CurrentLine()) + "> record " + std::to_string(reader.RecordLine()) + "\n";
    };
}

std::string Ending(const CReportReader& reader) {
    std::string text = "layout " + std::to_string(static_cast<int>(reader.Layout())) + " reason " + reader.Reason();
    for (const auto& [tag, folder] : reader.LogLines()) {
        text += "\nlog " + tag + " " + folder;
    }
    return text;
}

Reading Whole(std::string_view bytes, std::string_view log) {
    CReportReader reader;
    reader.SetLog(log);
    Reading r;
    r.ok = reader.Read(bytes, Recorder(r.text, reader));
    r.text += Ending(reader);
    return r;
}

Reading Chunked(std::string_view bytes, std::string_view log, std::size_t chunk) {
    CReportReader reader;
    reader.SetLog(log);
    Reading r;
    const auto sink = Recorder(r.text, reader);
    reader.Begin();
    bool fed = true;
    for (std::size_t at = 0; at < bytes.size() && fed; at += chunk) {
        fed = reader.Feed(bytes.substr(at, chunk), sink);
    }
    r.ok = fed && reader.Finish(sink);
    r.text += Ending(reader);
    return r;
}

Reading FromFile(const std::string& path, std::string_view log) {
    CReportReader reader;
    reader.SetLog(log);
    CReportStream stream;
    int error = 0;
    Reading r;
    if (!stream.Open(path, error)) {
        r.text = "open failed";
        return r;
    }
    r.ok = stream.Read(reader, Recorder(r.text, reader));
    r.text += Ending(reader);
    return r;
}

struct Sample {
    const char* name;
    std::string bytes;
    std::string log;
};

std::vector<Sample> Samples() {
    const std::string tabbed = "/m/a\r\n\r\nB\t<FOLDER>\t05.03.26\t14:07:09\tB\r\n"
                               "X.TXT\t1.234\t05.03.26\t14:07:09\tx.txt\r\n\r\n/m/a/B\r\n\r\nFOLDER IS EMPTY\r\n"
                               "\r\nSummary: 2 Folder(s), 1 File(s)\t1.234 Bytes\r\n";
    const std::string padded = "C:\\DATA\r\n\r\n"
                               "M\xdcNCHEN.TXT     " "  " "       -1.294.967.296" "  " "05.03.26" "  " "   14:07:09"
                               "  " "M\xdcNCHEN.TXT\r\n"
                               "\r\nSummary: 1 Folder(s), 1 File(s)  " "       -1.294.967.296 Bytes";
    return {
        {"tabbed listing, two records", tabbed, ""},
        {"padded Windows listing", padded, ""},
        {"folder list", "/m/a\n/m/a/b c\n/m/a/d\n\nSummary: 3 Folder(s), 0 File(s)\t0 Bytes\n", ""},
        {"folder list of one", "D:\\\n\nSummary: 1 Folder(s), 0 File(s)\t0 Bytes", ""},
        {"listing of nothing", "Summary: 0 Folder(s), 0 File(s)  0 Bytes\n", ""},
        {"archive with its log", "a.doc\t-5\t05.03.26\t14:07:09\tCD01-03\nb\t5\t1/2/99\t3:04 AM\tCD01-04\n",
         "CD01-03\t/w\r\nCD01-04\t/w/b"},
        {"archive log", "CD01-01\t/w/a\r\nCD01-02\t/w/b\r\n", ""},
        {"archive then line feeds", "a\t1\td\tt\tCD01-01\nb\t2\td\tt\tCD01-01\n\n\n\nc\t3\td\tt\tCD01-01\n", ""},
        {"listing, then text after the summary", "/A\n\nSummary: 1 Folder(s), 0 File(s)\t0 Bytes\nmore", ""},
        {"listing without summary", "/A\n\nB\t1\td\tt\tB\n", ""},
        {"folder list with a line that is no path", "/A\n/A/b\nDear diary,\n\nSummary: 3 Folder(s)\t0 Bytes", ""},
        {"tabbed entries, padded summary", "/A\n\nB\t1\td\tt\tB\n\nSummary: 1 Folder(s), 1 File(s)  1 Bytes", ""},
        {"binary after a good line", std::string("a\t1\td\tt\tCD01-01\nb\0", 19), ""},
        {"a line longer than any report's",
         "a\t1\td\tt\tCD01-01\n" + std::string(CReportReader::kLongestLine + 1, 'x') + "\n", ""},
        {"plain text", "Dear diary,\ntoday I burnt a CD.\n", ""},
    };
}

// Every chunking of the input and the file on disk read exactly as the
// whole bytes do, refusals and their reasons included.
TEST(ReportStream, ChunksAndFilesReadAsTheWholeBytes) {
    CTempTree tree;
    for (const Sample& sample : Samples()) {
        SCOPED_TRACE(sample.name);
        const Reading whole = Whole(sample.bytes, sample.log);
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                                        std::size_t{64}, std::size_t{4096}}) {
            if (chunk > 7 || sample.bytes.size() < 4096) {
                EXPECT_EQ(Chunked(sample.bytes, sample.log, chunk), whole) << "chunks of " << chunk;
            }
        }
        tree.WriteText("report.txt", sample.bytes);
        EXPECT_EQ(FromFile(tree.Path("report.txt"), sample.log), whole);
    }
}

TEST(ReportStream, StopsAtTheFirstLineThatCannotBelong) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"archive then line feeds", "line 3: not an archive report line"},
        {"listing, then text after the summary", "line 1: not a Stowlist report or archive log"},
        {"listing without summary", "line 1: not a Stowlist report or archive log"},
        {"folder list with a line that is no path", "line 3: not a folder path"},
        {"tabbed entries, padded summary", "line 5: a summary of another layout than its entries"},
        {"binary after a good line", "binary data, not a text report"},
        {"a line longer than any report's", "line 2: longer than any report line"},
        {"plain text", "line 1: not a Stowlist report or archive log"},
    };
    std::vector<std::pair<std::string, std::string>> refused;
    std::size_t read = 0;
    for (const Sample& sample : Samples()) {
        CReportReader reader;
        reader.SetLog(sample.log);
        if (reader.Read(sample.bytes, [](const CReportEntry&) {})) {
            ++read;
        } else {
            refused.emplace_back(sample.name, reader.Reason());
        }
    }
    EXPECT_EQ(refused, expected);
    EXPECT_EQ(read, Samples().size() - expected.size());
}

// The opening bytes of every report pass; what plainly is none does not.
TEST(ReportStream, SniffRefusesOnlyWhatPlainlyIsNoReport) {
    CTempTree tree;
    std::string big = "/m\n\n";
    while (big.size() < 3 * CReportStream::kSniffBytes) {
        big += "B\t<FOLDER>\t05.03.26\t14:07:09\tsome longer folder name\n";
    }
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"listing past the sniff", big, true},
        {"archive", "a\t1\td\tt\tCD01-01\n", true},
        {"archive log", "CD01-01\t/w/a\n", true},
        {"truncated small listing", "/m\n\nB\t1\td\tt\tB\n", false},
        {"text", "Dear diary,\n", false},
        {"binary", std::string("\x7f" "ELF\0\0", 6), false},
        {"empty", "", false},
    };
    for (const auto& [name, bytes, passes] : cases) {
        tree.WriteText(name, bytes);
        CReportStream stream;
        CReportReader reader;
        int error = 0;
        ASSERT_TRUE(stream.Open(tree.Path(name), error)) << name;
        EXPECT_EQ(stream.Sniff(reader), passes) << name << ": " << reader.Reason();
        struct stat info {};
        ASSERT_EQ(stat(tree.Path(name).c_str(), &info), 0);
        EXPECT_EQ(std::make_tuple(stream.Device(), stream.Inode(), stream.Size()),
                  std::make_tuple(std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), std::uint64_t(info.st_size)));
    }
    CReportStream stream;
    int error = 0;
    EXPECT_FALSE(stream.Open(tree.Root(), error));
    EXPECT_EQ(error, EISDIR);
}

} // namespace
