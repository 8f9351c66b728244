#include "serial/DeviceCloser.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace korvel::serial {

namespace {

// Long enough for any close that is not stuck in a driver's closing wait.
constexpr std::chrono::seconds kExitWait{2};

class Closer {
public:
    bool Close(std::unique_ptr<platform::SerialDevice> device, std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        if (exiting_ || !Started()) {
            lock.unlock();
            device.reset();
            return true;
        }
        queue_.push_back(std::move(device));
        const std::uint64_t mine = ++handed_;
        work_.notify_one();
        return closed_.wait_for(lock, wait, [&] { return closedCount_ >= mine; });
    }

    // At exit: the thread ends once the queue is empty; one still stuck in a
    // close after kExitWait is left to the process's end instead of joined.
    void Finish() {
        std::unique_lock lock(mutex_);
        exiting_ = true;
        work_.notify_one();
        const bool idle =
            closed_.wait_for(lock, kExitWait, [&] { return closedCount_ == handed_; });
        lock.unlock();
        if (!thread_.joinable()) {
            return;
        }
        if (idle) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }

private:
    // Called with the lock held.
    bool Started() {
        if (thread_.joinable()) {
            return true;
        }
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return !queue_.empty() || exiting_; });
            if (queue_.empty()) {
                return;
            }
            std::unique_ptr<platform::SerialDevice> device = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            device.reset();
            lock.lock();
            ++closedCount_;
            closed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable closed_;
    std::deque<std::unique_ptr<platform::SerialDevice>> queue_;
    std::uint64_t handed_ = 0;
    std::uint64_t closedCount_ = 0;
    bool exiting_ = false;
    std::thread thread_;
};

struct ExitGuard {
    Closer& closer;
    ~ExitGuard() { closer.Finish(); }
};

Closer& TheCloser() {
    // Never destroyed: a close still running at exit goes on using it, and a
    // component destroyed after the guard still finds it (and closes inline).
    static Closer* const closer = new Closer;
    static const ExitGuard guard{*closer};
    return *closer;
}

} // namespace

bool CloseDevice(std::unique_ptr<platform::SerialDevice> device, std::chrono::milliseconds wait) {
    if (!device) {
        return true;
    }
    return TheCloser().Close(std::move(device), wait);
}

} // namespace korvel::serial
