#include "ChecksumRun.h"

#include "DropChecksums.h"

#include <QEventLoop>

#include <new>
#include <thread>

CChecksumRun::CChecksumRun(CDropChecksums& checksums, ProgressFn progress)
    : m_checksums(checksums), m_progress(std::move(progress)) {}

bool CChecksumRun::Exec() {
    QEventLoop loop;
    connect(this, &CChecksumRun::ProgressPosted, this, [this](int percent) { m_progress(percent); },
            Qt::QueuedConnection);
    connect(this, &CChecksumRun::Finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    bool finished = false; // the worker's until it is joined
    int posted = -1;       // the worker's alone: its progress calls never overlap
    std::thread worker([&] {
        // Whatever the hashing throws ends these checksums, not the program.
        try {
            finished = m_checksums.Run([&](int percent) {
                if (percent != posted) {
                    posted = percent;
                    emit ProgressPosted(percent);
                }
            });
        } catch (const std::bad_alloc&) {
            m_strFailure = "out of memory";
        } catch (const std::exception& failure) {
            m_strFailure = failure.what();
        } catch (...) {
            m_strFailure = "an unexpected error";
        }
        emit Finished();
    });
    loop.exec();
    worker.join();
    return finished;
}

void CChecksumRun::Cancel() { m_checksums.Cancel(); }
