#include "Batch.h"

#include "Converter.h"
#include "Inspection.h"
#include "platform/RawFile.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
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
    std::vector<std::string> diagnostics;
    ConversionResult result;
    std::string models = "-";
    std::string placements = "-";
    bool done = false;
};

std::string ReadWhole(const std::string& path) {
    std::string bytes;
    RawFile file;
    if (file.OpenForReading(path)) {
        char buffer[65536];
        for (size_t got; (got = file.Read(buffer, sizeof buffer)) > 0;) {
            bytes.append(buffer, got);
        }
    }
    return bytes;
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

const char* KindName(ImportOutcome::Kind kind) {
    switch (kind) {
    case ImportOutcome::Kind::LayY:
        return "lay";
    case ImportOutcome::Kind::Marker:
        return "marker";
    default:
        return "-";
    }
}

void ConvertOne(FileJob& job, const std::string& outputDir, bool verbose) try {
    if (verbose) {
        job.diagnostics = Inspect(job.file, false).diagnostics;
    }
    const Converter converter(Converter::JoinPath(outputDir, job.name), true);
    job.result = converter.Convert(job.file);
    if (job.result.exitCode == kExitOk) {
        // What was written: the definition file's model blocks and the position file's lines.
        const std::string folder = converter.OutputDir();
        job.models = std::to_string(
            CountOf(ReadWhole(Converter::JoinPath(folder, ImportPaths::kDefinitionFileName)), "=:model\r\n"));
        job.placements = std::to_string(
            CountOf(ReadWhole(Converter::JoinPath(folder, ImportPaths::kPositionFileName)), "\n"));
    }
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
    for (const std::string& line : job.diagnostics) {
        std::fprintf(stderr, "quorix-import: %s: %s\n", job.file.c_str(), line.c_str());
    }
    for (const std::string& error : job.result.errors) {
        std::fprintf(stderr, "quorix-import: %s: %s\n", job.file.c_str(), error.c_str());
    }
    const std::string result =
        job.result.exitCode == kExitOk ? "ok" : "error " + std::to_string(job.result.exitCode);
    std::printf("%s\t%s\t%s\t%s\t%s\n", job.name.c_str(), KindName(job.result.kind), job.models.c_str(),
                job.placements.c_str(), result.c_str());
    std::fflush(stdout);
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
            ConvertOne(job, line.outputDir, line.verbose);
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
    for (FileJob& slot : jobs) {
        FileJob job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            while (!slot.done) {
                if (completed != shown) {
                    shown = completed;
                    progress.Show(shown);
                }
                finished.wait(lock);
            }
            job = std::move(slot);
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
