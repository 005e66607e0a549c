#include "ChecksumRun.h"

#include "DropChecksums.h"

#include <QEventLoop>

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
        finished = m_checksums.Run([&](int percent) {
            if (percent != posted) {
                posted = percent;
                emit ProgressPosted(percent);
            }
        });
        emit Finished();
    });
    loop.exec();
    worker.join();
    return finished;
}

void CChecksumRun::Cancel() { m_checksums.Cancel(); }
