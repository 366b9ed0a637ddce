#include "Workers.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>

namespace platform {

namespace {

// What a worker sends for each item: a header, then the answer's bytes.
enum class RecordKind : uint8_t { Answer, Failure };
struct RecordHeader {
    uint8_t kind;
    uint64_t index;
    uint64_t length;
};

// The index of the next item to take, in memory the workers share.
class SharedCounter {
public:
    SharedCounter()
    {
        memory_ = ::mmap(nullptr, sizeof(std::atomic<size_t>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                         -1, 0);
        if (memory_ == MAP_FAILED)
            throw std::runtime_error(std::string("cannot share memory with workers: ") + std::strerror(errno));
        counter_ = new (memory_) std::atomic<size_t>(0);
    }
    ~SharedCounter() { ::munmap(memory_, sizeof(std::atomic<size_t>)); }
    SharedCounter(const SharedCounter&) = delete;
    SharedCounter& operator=(const SharedCounter&) = delete;

    size_t take() { return counter_->fetch_add(1); }

private:
    void* memory_ = nullptr;
    std::atomic<size_t>* counter_ = nullptr;
};
static_assert(std::atomic<size_t>::is_always_lock_free, "the counter is shared between processes");

bool writeAll(int fd, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// A worker's life: items until none are left, each answer sent at once.
// Never returns; a failure ends the worker with status 1.
[[noreturn]] void runWorker(int fd, SharedCounter& counter, size_t count,
                            const std::function<std::string(size_t)>& work) noexcept
{
    for (size_t index = counter.take(); index < count; index = counter.take()) {
        std::string answer;
        RecordKind kind = RecordKind::Answer;
        try {
            answer = work(index);
        } catch (const std::exception& e) {
            answer = e.what();
            kind = RecordKind::Failure;
        } catch (...) {
            answer = "unknown error";
            kind = RecordKind::Failure;
        }
        const RecordHeader header{static_cast<uint8_t>(kind), index, answer.size()};
        if (!writeAll(fd, &header, sizeof header) || !writeAll(fd, answer.data(), answer.size()) ||
            kind == RecordKind::Failure)
            ::_exit(1);
    }
    ::_exit(0);
}

struct Worker {
    pid_t pid = -1;
    int fd = -1; // the read end of its pipe; -1 once it is closed
    std::string received;
};

// The workers of one run; those still running when it goes are stopped.
class WorkerSet {
public:
    WorkerSet() = default;
    WorkerSet(const WorkerSet&) = delete;
    WorkerSet& operator=(const WorkerSet&) = delete;
    ~WorkerSet()
    {
        for (Worker& worker : workers) {
            if (worker.fd >= 0)
                ::close(worker.fd);
            if (worker.pid > 0) {
                ::kill(worker.pid, SIGTERM);
                ::waitpid(worker.pid, nullptr, 0);
            }
        }
    }

    void start(SharedCounter& counter, size_t count, const std::function<std::string(size_t)>& work)
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error(std::string("cannot start a worker: ") + std::strerror(errno));
        // Nothing buffered may be written twice, once by each copy.
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid < 0) {
            ::close(ends[0]);
            ::close(ends[1]);
            throw std::runtime_error(std::string("cannot start a worker: ") + std::strerror(errno));
        }
        if (pid == 0) {
            ::close(ends[0]);
            runWorker(ends[1], counter, count, work);
        }
        ::close(ends[1]);
        workers.push_back({pid, ends[0], {}});
    }

    // Reads what the workers send until every one has closed its pipe.
    void collect(std::vector<std::optional<std::string>>& answers, std::string& failure)
    {
        std::vector<pollfd> polled;
        for (;;) {
            polled.clear();
            for (const Worker& worker : workers)
                if (worker.fd >= 0)
                    polled.push_back({worker.fd, POLLIN, 0});
            if (polled.empty())
                return;
            if (::poll(polled.data(), polled.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                throw std::runtime_error(std::string("cannot hear from the workers: ") + std::strerror(errno));
            }
            for (Worker& worker : workers)
                if (worker.fd >= 0)
                    readFrom(worker, answers, failure);
        }
    }

    // Waits for each worker; false when one did not end well.
    bool finish()
    {
        bool allWell = true;
        for (Worker& worker : workers) {
            int status = 0;
            while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
            }
            worker.pid = -1;
            allWell = allWell && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        return allWell;
    }

    std::vector<Worker> workers;

private:
    static void readFrom(Worker& worker, std::vector<std::optional<std::string>>& answers, std::string& failure)
    {
        char buffer[64 * 1024];
        const ssize_t got = ::read(worker.fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (got <= 0) {
            ::close(worker.fd);
            worker.fd = -1;
            return;
        }
        worker.received.append(buffer, static_cast<size_t>(got));
        while (worker.received.size() >= sizeof(RecordHeader)) {
            RecordHeader header{};
            std::memcpy(&header, worker.received.data(), sizeof header);
            if (worker.received.size() - sizeof header < header.length)
                break;
            std::string answer = worker.received.substr(sizeof header, header.length);
            worker.received.erase(0, sizeof header + header.length);
            if (header.kind == static_cast<uint8_t>(RecordKind::Failure))
                failure = std::move(answer);
            else if (header.index < answers.size())
                answers[header.index] = std::move(answer);
        }
    }
};

} // namespace

unsigned CoreCount()
{
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1u;
}

std::vector<std::string> RunInWorkers(size_t count, unsigned jobs, const std::function<std::string(size_t)>& work)
{
    std::vector<std::string> results;
    if (jobs < 2 || count < 2) {
        for (size_t i = 0; i < count; ++i)
            results.push_back(work(i));
        return results;
    }
    SharedCounter counter;
    WorkerSet set;
    for (size_t i = 0; i < std::min<size_t>(jobs, count); ++i)
        set.start(counter, count, work);
    std::vector<std::optional<std::string>> answers(count);
    std::string failure;
    set.collect(answers, failure);
    const bool allWell = set.finish();
    if (!failure.empty())
        throw std::runtime_error(failure);
    const bool complete = std::all_of(answers.begin(), answers.end(), [](const auto& a) { return a.has_value(); });
    if (!allWell || !complete)
        throw std::runtime_error("a worker process ended before its work was done");
    for (std::optional<std::string>& answer : answers)
        results.push_back(std::move(*answer));
    return results;
}

} // namespace platform
