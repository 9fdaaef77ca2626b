// A thread of its own for one job at a time, off the window's thread: the job's result goes to
// a window as a message whose lParam owns it (the window deletes it). The window alone touches
// windows and the shown month.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

template <class Result> class CPostingWorker {
public:
    CPostingWorker(HWND notify, UINT message) : m_p(std::make_shared<Shared>())
    {
        m_p->m_hNotify = notify;
        m_p->m_nMessage = message;
        std::shared_ptr<Shared> p = m_p;  // the thread keeps it alive when it outlives this object
        m_p->m_thread = std::thread([p] {
            for (;;) {
                std::function<Result()> job;
                {
                    std::unique_lock<std::mutex> lock(p->m_mutex);
                    p->m_cv.wait(lock, [&] { return p->m_job || p->m_bStop; });
                    if (p->m_bStop)
                        return;
                    job.swap(p->m_job);
                }
                auto* result = new Result(job());
                p->m_bRunning = false;
                if (!::PostMessageW(p->m_hNotify, p->m_nMessage, 0, reinterpret_cast<LPARAM>(result)))
                    delete result;
            }
        });
    }
    // Waits up to two seconds for a running job, then leaves it to end with the process: the
    // program's files are only ever replaced whole, so a job cut off anywhere loses nothing.
    ~CPostingWorker()
    {
        {
            std::lock_guard<std::mutex> lock(m_p->m_mutex);
            m_p->m_bStop = true;
        }
        m_p->m_cv.notify_all();
        for (int i = 0; i < 40 && m_p->m_bRunning; ++i)
            ::Sleep(50);
        if (m_p->m_bRunning)
            m_p->m_thread.detach();
        else
            m_p->m_thread.join();
    }
    CPostingWorker(const CPostingWorker&) = delete;
    CPostingWorker& operator=(const CPostingWorker&) = delete;

    // Starts job on the thread. False while one runs.
    bool Request(std::function<Result()> job)
    {
        if (m_p->m_bRunning.exchange(true))
            return false;
        {
            std::lock_guard<std::mutex> lock(m_p->m_mutex);
            m_p->m_job = std::move(job);
        }
        m_p->m_cv.notify_all();
        return true;
    }
    bool Running() const { return m_p->m_bRunning; }

private:
    struct Shared {
        HWND m_hNotify = nullptr;
        UINT m_nMessage = 0;
        std::mutex m_mutex;
        std::condition_variable m_cv;
        std::function<Result()> m_job;
        bool m_bStop = false;
        std::atomic<bool> m_bRunning{false};
        std::thread m_thread;
    };
    std::shared_ptr<Shared> m_p;
};
