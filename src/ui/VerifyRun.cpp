#include "VerifyRun.h"

#include "Catalogue.h"
#include "ManifestPath.h"

#include <new>

namespace {

std::function<void()>& StepBeforeCheck() {
    static std::function<void()> step;
    return step;
}

} // namespace

void CVerifyRun::SetStepBeforeCheck(std::function<void()> step) { StepBeforeCheck() = std::move(step); }

CVerifyRun::CVerifyRun(std::string catalogueDatabase, CVerifyRequest request, QObject* parent)
    : CBackgroundRun(parent), m_strDatabase(std::move(catalogueDatabase)), m_request(std::move(request)) {
    connect(this, &CVerifyRun::WorkerEnding, this, &CVerifyRun::OnWorkerEnding, Qt::QueuedConnection);
}

CVerifyRun::~CVerifyRun() {
    Cancel();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CVerifyRun::Start() { m_thread = std::thread([this] { Work(); }); }

void CVerifyRun::Cancel() {
    std::lock_guard lock(m_mutex);
    m_bCancelled = true;
    if (m_pVerifier) {
        m_pVerifier->Cancel();
    }
}

std::unique_ptr<CMediumVerifier> CVerifyRun::TakeVerifier() {
    std::lock_guard lock(m_mutex);
    return std::move(m_pVerifier);
}

// The archive log and the manifest that the catalogue keeps for the report.
void CVerifyRun::CompleteRequest() {
    const std::string& report = m_request.m_strReportPath;
    std::string remembered;
    CCatalogue catalogue(m_strDatabase);
    if (catalogue.Open(false)) {
        if (std::optional<std::string> log = catalogue.LogOf(report)) {
            m_request.m_logText = std::move(log);
        }
        remembered = catalogue.ManifestOf(report);
    }
    m_request.m_strManifestPath = ManifestToCheck(report, remembered).m_strPath;
}

void CVerifyRun::Work() {
    // Whatever the libraries throw ends this check, not the program.
    try {
        CompleteRequest();
        CMediumVerifier* verifier = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (!m_bCancelled) {
                m_pVerifier = std::make_unique<CMediumVerifier>(std::move(m_request));
                verifier = m_pVerifier.get();
            }
        }
        if (verifier != nullptr) {
            if (StepBeforeCheck()) {
                StepBeforeCheck()();
            }
            m_outcome = verifier->Run([this](int percent) {
                if (m_nPosted.exchange(percent) != percent) {
                    emit ProgressPosted(percent);
                }
            });
        }
    } catch (const std::bad_alloc&) {
        m_outcome = VerifyOutcome::Unreadable;
        m_strFailure = "out of memory";
    } catch (const std::exception& failure) {
        m_outcome = VerifyOutcome::Unreadable;
        m_strFailure = failure.what();
    } catch (...) {
        m_outcome = VerifyOutcome::Unreadable;
        m_strFailure = "an unexpected error";
    }
    emit WorkerEnding();
}

void CVerifyRun::OnWorkerEnding() {
    m_thread.join();
    emit Finished();
}
