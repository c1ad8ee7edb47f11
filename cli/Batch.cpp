#include "Batch.h"

#include "ByteText.h"
#include "Converter.h"
#include "Findings.h"
#include "Platform.h"
#include "StandardOutput.h"
#include "platform/Parallel.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <exception>
#include <map>
#include <string>
#include <vector>

namespace quorix::cli {

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
    return kind == ImportKind::LayY ? "lay" : kind == ImportKind::Marker ? "marker" : "-";
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
    const Converter converter(platform::JoinPath(outputDir, job.name));
    job.result =
        converter.Convert(InputFile::Open(job.file, line.streamName, line.maxInput), ConvertOptions::Of(line));
} catch (const std::bad_alloc&) {
    // On a worker thread: the file fails, the batch goes on, what the other files hold is kept.
    job.result.exitCode = kExitSoftware;
    job.result.errors.push_back("out of memory");
} catch (const std::exception& error) {
    // On a worker thread: the file fails, the batch goes on.
    job.result.errors.push_back(std::string("internal error: ") + error.what());
    job.result.exitCode = kExitSoftware;
}

// The progress line on a terminal: drawn whenever a file is done, cleared while a file's lines are printed,
// and left standing at "N of N" when every file is done.
class Progress {
public:
    Progress(size_t total, platform::Terminal terminal)
        : total(total), shown(terminal != platform::Terminal::None) {
        // A console without control sequences erases the line by writing blanks over it.
        erase = terminal == platform::Terminal::Plain ? "\r" + std::string(Text(total).size(), ' ') + "\r"
                                                      : "\r\033[K";
    }
    void Show(size_t completed) {
        if (shown) {
            std::fputs((erase + Text(completed)).c_str(), stderr);
            std::fflush(stderr);
        }
    }
    void Clear() {
        if (shown) {
            std::fputs(erase.c_str(), stderr);
        }
    }
    void Finish() {
        if (shown) {
            Show(total);
            std::fputs("\n", stderr);
        }
    }

private:
    std::string Text(size_t completed) const {
        return "quorix-import: " + std::to_string(completed) + " of " + std::to_string(total) +
               " files converted";
    }

    size_t total;
    bool shown;
    std::string erase;
};

void Report(const FileJob& job, const CommandLine& line) {
    PrintMessages(job.file, MessagesOf(job.result, line.verbose, line.quiet));
    const bool ok = job.result.exitCode == kExitOk;
    const std::string result = ok ? "ok" : "error " + std::to_string(job.result.exitCode);
    // What was written: the definition file's model blocks and the position file's lines.
    const std::string models = ok ? std::to_string(job.result.writing.models) : "-";
    const std::string placements = ok ? std::to_string(job.result.writing.positionLines) : "-";
    WriteOutput(job.name + "\t" + KindName(job.result.reading.kind) + "\t" + models + "\t" + placements +
                "\t" + result + "\n");
    FlushOutput();
}
} // namespace

int RunBatch(const CommandLine& line) {
    std::vector<FileJob> jobs(line.files.size());
    const std::string outputDir = line.outputDir.empty() ? "." : line.outputDir;
    std::map<std::string, std::string> fileOfName;
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].file = line.files[i];
        // A stream named by --name (the only FILE then) gets the folder of that name.
        jobs[i].name = FolderNameOf(line.streamName.empty() ? line.files[i] : line.streamName);
        if (jobs[i].name.empty()) {
            PrintMessages(jobs[i].file, {"no file name to name its output folder after"});
            return kExitUsage;
        }
        const auto [known, added] = fileOfName.emplace(jobs[i].name, jobs[i].file);
        if (!added) {
            std::fprintf(stderr, "quorix-import: %s and %s would both be written into %s\n",
                         EscapedPath(known->second).c_str(), EscapedPath(jobs[i].file).c_str(),
                         EscapedPath(platform::JoinPath(outputDir, jobs[i].name)).c_str());
            return kExitUsage;
        }
    }
    // The output folder once, before any file: a folder that cannot be made fails the batch at once.
    std::vector<std::string> createdFolders;
    if (const std::error_code error = platform::MakeFolders(outputDir, createdFolders)) {
        std::fprintf(stderr, "quorix-import: %s: cannot create folder: %s\n", EscapedPath(outputDir).c_str(),
                     ErrorText(error).c_str());
        return kExitCannotCreate;
    }

    // The mutex guards the jobs, the counts, the exit code and both standard streams. Each file's line is
    // printed as soon as it and the lines of all files before it are known, by the thread that made it
    // known.
    parallel::Mutex mutex;
    Progress progress(jobs.size(), jobs.size() > kFilesWithoutProgress ? platform::StandardErrorTerminal()
                                                                       : platform::Terminal::None);
    size_t completed = 0;
    size_t reported = 0;
    int exitCode = kExitOk;
    std::atomic<size_t> next{0};
    const auto work = [&](size_t) {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            FileJob job; // the file and its name are read only, so no other thread touches them
            job.file = jobs[i].file;
            job.name = jobs[i].name;
            if (platform::StopSignal() != 0) {
                job.skipped = true;
            } else {
                ConvertOne(job, outputDir, line);
                // A file that the stop cut short gets no line, like the files after it.
                job.skipped = platform::StopSignal() != 0 && job.result.exitCode != kExitOk;
            }
            const parallel::Mutex::Held held(mutex);
            job.done = true;
            jobs[i] = std::move(job);
            ++completed; // every file counted as it is done, by the thread that did it
            if (reported < jobs.size() && jobs[reported].done) {
                progress.Clear(); // the lines go above the progress line, which is drawn again below them
                for (; reported < jobs.size() && jobs[reported].done; ++reported) {
                    if (!jobs[reported].skipped) { // stopped: the files not converted get no line
                        Report(jobs[reported], line);
                        exitCode = MoreSeriousExitCode(exitCode, jobs[reported].result.exitCode);
                    }
                }
            }
            progress.Show(completed);
        }
    };
    // The threads of the module's own thread layer: standard threads are not there on every platform.
    parallel::ForEachPart(std::min(jobs.size(), static_cast<size_t>(line.jobs)), work);
    if (platform::StopSignal() != 0) {
        progress.Clear();
    } else {
        progress.Finish();
    }
    return exitCode;
}

} // namespace quorix::cli
