#pragma once

#include <QObject>

// Work on a std::thread of its own that a progress window follows: its
// progress and its end are signalled on the thread that made the object,
// and Cancel() asks it to stop.
class CBackgroundRun : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void Cancel() = 0;

signals:
    // Queued from the worker: 0..100, rising.
    void ProgressPosted(int percent);
    // After the worker has been joined: the results may be read.
    void Finished();
};
