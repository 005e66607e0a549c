#include "SortWorker.h"

#include "CatalogSorter.h"

#include <system_error>

void CSortWorker::Run(CCatalogSession& session, std::chrono::milliseconds minimumTime,
                      const std::function<void()>& onDone) {
    const auto start = std::chrono::steady_clock::now();
    SortCatalogue(session);
    if (std::chrono::steady_clock::now() - start < minimumTime) {
        std::this_thread::sleep_for(minimumTime); // the full time, not the remainder
    }
    onDone();
}

void CSortWorker::Start(CCatalogSession& session, std::chrono::milliseconds minimumTime,
                        std::function<void()> onDone) {
    Join();
    if (!m_bFailThreadStart) {
        try {
            m_thread = std::thread([&session, minimumTime, onDone] { Run(session, minimumTime, onDone); });
            return;
        } catch (const std::system_error&) {
            // no thread to be had: sort here instead
        }
    }
    // No minimum time here: nothing can show a spinner while this thread sorts.
    Run(session, std::chrono::milliseconds(0), onDone);
}

void CSortWorker::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}
