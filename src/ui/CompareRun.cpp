#include "CompareRun.h"

#include "Catalogue.h"
#include "ManifestPath.h"

CCompareRun::CCompareRun(std::string catalogueDatabase, CCompareRequest request, QObject* parent)
    : CBackgroundRun(parent), m_strDatabase(std::move(catalogueDatabase)), m_request(std::move(request)) {
    connect(this, &CCompareRun::WorkerEnding, this, &CCompareRun::OnWorkerEnding, Qt::QueuedConnection);
}

CCompareRun::~CCompareRun() {
    Cancel();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CCompareRun::Start() { m_thread = std::thread([this] { Work(); }); }

void CCompareRun::Cancel() {
    std::lock_guard lock(m_mutex);
    m_bCancelled = true;
    if (m_pComparer) {
        m_pComparer->Cancel();
    }
}

std::unique_ptr<CReportComparer> CCompareRun::TakeComparer() {
    std::lock_guard lock(m_mutex);
    return std::move(m_pComparer);
}

// The archive logs and the manifests that the catalogue keeps for the reports.
void CCompareRun::CompleteRequest() {
    CCatalogue catalogue(m_strDatabase);
    const bool open = catalogue.Open(false);
    for (CCompareSide* side : {&m_request.m_old, &m_request.m_new}) {
        std::string remembered;
        if (open) {
            if (std::optional<std::string> log = catalogue.LogOf(side->m_strReportPath)) {
                side->m_logText = std::move(log);
            }
            remembered = catalogue.ManifestOf(side->m_strReportPath);
        }
        side->m_strManifestPath = ManifestToCheck(side->m_strReportPath, remembered).m_strPath;
    }
}

void CCompareRun::Work() {
    CompleteRequest();
    CReportComparer* comparer = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_bCancelled) {
            m_pComparer = std::make_unique<CReportComparer>(std::move(m_request));
            comparer = m_pComparer.get();
        }
    }
    if (comparer != nullptr) {
        m_outcome = comparer->Run([this](int percent) {
            if (m_nPosted.exchange(percent) != percent) {
                emit ProgressPosted(percent);
            }
        });
    }
    emit WorkerEnding();
}

void CCompareRun::OnWorkerEnding() {
    m_thread.join();
    emit Finished();
}
