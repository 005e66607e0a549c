#include "CatalogueThread.h"

#include "CatalogueDigests.h"
#include "UiText.h"

#include <QMetaObject>

CCatalogueThread::CCatalogueThread(std::string databasePath, QObject* parent)
    : QObject(parent), m_strPath(std::move(databasePath)),       m_pCatalogue(std::make_unique<CCatalogue>(m_strPath, &CatalogueDigests::FromManifest)) {
    qRegisterMetaType<CFindAnswer>();
    qRegisterMetaType<std::vector<CSourceInfo>>();
    connect(this, &CCatalogueThread::AnswersWaiting, this, &CCatalogueThread::EmitAnswers, Qt::QueuedConnection);
}

CCatalogueThread::~CCatalogueThread() {
    m_nLatestFind = ~quint64(0);
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_pCatalogue->Cancel();
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join(); // waits for the job that runs; the queued ones are dropped
    }
}

void CCatalogueThread::Post(std::function<void()> job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { Run(); });
        }
    }
    m_wake.notify_one();
}

void CCatalogueThread::Run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStop || !m_jobs.empty(); });
            if (m_bStop) {
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        // Whatever the catalogue throws ends this job, not the program.
        try {
            job();
        } catch (const std::exception& failure) {
            const QString text = Text(IDS_FIND_FAILED).replace(QLatin1String("%s"), QString::fromUtf8(failure.what()));
            Deliver([this, text] { emit Warning(text); });
        } catch (...) {
            const QString text = Text(IDS_FIND_FAILED).replace(QLatin1String("%s"), QStringLiteral("?"));
            Deliver([this, text] { emit Warning(text); });
        }
    }
}

void CCatalogueThread::Deliver(std::function<void()> answer) {
    {
        std::lock_guard lock(m_mutex);
        m_answers.push_back(std::move(answer));
    }
    emit AnswersWaiting();
}

void CCatalogueThread::EmitAnswers() {
    std::deque<std::function<void()>> answers;
    {
        std::lock_guard lock(m_mutex);
        answers.swap(m_answers);
    }
    for (const auto& answer : answers) {
        answer();
    }
}

bool CCatalogueThread::EnsureOpen() {
    if (!m_bOpened) {
        m_bOpened = m_pCatalogue->Open(true);
        if (!m_bOpened) {
            const QString text = Text(IDS_FIND_FAILED).replace(QLatin1String("%s"), ToQString(m_pCatalogue->LastError()));
            Deliver([this, text] { emit Warning(text); });
        }
    }
    return m_bOpened;
}

void CCatalogueThread::ReportWarnings(bool ok) {
    if (!ok) {
        const QString text = Text(IDS_CATALOGUE_WARNING).replace(QLatin1String("%s"), ToQString(m_pCatalogue->LastError()));
        Deliver([this, text] { emit Warning(text); });
    }
    for (const std::string& warning : m_pCatalogue->TakeWarnings()) {
        const QString text = Text(IDS_CATALOGUE_WARNING).replace(QLatin1String("%s"), ToQString(warning));
        Deliver([this, text] { emit Warning(text); });
    }
}

void CCatalogueThread::Find(quint64 generation, const CFindQuery& query, std::size_t offset, std::size_t count,
                            std::optional<FindHitField> sort, bool descending) {
    m_nLatestFind = generation;
    {
        // Stops the older Find only: under the lock it cannot have ended and
        // given way to the next job meanwhile.
        std::lock_guard lock(m_mutex);
        if (m_nRunningFind != 0) {
            m_pCatalogue->Cancel();
        }
    }
    Post([this, generation, query, offset, count, sort, descending] {
        if (generation != m_nLatestFind || !EnsureOpen()) {
            return;
        }
        CFindAnswer answer;
        answer.m_nGeneration = generation;
        answer.m_nOffset = sort ? 0 : offset;
        answer.m_sort = sort;
        answer.m_bDescending = descending;
        {
            std::lock_guard lock(m_mutex);
            m_nRunningFind = generation;
        }
        // Grouping a large catalogue for its copy counts takes seconds: unless
        // the order or the filter needs them, the hits come first and their
        // counts after.
        const bool countsLater = query.m_bCopies && query.m_kinds != FindKinds::OneMediumOnly &&
                                 sort != FindHitField::Copies && !m_pCatalogue->CopiesReady();
        CFindQuery asked = query;
        asked.m_bCopies = query.m_bCopies && !countsLater;
        answer.m_result = sort ? m_pCatalogue->Find(asked, kSortLimit) : m_pCatalogue->Find(asked, count, offset);
        {
            std::lock_guard lock(m_mutex);
            m_nRunningFind = 0;
        }
        if (answer.m_result.m_bCancelled || generation != m_nLatestFind) {
            return;
        }
        if (answer.m_result.m_bFailed) {
            answer.m_strError = m_pCatalogue->LastError();
        }
        std::vector<CFindHit>& hits = answer.m_result.m_arrHits;
        if (sort) {
            if (answer.m_result.m_nTotal <= kSortLimit) {
                SortFindHits(hits, *sort, descending);
            } else {
                answer.m_sort.reset();
                hits.resize(std::min(hits.size(), count));
            }
        }
        for (const std::string& warning : m_pCatalogue->TakeWarnings()) {
            const QString text = Text(IDS_CATALOGUE_WARNING).replace(QLatin1String("%s"), ToQString(warning));
            Deliver([this, text] { emit Warning(text); });
        }
        std::vector<std::pair<std::string, std::uint64_t>> places;
        if (countsLater) {
            for (const CFindHit& hit : hits) {
                places.emplace_back(hit.m_bFolder ? std::string() : hit.m_strReport, hit.m_nLine);
            }
        }
        const std::size_t firstRow = answer.m_nOffset;
        Deliver([this, answer = std::move(answer)] { emit Found(answer); });
        if (countsLater && generation == m_nLatestFind) {
            std::vector<std::uint32_t> copies = m_pCatalogue->CopiesOf(places);
            Deliver([this, generation, firstRow, copies = std::move(copies)] {
                emit CopiesFound(generation, firstRow, copies);
            });
        }
    });
}

CCatalogue::ReadProgressFn CCatalogueThread::ReadProgress() {
    return [this](std::size_t done, std::size_t total) {
        if (done < total) {
            Deliver([this, done, total] { emit Progress(static_cast<int>(done), static_cast<int>(total)); });
        }
    };
}

void CCatalogueThread::Add(const std::vector<std::string>& paths) {
    Post([this, paths] {
        if (!EnsureOpen()) {
            return;
        }
        Deliver([this] { emit Progress(0, 1); });
        ReportWarnings(m_pCatalogue->AddPaths(paths, ReadProgress()));
        Deliver([this] { emit Progress(1, 1); });
        Deliver([this, sources = m_pCatalogue->Sources()] { emit SourcesChanged(sources); });
    });
}

void CCatalogueThread::Remove(const std::vector<std::string>& paths) {
    Post([this, paths] {
        if (EnsureOpen()) {
            ReportWarnings(m_pCatalogue->Remove(paths));
            Deliver([this, sources = m_pCatalogue->Sources()] { emit SourcesChanged(sources); });
        }
    });
}

void CCatalogueThread::Refresh() {
    Post([this] {
        if (EnsureOpen()) {
            Deliver([this] { emit Progress(0, 1); });
            ReportWarnings(m_pCatalogue->Refresh(true, ReadProgress()));
            Deliver([this] { emit Progress(1, 1); });
            Deliver([this, sources = m_pCatalogue->Sources()] { emit SourcesChanged(sources); });
        }
    });
}

void CCatalogueThread::ListSources() {
    Post([this] {
        if (EnsureOpen()) {
            Deliver([this, sources = m_pCatalogue->Sources()] { emit SourcesChanged(sources); });
        }
    });
}

void CCatalogueThread::Register(const std::string& reportPath, const std::string& logText,
                                const std::string& manifestPath) {
    Post([this, reportPath, logText, manifestPath] {
        if (!m_bOpened) {
            m_bOpened = m_pCatalogue->Open(true);
        }
        if (!m_bOpened || !m_pCatalogue->RegisterReport(reportPath, logText) ||
            !m_pCatalogue->RegisterManifest(reportPath, manifestPath)) {
            const QString text =
                Text(IDS_CATALOGUE_NOT_ADDED).replace(QLatin1String("%s"), ToQString(m_pCatalogue->LastError()));
            Deliver([this, text] { emit NotRegistered(text); });
        }
    });
}
