#pragma once

#include "BackgroundRun.h"
#include "ReportComparer.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// One comparison of two reports, on a std::thread of its own. That thread
// first completes the request from the catalogue (each report's archive log
// and checksum manifest), then runs the comparer.
//
// Threads: the methods are called on the thread that made the object, and
// Finished is emitted there, after the worker has been joined. The
// destructor cancels a run that is still going and waits for it.
class CCompareRun : public CBackgroundRun {
    Q_OBJECT
public:
    CCompareRun(std::string catalogueDatabase, CCompareRequest request, QObject* parent = nullptr);
    ~CCompareRun() override;

    void Start();
    void Cancel() override;

    // After Finished.
    CReportComparer::Outcome Outcome() const { return m_outcome; }
    // After Finished: the comparer with its account; null when cancelled
    // before it started.
    std::unique_ptr<CReportComparer> TakeComparer();

signals:
    void WorkerEnding();

private:
    // Worker thread only.
    void Work();
    void CompleteRequest();
    void OnWorkerEnding();

    std::string m_strDatabase;
    CCompareRequest m_request; // the worker's once started
    std::thread m_thread;
    std::mutex m_mutex; // guards m_pComparer's setting and m_bCancelled
    std::unique_ptr<CReportComparer> m_pComparer;
    bool m_bCancelled = false;
    std::atomic<int> m_nPosted{-1};
    CReportComparer::Outcome m_outcome = CReportComparer::Outcome::Cancelled; // the worker's until joined
};
