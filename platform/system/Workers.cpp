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
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>

namespace platform {

namespace {

// What a worker sends for each item: a header, then the answer's bytes.
enum class RecordKind : uint8_t { Started, Answer, Failure };
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
    size_t taken() const { return counter_->load(); }

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
        // The parent hears which item is under way, so that it knows what a
        // worker that dies or hangs was doing.
        const RecordHeader started{static_cast<uint8_t>(RecordKind::Started), index, 0};
        if (!writeAll(fd, &started, sizeof started))
            ::_exit(1);
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

using Clock = std::chrono::steady_clock;

struct Worker {
    pid_t pid = -1;
    int fd = -1; // the read end of its pipe; -1 once it is closed
    std::string received;
    std::optional<size_t> current; // the item under way
    Clock::time_point since;        // when it began
};

// How a worker's process ended, for the item it was working on.
std::string endOf(int status)
{
    if (WIFSIGNALED(status))
        return std::string("its worker process was killed (") + strsignal(WTERMSIG(status)) + ")";
    if (WIFEXITED(status))
        return "its worker process ended with status " + std::to_string(WEXITSTATUS(status));
    return "its worker process ended";
}

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
                // A stopped worker takes no other signal.
                ::kill(worker.pid, SIGKILL);
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

    // Reads what the workers send until every item is answered or lost: a
    // worker that ends or overruns the time limit loses its item, and a new
    // one takes the items left.
    void keep(std::vector<WorkerAnswer>& answers, SharedCounter& counter, size_t count,
              const std::function<std::string(size_t)>& work, unsigned secondsPerItem)
    {
        std::vector<pollfd> polled;
        std::vector<size_t> polledWorker;
        for (;;) {
            polled.clear();
            polledWorker.clear();
            for (size_t w = 0; w < workers.size(); ++w) {
                if (workers[w].fd >= 0) {
                    polled.push_back({workers[w].fd, POLLIN, 0});
                    polledWorker.push_back(w);
                }
            }
            if (polled.empty())
                return;
            if (::poll(polled.data(), polled.size(), secondsPerItem > 0 ? 200 : -1) < 0 && errno != EINTR)
                throw std::runtime_error(std::string("cannot hear from the workers: ") + std::strerror(errno));
            for (size_t p = 0; p < polled.size(); ++p) {
                Worker& worker = workers[polledWorker[p]];
                // Only a pipe with something to read (or closed) is read: a
                // stopped worker sends nothing.
                if (polled[p].revents != 0)
                    readRecords(worker, answers);
                const bool overran = secondsPerItem > 0 && worker.current &&
                                     Clock::now() - worker.since > std::chrono::seconds(secondsPerItem);
                if (worker.fd >= 0 && !overran)
                    continue;
                if (overran)
                    ::kill(worker.pid, SIGKILL);
                int status = 0;
                while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
                }
                worker.pid = -1;
                if (worker.fd >= 0)
                    ::close(worker.fd);
                worker.fd = -1;
                if (worker.current && !answers[*worker.current].answer && answers[*worker.current].lost.empty())
                    answers[*worker.current].lost =
                        overran ? "it took longer than " + std::to_string(secondsPerItem) + " s" : endOf(status);
                worker.current.reset();
                // Items are left: a new worker takes them (the copy of this
                // process as it is now).
                if (counter.taken() < count)
                    start(counter, count, work);
            }
        }
    }

    std::vector<Worker> workers;

private:
    // What a worker has sent so far, into answers; its pipe closed at its end.
    static void readRecords(Worker& worker, std::vector<WorkerAnswer>& answers)
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
            std::string text = worker.received.substr(sizeof header, header.length);
            worker.received.erase(0, sizeof header + header.length);
            if (header.index >= answers.size())
                continue;
            if (header.kind == static_cast<uint8_t>(RecordKind::Started)) {
                worker.current = header.index;
                worker.since = Clock::now();
                continue;
            }
            if (header.kind == static_cast<uint8_t>(RecordKind::Failure))
                answers[header.index].lost = std::move(text);
            else
                answers[header.index].answer = std::move(text);
            worker.current.reset();
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
    for (WorkerAnswer& answer : RunInWorkersKeeping(count, jobs, work, 0)) {
        if (!answer.answer)
            throw std::runtime_error(answer.lost);
        results.push_back(std::move(*answer.answer));
    }
    return results;
}

std::vector<WorkerAnswer> RunInWorkersKeeping(size_t count, unsigned jobs, const std::function<std::string(size_t)>& work,
                                              unsigned secondsPerItem)
{
    std::vector<WorkerAnswer> answers(count);
    if (jobs < 2 || count < 2) {
        for (size_t i = 0; i < count; ++i) {
            try {
                answers[i].answer = work(i);
            } catch (const std::exception& e) {
                answers[i].lost = e.what();
            }
        }
        return answers;
    }
    SharedCounter counter;
    WorkerSet set;
    for (size_t i = 0; i < std::min<size_t>(jobs, count); ++i)
        set.start(counter, count, work);
    set.keep(answers, counter, count, work, secondsPerItem);
    for (WorkerAnswer& answer : answers)
        if (!answer.answer && answer.lost.empty())
            answer.lost = "no worker answered for it";
    return answers;
}

} // namespace platform
