#include "DropChecksums.h"

#include "ManifestPath.h"
#include "ManifestWriter.h"

#include <cerrno>

namespace {

std::vector<CChecksumFile> ChecksumFilesOf(CDropFiles drop) {
    std::vector<CChecksumFile> files;
    files.reserve(drop.m_arrFiles.size());
    for (CWalkedFile& walked : drop.m_arrFiles) {
        CChecksumFile& file = files.emplace_back();
        file.m_strManifestPath = ManifestRelativePath(drop.m_strBase, walked.m_strPath);
        file.m_strOpenPath = std::move(walked.m_strPath);
        file.m_nDevice = walked.m_nDevice;
        file.m_nSize = walked.m_nSize;
    }
    return files;
}

} // namespace

CDropChecksums::CDropChecksums(CDropFiles files, CChecksumLimits limits)
    : m_stage(ChecksumFilesOf(std::move(files)), limits) {}

bool CDropChecksums::Run(const CChecksumStage::ProgressFn& progress) { return m_stage.Run(progress); }

int CDropChecksums::WriteManifest(const std::string& path) const {
    CManifestWriter writer;
    if (!writer.Open(path) || !writer.AddResults(m_stage.Files(), m_stage.Results()) || !writer.Commit()) {
        return writer.LastError() != 0 ? writer.LastError() : EIO;
    }
    return 0;
}

std::vector<CUnreadableFile> CDropChecksums::Unreadable() const {
    std::vector<CUnreadableFile> unreadable;
    const auto& results = m_stage.Results();
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].m_nError != 0) {
            unreadable.push_back({m_stage.Files()[i].m_strOpenPath, results[i].m_nError});
        }
    }
    return unreadable;
}
