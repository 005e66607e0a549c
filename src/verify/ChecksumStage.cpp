#include "ChecksumStage.h"

#include "SequentialReader.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

namespace {

struct CReadBuffer {
    std::unique_ptr<unsigned char[]> m_data;
    std::size_t m_nLength = 0;
};

// A file from its opening until its hash is done.
struct CHashJob {
    std::size_t m_nFile = 0;   // index into the files
    std::size_t m_nDevice = 0; // index into the devices
    CSequentialReader m_reader; // used by the device's reader, outside the lock
    std::deque<std::unique_ptr<CReadBuffer>> m_arrQueue; // read, not yet hashed
    bool m_bReadDone = false; // no more buffers come
    bool m_bClaimed = false;  // a hasher owns it
    int m_nError = 0;
};

struct CDeviceQueue {
    std::vector<std::size_t> m_arrFiles; // in report order
    std::size_t m_nNext = 0;             // first file not yet opened
    std::vector<CHashJob*> m_arrReading; // opened and not at their end, oldest first
    // Buffers queued plus jobs not yet hashed: what this device holds in memory.
    std::size_t m_nInFlight = 0;
};

} // namespace

struct CChecksumStage::CState {
    CState(const std::vector<CChecksumFile>& files, std::vector<CChecksumResult>& results,
           const CChecksumLimits& limits)
        : m_files(files), m_results(results), m_limits(limits) {}

    void Prepare();
    void ReaderLoop(std::size_t device);
    void HasherLoop();
    void AddProgress(std::uint64_t bytes);
    std::unique_ptr<CReadBuffer> TakeBuffer();

    const std::vector<CChecksumFile>& m_files;
    std::vector<CChecksumResult>& m_results;
    const CChecksumLimits& m_limits;
    unsigned m_nHashers = 1;
    unsigned m_nStreams = 1; // files read at once per device, at most
    std::size_t m_nCap = 0;  // m_nInFlight limit per device

    std::mutex m_mutex; // guards everything below but the atomics
    std::condition_variable m_readerWake;
    std::condition_variable m_hasherWake;
    std::vector<CDeviceQueue> m_arrDevices;
    std::list<std::unique_ptr<CHashJob>> m_arrJobs; // opened, not yet hashed, in opening order
    std::vector<std::unique_ptr<CReadBuffer>> m_arrFree;
    std::size_t m_nReadersLeft = 0;
    std::atomic<bool> m_bCancel{false};

    ProgressFn m_progress;
    std::uint64_t m_nTotal = 0;
    std::atomic<std::uint64_t> m_nDone{0};
    std::atomic<int> m_nReported{-1};
    std::mutex m_progressMutex; // one progress call at a time
};

void CChecksumStage::CState::Prepare() {
    m_nHashers = m_limits.m_nHashers != 0 ? m_limits.m_nHashers : std::max(1u, std::thread::hardware_concurrency());
    // Four SHA-256 streams take about 7 GB/s, what the fastest disks give.
    m_nStreams = std::min(m_nHashers, 4u);
    m_nCap = m_nStreams * (std::max<std::size_t>(1, m_limits.m_nBuffersPerFile) + 1);
    std::vector<dev_t> ids;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const auto found = std::find(ids.begin(), ids.end(), m_files[i].m_nDevice);
        const auto device = static_cast<std::size_t>(found - ids.begin());
        if (found == ids.end()) {
            ids.push_back(m_files[i].m_nDevice);
            m_arrDevices.emplace_back();
        }
        m_arrDevices[device].m_arrFiles.push_back(i);
        m_nTotal += m_files[i].m_nSize;
    }
    m_nReadersLeft = m_arrDevices.size();
}

std::unique_ptr<CReadBuffer> CChecksumStage::CState::TakeBuffer() {
    if (!m_arrFree.empty()) {
        auto buffer = std::move(m_arrFree.back());
        m_arrFree.pop_back();
        return buffer;
    }
    auto buffer = std::make_unique<CReadBuffer>();
    buffer->m_data = std::make_unique_for_overwrite<unsigned char[]>(m_limits.m_nBufferBytes);
    return buffer;
}

void CChecksumStage::CState::ReaderLoop(std::size_t deviceIndex) {
    CDeviceQueue& device = m_arrDevices[deviceIndex];
    const std::size_t perFile = std::max<std::size_t>(1, m_limits.m_nBuffersPerFile);
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_bCancel) {
            break;
        }
        // The oldest file being read that may take a buffer. A hasher waiting
        // on an empty file is served beyond the cap, so that the hashers can
        // never all wait while the device's memory is held by other files.
        CHashJob* job = nullptr;
        for (CHashJob* reading : device.m_arrReading) {
            const bool room = reading->m_arrQueue.size() < perFile && device.m_nInFlight < m_nCap;
            if (room || (reading->m_bClaimed && reading->m_arrQueue.empty())) {
                job = reading;
                break;
            }
        }
        const bool more = device.m_nNext < device.m_arrFiles.size();
        if (job == nullptr && more && device.m_arrReading.size() < m_nStreams && device.m_nInFlight < m_nCap) {
            // Every file being read is full (or none is): open the next one.
            auto opened = std::make_unique<CHashJob>();
            opened->m_nFile = device.m_arrFiles[device.m_nNext++];
            opened->m_nDevice = deviceIndex;
            ++device.m_nInFlight;
            lock.unlock();
            const int error = opened->m_reader.Open(m_files[opened->m_nFile].m_strOpenPath);
            lock.lock();
            if (error != 0) {
                opened->m_nError = error;
                opened->m_bReadDone = true;
                m_hasherWake.notify_all();
            } else {
                device.m_arrReading.push_back(opened.get());
            }
            m_arrJobs.push_back(std::move(opened));
            continue;
        }
        if (job == nullptr) {
            if (!more && device.m_arrReading.empty()) {
                break; // every file of the device has been read
            }
            m_readerWake.wait(lock);
            continue;
        }
        auto buffer = TakeBuffer();
        ++device.m_nInFlight;
        lock.unlock();
        // Only this thread touches the job's reader.
        std::size_t length = 0;
        const int error = job->m_reader.Read(buffer->m_data.get(), m_limits.m_nBufferBytes, length);
        if (error != 0 || length == 0) {
            job->m_reader.Close();
        }
        lock.lock();
        if (error != 0 || length == 0) {
            --device.m_nInFlight;
            m_arrFree.push_back(std::move(buffer));
            job->m_nError = error;
            job->m_bReadDone = true;
            std::erase(device.m_arrReading, job);
        } else {
            buffer->m_nLength = length;
            job->m_arrQueue.push_back(std::move(buffer));
        }
        m_hasherWake.notify_all();
    }
    --m_nReadersLeft;
    m_hasherWake.notify_all();
}

void CChecksumStage::CState::AddProgress(std::uint64_t bytes) {
    const std::uint64_t done = m_nDone.fetch_add(bytes) + bytes;
    if (!m_progress || m_nTotal == 0) {
        return;
    }
    const int percent = static_cast<int>(std::min<std::uint64_t>(100, done * 100 / m_nTotal));
    if (percent > m_nReported.load()) {
        std::lock_guard lock(m_progressMutex);
        if (percent > m_nReported.load()) {
            m_nReported = percent;
            m_progress(percent);
        }
    }
}

void CChecksumStage::CState::HasherLoop() {
    CSha256 sha;
    std::unique_lock lock(m_mutex);
    for (;;) {
        CHashJob* job = nullptr;
        while (!m_bCancel) {
            for (const auto& candidate : m_arrJobs) {
                if (!candidate->m_bClaimed && (candidate->m_bReadDone || !candidate->m_arrQueue.empty())) {
                    job = candidate.get();
                    break;
                }
            }
            if (job != nullptr) {
                break;
            }
            const bool unclaimed = std::any_of(m_arrJobs.begin(), m_arrJobs.end(),
                                               [](const auto& candidate) { return !candidate->m_bClaimed; });
            if (m_nReadersLeft == 0 && !unclaimed) {
                return;
            }
            m_hasherWake.wait(lock);
        }
        if (m_bCancel) {
            return;
        }
        job->m_bClaimed = true;
        CDeviceQueue& device = m_arrDevices[job->m_nDevice];
        std::uint64_t hashed = 0;
        for (;;) {
            m_hasherWake.wait(lock, [&] { return m_bCancel || job->m_bReadDone || !job->m_arrQueue.empty(); });
            if (m_bCancel) {
                return;
            }
            if (job->m_arrQueue.empty()) {
                break; // read to its end, or failed
            }
            auto buffer = std::move(job->m_arrQueue.front());
            job->m_arrQueue.pop_front();
            // Asks for the next buffer before hashing this one.
            m_readerWake.notify_all();
            lock.unlock();
            sha.Update(buffer->m_data.get(), buffer->m_nLength);
            hashed += buffer->m_nLength;
            AddProgress(buffer->m_nLength);
            lock.lock();
            --device.m_nInFlight;
            m_arrFree.push_back(std::move(buffer));
        }
        const Sha256Digest digest = sha.Final();
        CChecksumResult& result = m_results[job->m_nFile];
        result.m_nError = job->m_nError;
        result.m_digest = job->m_nError == 0 ? digest : Sha256Digest{};
        const std::uint64_t size = m_files[job->m_nFile].m_nSize;
        --device.m_nInFlight;
        m_arrJobs.remove_if([job](const auto& candidate) { return candidate.get() == job; });
        m_readerWake.notify_all();
        if (size > hashed) {
            lock.unlock();
            AddProgress(size - hashed); // a failed or shrunken file counts as done
            lock.lock();
        }
    }
}

CChecksumStage::CChecksumStage(std::vector<CChecksumFile> files, CChecksumLimits limits)
    : m_arrFiles(std::move(files)), m_arrResults(m_arrFiles.size()), m_limits(limits),
      m_state(std::make_unique<CState>(m_arrFiles, m_arrResults, m_limits)) {}

CChecksumStage::~CChecksumStage() = default;

void CChecksumStage::Cancel() {
    std::lock_guard lock(m_state->m_mutex);
    m_state->m_bCancel = true;
    m_state->m_readerWake.notify_all();
    m_state->m_hasherWake.notify_all();
}

bool CChecksumStage::Run(const ProgressFn& progress) {
    CState& state = *m_state;
    state.m_progress = progress;
    for (CChecksumResult& result : m_arrResults) {
        result = CChecksumResult{{}, ECANCELED};
    }
    state.Prepare();
    {
        std::vector<std::jthread> threads; // joined at the end of this block
        try {
            for (std::size_t device = 0; device < state.m_arrDevices.size(); ++device) {
                threads.emplace_back([&state, device] { state.ReaderLoop(device); });
            }
            for (unsigned i = 0; i < state.m_nHashers; ++i) {
                threads.emplace_back([&state] { state.HasherLoop(); });
            }
        } catch (...) {
            Cancel(); // the threads already started stop, and are joined
            throw;
        }
    }
    if (state.m_bCancel) {
        return false;
    }
    if (progress && state.m_nReported.load() < 100) {
        progress(100);
    }
    return true;
}
