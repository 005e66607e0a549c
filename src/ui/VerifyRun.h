#pragma once

#include "BackgroundRun.h"
#include "MediumVerifier.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// One check of a folder or medium against a report, on a std::thread of its
// own. That thread first completes the request from the catalogue (the
// report's archive log and its checksum manifest), then runs the verifier.
//
// Threads: the methods are called on the thread that made the object, and
// Finished is emitted there, after the worker has been joined, so the
// results may be read from then on. The destructor cancels a run that is
// still going and waits for it.
class CVerifyRun : public CBackgroundRun {
    Q_OBJECT
public:
    // The request's log and manifest are filled in from the catalogue at
    // catalogueDatabase; what the request already holds is kept otherwise.
    CVerifyRun(std::string catalogueDatabase, CVerifyRequest request, QObject* parent = nullptr);
    ~CVerifyRun() override;

    void Start();
    void Cancel() override;

    // After Finished.
    VerifyOutcome Outcome() const { return m_outcome; }
    // After Finished: what was thrown on the worker (its outcome Unreadable), or empty.
    const std::string& Failure() const { return m_strFailure; }
    // A step the worker runs before each check, where a test makes it throw.
    static void SetStepBeforeCheck(std::function<void()> step);
    // After Finished: the verifier with its account; null when the run was
    // cancelled before the verifier started.
    std::unique_ptr<CMediumVerifier> TakeVerifier();

signals:
    // Queued from the worker when it is about to end; the object joins it
    // and emits Finished.
    void WorkerEnding();

private:
    // Worker thread only.
    void Work();
    void CompleteRequest();
    void OnWorkerEnding();

    std::string m_strDatabase;
    CVerifyRequest m_request; // the worker's once started
    std::thread m_thread;
    std::mutex m_mutex; // guards m_pVerifier's setting and m_bCancelled
    std::unique_ptr<CMediumVerifier> m_pVerifier;
    bool m_bCancelled = false;
    std::atomic<int> m_nPosted{-1}; // the last percent posted
    VerifyOutcome m_outcome = VerifyOutcome::Cancelled; // the worker's until joined
    std::string m_strFailure;                           // the worker's until joined
};
