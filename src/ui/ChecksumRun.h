#pragma once

#include <QObject>

#include <functional>
#include <string>

class CDropChecksums;

// Runs a drop's checksums on a worker thread while the caller's thread keeps
// handling events (the window paints, Cancel can be clicked) in a local
// event loop. Progress arrives on the caller's thread.
class CChecksumRun : public QObject {
    Q_OBJECT
public:
    using ProgressFn = std::function<void(int percent)>;

    CChecksumRun(CDropChecksums& checksums, ProgressFn progress);

    // Blocks (handling events) until the checksums are done; false when
    // cancelled or when they failed (Failure() says why).
    bool Exec();
    // After Exec(): what the checksums threw, or empty.
    const std::string& Failure() const { return m_strFailure; }
    // The caller's thread, while Exec() runs.
    void Cancel();

signals:
    // Emitted on the worker thread and queued to the caller's, so the
    // hand-over's allocations stay inside Qt.
    void ProgressPosted(int percent);
    void Finished();

private:
    CDropChecksums& m_checksums;
    ProgressFn m_progress;
    std::string m_strFailure; // the worker's until it is joined
};
