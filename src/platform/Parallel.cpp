#include "platform/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <vector>

namespace quorix::parallel {
namespace {
std::atomic<size_t> forcedParts{0};

// One part on a thread of its own; where none can be started, the part runs at once in the caller.
class PartThread {
public:
    PartThread(const std::function<void(size_t)>& work, size_t part) : work(work), part(part) {}
    ~PartThread() { Join(); }
    PartThread(const PartThread&) = delete;
    PartThread& operator=(const PartThread&) = delete;

    void Start() {
        thread = system::StartThread(this);
        if (thread == nullptr) {
            Run();
        }
    }
    // Waits for the part; its exception, if it threw.
    std::exception_ptr Join() {
        if (thread != nullptr) {
            system::JoinThread(thread);
            thread = nullptr;
        }
        return failure;
    }
    void Run() {
        try {
            work(part);
        } catch (...) {
            failure = std::current_exception();
        }
    }

private:
    const std::function<void(size_t)>& work;
    size_t part;
    std::exception_ptr failure;
    void* thread = nullptr;
};
} // namespace

void system::RunPart(void* part) {
    static_cast<PartThread*>(part)->Run();
}

size_t PartsFor(size_t items, size_t leastPerPart) {
    if (const size_t forced = forcedParts.load()) {
        return items < forced ? (items > 0 ? items : 1) : forced;
    }
    const size_t processors = system::Processors();
    size_t parts = processors < kMostParts ? processors : kMostParts;
    if (leastPerPart > 0 && items / leastPerPart < parts) {
        parts = items / leastPerPart;
    }
    return parts > 0 ? parts : 1;
}

void ForEachPart(size_t parts, const std::function<void(size_t)>& work) {
    std::vector<std::unique_ptr<PartThread>> others;
    for (size_t part = 1; part < parts; ++part) {
        others.push_back(std::make_unique<PartThread>(work, part));
        others.back()->Start();
    }
    PartThread own(work, 0); // part 0 runs in the caller
    own.Run();
    std::exception_ptr failure = own.Join();
    for (const auto& other : others) {
        const std::exception_ptr thrown = other->Join();
        if (!failure) {
            failure = thrown;
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void Turn::Take() {
    if (!held) {
        system::WaitSemaphore(semaphore);
        held = true;
    }
}

void ForEachChunkInOrder(size_t parts, size_t chunks, const std::function<void(size_t, size_t, Turn&)>& work) {
    // The chunks under way are at most `parts` consecutive ones, so that the chunk c waits on the
    // semaphore c % parts, which the chunk before posts once it has been handed on.
    std::vector<void*> semaphores;
    struct Release {
        std::vector<void*>& semaphores;
        ~Release() {
            for (void* semaphore : semaphores) {
                system::DeleteSemaphore(semaphore);
            }
        }
    } release{semaphores};
    parts = std::min(parts, chunks);
    semaphores.reserve(parts); // so that no semaphore made is lost to a failing push_back
    for (size_t i = 0; i < parts && parts > 1; ++i) {
        semaphores.push_back(system::NewSemaphore());
        if (semaphores.back() == nullptr) {
            semaphores.pop_back();
            parts = 1;
        }
    }
    if (parts <= 1) {
        for (size_t chunk = 0; chunk < chunks; ++chunk) {
            Turn turn(nullptr, true);
            work(0, chunk, turn);
        }
        return;
    }
    std::atomic<size_t> nextChunk{0};
    std::atomic<bool> stopped{false};
    ForEachPart(parts, [&](size_t part) {
        std::exception_ptr failure;
        // A chunk once taken is always handed on, made or not: the next one waits for it.
        for (size_t chunk = nextChunk++; chunk < chunks; chunk = nextChunk++) {
            Turn turn(semaphores[chunk % parts], chunk == 0);
            if (!stopped) {
                try {
                    work(part, chunk, turn);
                } catch (...) {
                    failure = std::current_exception();
                    stopped = true;
                }
            }
            turn.Take();
            if (chunk + 1 < chunks) {
                system::PostSemaphore(semaphores[(chunk + 1) % parts]);
            }
            if (stopped) {
                break;
            }
        }
        if (failure) {
            std::rethrow_exception(failure);
        }
    });
}

ForcedParts::ForcedParts(size_t parts) : previous(forcedParts.exchange(parts)) {}

ForcedParts::~ForcedParts() {
    forcedParts.store(previous);
}
} // namespace quorix::parallel
