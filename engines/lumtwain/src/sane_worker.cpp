#include "sane_worker.h"

#include <sane/sane.h>

namespace lumtwain {

SaneWorker& SaneWorker::get() {
    static SaneWorker worker;
    return worker;
}

SaneWorker::SaneWorker() : m_thread([this] { loop(); }) {}

SaneWorker::~SaneWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_one();
    m_thread.join();
}

void SaneWorker::post(std::function<void()> job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_cv.notify_one();
}

void SaneWorker::loop() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_jobs.empty()) break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
    if (initialised) sane_exit();
}

}  // namespace lumtwain
