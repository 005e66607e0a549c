#include "CatalogSession.h"

void CCatalogSession::Reset() {
    CLineArray().swap(m_arrArchiveLines);
    std::vector<CWalkedFile>().swap(m_arrArchiveFiles);
    m_nFileCount = 0;
    m_dwTotalBytes = 0;
    m_bSaved = 1;
    FreeFolderRecords();
    m_lines.Clear();
}

void CCatalogSession::FreeFolderRecords() {
    std::vector<std::unique_ptr<CFolderRecord>>().swap(m_arrFolderRecords);
}
