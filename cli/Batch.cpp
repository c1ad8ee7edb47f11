#include "Batch.h"

#include "Converter.h"
#include "StandardOutput.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <pthread.h>
#include <signal.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
// More files than this show a progress line.
constexpr size_t kFilesWithoutProgress = 4;

struct FileJob {
    std::string file;
    std::string name; // the file's folder below the output folder
    Conversion result;
    bool done = false;
    bool skipped = false; // not converted: a stop signal came first
};

const char* KindName(ImportKind kind) {
    switch (kind) {
    case ImportKind::LayY:
        return "lay";
    case ImportKind::Marker:
        return "marker";
    default:
        return "-";
    }
}

void ConvertOne(FileJob& job, const CommandLine& line) try {
    ConvertOptions options;
    options.verbose = line.verbose;
    const Converter converter(Converter::JoinPath(line.outputDir, job.name), true);
    job.result = converter.Convert(InputFile::Open(job.file, line.streamName), options);
} catch (const std::exception& error) {
    // On a worker thread: the file fails, the batch goes on.
    job.result.errors.push_back(std::string("internal error: ") + error.what());
    job.result.exitCode = kExitSoftware;
}

class Progress {
public:
    Progress(size_t total, bool shown) : total(total), shown(shown) {}
    void Show(size_t completed) {
        if (shown) {
            std::fprintf(stderr, "\r\033[Kquorix-import: %zu of %zu files converted", completed, total);
            std::fflush(stderr);
        }
    }
    void Clear() {
        if (shown) {
            std::fputs("\r\033[K", stderr);
        }
    }

private:
    size_t total;
    bool shown;
};

void Report(const FileJob& job) {
    for (const std::string& line : job.result.diagnostics) {
        std::fprintf(stderr, "quorix-import: %s: %s\n", job.file.c_str(), line.c_str());
    }
    for (const std::string& error : job.result.errors) {
        std::fprintf(stderr, "quorix-import: %s: %s\n", job.file.c_str(), error.c_str());
    }
    const bool ok = job.result.exitCode == kExitOk;
    const std::string result = ok ? "ok" : "error " + std::to_string(job.result.exitCode);
    // What was written: the definition file's model blocks and the position file's lines.
    const std::string models = ok ? std::to_string(job.result.writing.models) : "-";
    const std::string placements = ok ? std::to_string(job.result.writing.positionLines) : "-";
    WriteOutput(job.name + "\t" + KindName(job.result.reading.kind) + "\t" + models + "\t" + placements + "\t" +
                result + "\n");
    FlushOutput();
}
} // namespace

int RunBatch(const CommandLine& line) {
    std::vector<FileJob> jobs(line.files.size());
    std::map<std::string, std::string> fileOfName;
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].file = line.files[i];
        jobs[i].name = Converter::FullOrderName(line.files[i]);
        if (jobs[i].name.empty()) {
            std::fprintf(stderr, "quorix-import: %s: no file name to name its output folder after\n",
                         jobs[i].file.c_str());
            return kExitUsage;
        }
        const auto [known, added] = fileOfName.emplace(jobs[i].name, jobs[i].file);
        if (!added) {
            std::fprintf(stderr, "quorix-import: %s and %s would both be written into %s\n",
                         known->second.c_str(), jobs[i].file.c_str(),
                         Converter::JoinPath(line.outputDir, jobs[i].name).c_str());
            return kExitUsage;
        }
    }

    std::mutex mutex;
    std::condition_variable finished;
    size_t completed = 0;
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            FileJob job;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                job.file = jobs[i].file;
                job.name = jobs[i].name;
            }
            if (StopSignal() != 0) {
                job.skipped = true;
            } else {
                ConvertOne(job, line);
                // A file that the stop cut short gets no line, like the files after it.
                job.skipped = StopSignal() != 0 && job.result.exitCode != kExitOk;
            }
            {
                const std::lock_guard<std::mutex> lock(mutex);
                job.done = true;
                jobs[i] = std::move(job);
                ++completed;
            }
            finished.notify_all();
        }
    };
    const size_t threadCount = std::min(jobs.size(), static_cast<size_t>(line.jobs));
    std::vector<std::thread> threads;
    for (size_t t = 0; t < threadCount; ++t) {
        threads.emplace_back(work);
    }

    Progress progress(jobs.size(), jobs.size() > kFilesWithoutProgress && isatty(STDERR_FILENO) == 1);
    int exitCode = kExitOk;
    size_t shown = 0;
    bool stopPassedOn = false;
    for (FileJob& slot : jobs) {
        FileJob job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            while (!slot.done) {
                if (StopSignal() != 0 && !stopPassedOn) {
                    // The signal reaches one thread; a worker waiting for a pipe's writer must see it too.
                    for (std::thread& thread : threads) {
                        pthread_kill(thread.native_handle(), StopSignal());
                    }
                    stopPassedOn = true;
                }
                if (completed != shown) {
                    shown = completed;
                    progress.Show(shown);
                }
                // Woken now and then to see a stop signal, which wakes no one.
                finished.wait_for(lock, std::chrono::milliseconds(100));
            }
            job = std::move(slot);
        }
        if (job.skipped) {
            continue; // stopped: the files not converted get no line
        }
        progress.Clear();
        Report(job);
        exitCode = MoreSeriousExitCode(exitCode, job.result.exitCode);
        progress.Show(shown);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    progress.Clear();
    return exitCode;
}
