// The one thread of the process that calls libsane. Callers hand it work and wait for it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace lumtwain {

class SaneWorker {
  public:
    static SaneWorker& get();
    ~SaneWorker();

    // Runs `f` on the worker and returns its result; runs it at once when called from the worker.
    template <class F>
    auto run(F&& f) -> decltype(f()) {
        if (std::this_thread::get_id() == m_thread.get_id()) return f();
        std::packaged_task<decltype(f())()> task(std::forward<F>(f));
        auto result = task.get_future();
        post([&task] { task(); });
        return result.get();
    }

    // libsane's users (source managers and open devices), counted on the worker.
    int users = 0;
    bool initialised = false;

  private:
    SaneWorker();
    void post(std::function<void()> job);
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_jobs;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace lumtwain
