#pragma once
// A pseudo-terminal pair for tests: the code under test opens the slave by
// path, the test plays the device from the master.

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvel::testing {

class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        slavePath_ = name;
    }
    ~PtyPair() {
        CloseMaster();
        ::close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }
    // The test's own descriptor on the slave: keeps the pair alive between
    // opens and lets the test read the slave's settings back.
    int slave() const { return slave_; }

    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    void Write(const std::vector<std::uint8_t>& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno != EINTR) {
                throw std::runtime_error("write to pty master failed");
            }
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    }

    // Reads from the master until `count` bytes came or `limit` passed.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds limit) const {
        std::vector<std::uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{master_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            std::uint8_t buffer[4096];
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

} // namespace korvel::testing
