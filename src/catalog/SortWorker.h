#pragma once

#include <chrono>
#include <functional>
#include <thread>

class CCatalogSession;

// Runs the sort of a directory listing on a thread of its own. The thread
// touches nothing but the order of the session's records and lines, waits
// out a minimum display time when the sort was quicker than that, and then
// calls the completion callback on its own thread. If no thread can be
// started, the sort runs on the calling thread, without the minimum time,
// and completes the same way (the callback then runs inside Start).
class CSortWorker {
public:
    CSortWorker() = default;
    ~CSortWorker() { Join(); }
    CSortWorker(const CSortWorker&) = delete;
    CSortWorker& operator=(const CSortWorker&) = delete;

    void Start(CCatalogSession& session, std::chrono::milliseconds minimumTime, std::function<void()> onDone);

    // Waits for the thread to end (it has ended or is ending once onDone ran).
    void Join();

    // Test seam: pretend that no thread can be started.
    bool m_bFailThreadStart = false;

private:
    static void Run(CCatalogSession& session, std::chrono::milliseconds minimumTime,
                    const std::function<void()>& onDone);
    std::thread m_thread;
};
