#include "Batch.h"

#include "Converter.h"
#include "Findings.h"
#include "ByteText.h"
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

// The folder of a file's import: its order name, with every control byte and every byte outside a valid
// UTF-8 sequence turned into '-' as well, so that no folder name holds a byte that a terminal or a
// tab-separated line would take for something else.
std::string FolderNameOf(const std::string& file) {
    const std::string name = Converter::FullOrderName(file);
    std::string folder;
    for (size_t i = 0; i < name.size();) {
        const size_t length = Utf8SequenceLength(name, i);
        const auto byte = static_cast<unsigned char>(name[i]);
        if (length == 0 || byte < 0x20 || byte == 0x7F) {
            folder += '-';
            ++i;
        } else {
            folder.append(name, i, length);
            i += length;
        }
    }
    return folder;
}

void ConvertOne(FileJob& job, const std::string& outputDir, const CommandLine& line) try {
    const Converter converter(Converter::JoinPath(outputDir, job.name));
    ConvertOptions options;
    options.verbose = line.verbose;
    job.result = converter.Convert(InputFile::Open(job.file, line.streamName), options);
} catch (const std::exception& error) {
    // On a worker thread: the file fails, the batch goes on.
    job.result.errors.push_back(std::string("internal error: ") + error.what());
    job.result.exitCode = kExitSoftware;
}

// The progress line on a terminal: drawn whenever a file is done, cleared while a file's lines are printed,
// and left standing at "N of N" when every file is done.
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
    void Finish() {
        if (shown) {
            Show(total);
            std::fputs("\n", stderr);
        }
    }

private:
    size_t total;
    bool shown;
};

void Report(const FileJob& job, bool verbose) {
    for (const std::string& message : MessagesOf(job.result, verbose)) {
        PrintMessage(job.file, message);
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
    const std::string outputDir = line.outputDir.empty() ? "." : line.outputDir;
    std::map<std::string, std::string> fileOfName;
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].file = line.files[i];
        jobs[i].name = FolderNameOf(line.files[i]);
        if (jobs[i].name.empty()) {
            PrintMessage(jobs[i].file, "no file name to name its output folder after");
            return kExitUsage;
        }
        const auto [known, added] = fileOfName.emplace(jobs[i].name, jobs[i].file);
        if (!added) {
            std::fprintf(stderr, "quorix-import: %s and %s would both be written into %s\n",
                         Escaped(known->second).c_str(), Escaped(jobs[i].file).c_str(),
                         Escaped(Converter::JoinPath(outputDir, jobs[i].name)).c_str());
            return kExitUsage;
        }
    }
    // The output folder once, before any file: a folder that cannot be made fails the batch at once.
    std::vector<std::string> createdFolders;
    if (const int error = MakeFolders(outputDir, createdFolders)) {
        std::fprintf(stderr, "quorix-import: %s: cannot create folder: %s\n", Escaped(outputDir).c_str(),
                     FileErrorText(error).c_str());
        return kExitCannotCreate;
    }

    // The mutex guards the jobs, the count of files done and standard error while the progress line stands.
    std::mutex mutex;
    std::condition_variable finished;
    Progress progress(jobs.size(), jobs.size() > kFilesWithoutProgress && isatty(STDERR_FILENO) == 1);
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
                ConvertOne(job, outputDir, line);
                // A file that the stop cut short gets no line, like the files after it.
                job.skipped = StopSignal() != 0 && job.result.exitCode != kExitOk;
            }
            {
                const std::lock_guard<std::mutex> lock(mutex);
                job.done = true;
                jobs[i] = std::move(job);
                progress.Show(++completed); // every file counted as it is done, by the thread that did it
            }
            finished.notify_all();
        }
    };
    const size_t threadCount = std::min(jobs.size(), static_cast<size_t>(line.jobs));
    std::vector<std::thread> threads;
    for (size_t t = 0; t < threadCount; ++t) {
        threads.emplace_back(work);
    }

    int exitCode = kExitOk;
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
                // Woken now and then to see a stop signal, which wakes no one.
                finished.wait_for(lock, std::chrono::milliseconds(100));
            }
            job = std::move(slot);
            if (job.skipped) {
                continue; // stopped: the files not converted get no line
            }
            // The file's lines go above the progress line, which is drawn again below them.
            progress.Clear();
            Report(job, line.verbose);
            progress.Show(completed);
        }
        exitCode = MoreSeriousExitCode(exitCode, job.result.exitCode);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (StopSignal() != 0) {
        progress.Clear();
    } else {
        progress.Finish();
    }
    return exitCode;
}
