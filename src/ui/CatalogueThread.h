#pragma once

#include "Catalogue.h"
#include "FindHitOrder.h"

#include <QMetaType>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// What one Find request gave: the hits from m_nOffset on (all of them,
// ordered, when m_sort is set), the exact total and the reports searched.
struct CFindAnswer {
    quint64 m_nGeneration = 0;
    std::size_t m_nOffset = 0;
    std::optional<FindHitField> m_sort;
    bool m_bDescending = false;
    CFindResult m_result;
    std::string m_strError;
};
Q_DECLARE_METATYPE(CFindAnswer)
Q_DECLARE_METATYPE(std::vector<CSourceInfo>)

// The catalogue on a thread of its own, so that no query, read or write of
// it ever waits on the user-interface thread. Requests are queued to that
// thread in the order they are made; answers come back as signals, emitted
// on the thread that created the object (a queued call hands them over).
// Both hand-overs go through queues under one mutex, so everything a job
// or an answer carries is passed with a visible synchronisation.
//
// Threads: the methods are called on the thread that created the object. A newer Find cancels an
// older one that is still running and makes queued older ones answer
// nothing. The thread starts with the first request; the destructor cancels
// what runs and waits for it.
class CCatalogueThread : public QObject {
    Q_OBJECT
public:
    // Up to this many hits are ordered by a column other than Find's own order.
    static constexpr std::size_t kSortLimit = 100000;

    explicit CCatalogueThread(std::string databasePath, QObject* parent = nullptr);
    ~CCatalogueThread() override;

    const std::string& DatabasePath() const { return m_strPath; }

    // A new query (generation larger than any before): its hits from offset
    // on, at most count of them; with sort, every hit (up to kSortLimit) in
    // that order.
    void Find(quint64 generation, const CFindQuery& query, std::size_t offset, std::size_t count,
              std::optional<FindHitField> sort, bool descending);
    // Adds paths and reads their reports, with Progress as each is read.
    void Add(const std::vector<std::string>& paths);
    void Remove(const std::vector<std::string>& paths);
    void Refresh();
    void ListSources();
    // A report just written, remembered cheaply; read at the next Find or
    // refresh. A checksum manifest written with it is remembered with it;
    // without one, the manifest remembered for an earlier report there is forgotten.
    void Register(const std::string& reportPath, const std::string& logText, const std::string& manifestPath = {});

signals:
    void Found(const CFindAnswer& answer);
    // The copy counts of the hits a Found of this generation gave from
    // offset on, when that Found came before the catalogue was grouped.
    void CopiesFound(quint64 generation, std::size_t offset, const std::vector<std::uint32_t>& copies);
    // Reports read so far of those that Add or Refresh reads; done == total at the end.
    void Progress(int done, int total);
    // After Add, Remove and Refresh: the sources as they now stand.
    void SourcesChanged(const std::vector<CSourceInfo>& sources);
    // A failure or a skipped file, one line.
    void Warning(const QString& text);
    // Register failed: why, one line.
    void NotRegistered(const QString& text);
    // Emitted on the catalogue thread when answers wait in the queue; queued
    // to the creating thread, which takes them (EmitAnswers). A queued signal
    // leaves every allocation of the hand-over inside Qt, where the thread
    // checker's view of Qt's own locking is suppressed.
    void AnswersWaiting();

private:
    void Post(std::function<void()> job);
    // Catalogue thread only.
    void Run();
    bool EnsureOpen();
    void ReportWarnings(bool ok);
    // Progress of the reports being read, delivered to the creating thread.
    CCatalogue::ReadProgressFn ReadProgress();
    void Deliver(std::function<void()> answer);
    // The creating thread: emits the answers delivered so far.
    void EmitAnswers();

    std::string m_strPath;
    std::unique_ptr<CCatalogue> m_pCatalogue;
    std::mutex m_mutex; // guards the two queues, m_bStop and m_nRunningFind
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::deque<std::function<void()>> m_answers;
    bool m_bStop = false;
    std::thread m_thread; // started by the first request
    std::atomic<quint64> m_nLatestFind{0};
    quint64 m_nRunningFind = 0; // the generation of the Find running now, or 0
    bool m_bOpened = false; // catalogue thread only
};
