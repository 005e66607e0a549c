#pragma once

#include "FileDescriptor.h"
#include "ReportReader.h"

#include <cstdint>
#include <string>

// A report file read through one descriptor in chunks, so that what it costs
// is one chunk and one line whatever the file's size, with the identity and
// version that the catalogue keeps to notice changes. Not thread-safe.
class CReportStream {
public:
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 18;
    // What Sniff() reads: enough for the opening lines of any report.
    static constexpr std::size_t kSniffBytes = std::size_t{1} << 13;

    // Opens a regular file; false with errno's value in error otherwise
    // (EISDIR for a folder, EINVAL for anything else that is not a file).
    bool Open(const std::string& path, int& error);
    // Takes over an open descriptor of a regular file (closed in any case).
    bool Adopt(int fd, int& error);

    // Reads the file from its start through reader into sink. False when the
    // reader refuses it (reader.Reason()) or reading fails (ReadError()).
    bool Read(CReportReader& reader, const CReportReader::Sink& sink);
    // Reads the first kSniffBytes only: false when they plainly cannot begin a
    // report (reader.Reason()) or cannot be read (ReadError()).
    bool Sniff(CReportReader& reader);
    // errno's value of a failed read, 0 when the reader refused the bytes.
    int ReadError() const { return m_nReadError; }

    // The identity and version of the file opened, as fstat gave them.
    std::uint64_t Device() const { return m_nDevice; }
    std::uint64_t Inode() const { return m_nInode; }
    std::uint64_t Size() const { return m_nSize; }
    std::int64_t ModifiedNs() const { return m_nModifiedNs; }
    int Descriptor() const { return m_fd.Get(); }

private:
    bool Identify(int& error);

    CFileDescriptor m_fd;
    std::uint64_t m_nDevice = 0;
    std::uint64_t m_nInode = 0;
    std::uint64_t m_nSize = 0;
    std::int64_t m_nModifiedNs = 0;
    int m_nReadError = 0;
};
