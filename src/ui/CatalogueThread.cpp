#include "CatalogueThread.h"

#include "UiText.h"

#include <QMetaObject>

CCatalogueThread::CCatalogueThread(std::string databasePath, QObject* parent)
    : QObject(parent), m_strPath(std::move(databasePath)), m_pCatalogue(std::make_unique<CCatalogue>(m_strPath)),
      m_pWorker(std::make_unique<QObject>()) {
    qRegisterMetaType<CFindAnswer>();
    qRegisterMetaType<std::vector<CSourceInfo>>();
    m_pWorker->moveToThread(&m_thread);
}

CCatalogueThread::~CCatalogueThread() {
    m_nLatestFind = ~quint64(0);
    m_pCatalogue->Cancel();
    m_thread.quit();
    m_thread.wait();
}

template <typename Job> void CCatalogueThread::Post(Job job) {
    if (!m_thread.isRunning()) {
        m_thread.start();
    }
    QMetaObject::invokeMethod(m_pWorker.get(), std::move(job), Qt::QueuedConnection);
}

bool CCatalogueThread::EnsureOpen() {
    if (!m_bOpened) {
        m_bOpened = m_pCatalogue->Open(true);
        if (!m_bOpened) {
            emit Warning(Text(IDS_FIND_FAILED).replace(QLatin1String("%s"), ToQString(m_pCatalogue->LastError())));
        }
    }
    return m_bOpened;
}

void CCatalogueThread::ReportWarnings(bool ok) {
    if (!ok) {
        emit Warning(Text(IDS_CATALOGUE_WARNING).replace(QLatin1String("%s"), ToQString(m_pCatalogue->LastError())));
    }
    for (const std::string& warning : m_pCatalogue->TakeWarnings()) {
        emit Warning(Text(IDS_CATALOGUE_WARNING).replace(QLatin1String("%s"), ToQString(warning)));
    }
}

void CCatalogueThread::Find(quint64 generation, const CFindQuery& query, std::size_t offset, std::size_t count,
                            std::optional<FindHitField> sort, bool descending) {
    m_nLatestFind = generation;
    if (m_bFinding) {
        m_pCatalogue->Cancel();
    }
    Post([this, generation, query, offset, count, sort, descending] {
        if (generation != m_nLatestFind || !EnsureOpen()) {
            return;
        }
        m_bFinding = true;
        CFindAnswer answer;
        answer.m_nGeneration = generation;
        answer.m_nOffset = sort ? 0 : offset;
        answer.m_sort = sort;
        answer.m_bDescending = descending;
        answer.m_result = m_pCatalogue->Find(query, sort ? kSortLimit : offset + count);
        m_bFinding = false;
        if (answer.m_result.m_bCancelled || generation != m_nLatestFind) {
            return;
        }
        if (answer.m_result.m_bFailed) {
            answer.m_strError = m_pCatalogue->LastError();
        }
        std::vector<CFindHit>& hits = answer.m_result.m_arrHits;
        if (sort) {
            if (answer.m_result.m_nTotal <= kSortLimit) {
                SortFindHits(hits, *sort, descending);
            } else {
                answer.m_sort.reset();
                hits.resize(std::min(hits.size(), count));
            }
        } else {
            hits.erase(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(std::min(offset, hits.size())));
        }
        for (const std::string& warning : m_pCatalogue->TakeWarnings()) {
            emit Warning(Text(IDS_CATALOGUE_WARNING).replace(QLatin1String("%s"), ToQString(warning)));
        }
        emit Found(answer);
    });
}

void CCatalogueThread::Add(const std::vector<std::string>& paths) {
    Post([this, paths] {
        if (!EnsureOpen()) {
            return;
        }
        const int total = static_cast<int>(paths.size());
        emit Progress(0, total);
        for (int i = 0; i < total; ++i) {
            ReportWarnings(m_pCatalogue->AddPaths({paths[static_cast<std::size_t>(i)]}));
            emit Progress(i + 1, total);
        }
        emit SourcesChanged(m_pCatalogue->Sources());
    });
}

void CCatalogueThread::Remove(const std::vector<std::string>& paths) {
    Post([this, paths] {
        if (EnsureOpen()) {
            ReportWarnings(m_pCatalogue->Remove(paths));
            emit SourcesChanged(m_pCatalogue->Sources());
        }
    });
}

void CCatalogueThread::Refresh() {
    Post([this] {
        if (EnsureOpen()) {
            emit Progress(0, 1);
            ReportWarnings(m_pCatalogue->Refresh(true));
            emit Progress(1, 1);
            emit SourcesChanged(m_pCatalogue->Sources());
        }
    });
}

void CCatalogueThread::ListSources() {
    Post([this] {
        if (EnsureOpen()) {
            emit SourcesChanged(m_pCatalogue->Sources());
        }
    });
}

void CCatalogueThread::Register(const std::string& reportPath, const std::string& logText) {
    Post([this, reportPath, logText] {
        if (!m_bOpened && !(m_bOpened = m_pCatalogue->Open(true))) {
            emit NotRegistered(Text(IDS_CATALOGUE_NOT_ADDED).replace(QLatin1String("%s"), ToQString(m_pCatalogue->LastError())));
        } else if (!m_pCatalogue->RegisterReport(reportPath, logText)) {
            emit NotRegistered(Text(IDS_CATALOGUE_NOT_ADDED).replace(QLatin1String("%s"), ToQString(m_pCatalogue->LastError())));
        }
    });
}
