#include "ChecksumRun.h"

#include "DropChecksums.h"

#include <QEventLoop>

#include <thread>

CChecksumRun::CChecksumRun(CDropChecksums& checksums, ProgressFn progress)
    : m_checksums(checksums), m_progress(std::move(progress)) {}

bool CChecksumRun::Exec() {
    QEventLoop loop;
    bool finished = false;
    int posted = -1; // the worker's alone: its progress calls never overlap
    std::thread worker([&] {
        finished = m_checksums.Run([&](int percent) {
            if (percent != posted) {
                posted = percent;
                QMetaObject::invokeMethod(this, [this, percent] { m_progress(percent); }, Qt::QueuedConnection);
            }
        });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return finished;
}

void CChecksumRun::Cancel() { m_checksums.Cancel(); }
