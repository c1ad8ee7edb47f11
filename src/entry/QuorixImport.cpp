// quorix_import: the import for library hosts written in C. Everything a call can end in, the position
// error and a lack of memory included, comes back in the result; nothing leaves the function.
#include "entry/ImportQuorixFile.h"

#include "entry/ImportReport.h"
#include "entry/QuorImport.h"
#include "entry/ShownText.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "log/Log.h"
#include "platform/PathMapping.h"
#include "platform/RawFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace quorix {
namespace {
// Losses of one kind that the message counts before it is cut; the message shows the first one only.
constexpr size_t kLossesListed = 1;

void Copy(const std::string& text, char* to, size_t size) {
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(to, text.data(), length);
    to[length] = '\0';
}

// `why` gives system_error its errno value; a reason of the module's own has none.
void Set(quorix_result& result, int status, const std::string& message, std::error_code why = {}) {
    result.status = status;
    result.system_error = why.category() == std::system_category() ? why.value() : 0;
    Copy(message, result.message, sizeof result.message);
}

std::string ReaderReason(const ReaderVerdict& verdict) {
    std::string text = verdict.message;
    if (verdict.offset >= 0) {
        text += " (record at offset " + std::to_string(verdict.offset) + ")";
    }
    return text;
}

void Refused(const ImportReading& reading, quorix_result& result) {
    const Refusal refusal = RefusalOf(reading);
    std::string message = VerdictText(refusal);
    if (refusal.layReasonHelps) {
        message += ": " + Escaped(ReaderReason(reading.layVerdict));
    }
    if (refusal.markerReasonHelps) {
        message += ": " + Escaped(ReaderReason(reading.markerVerdict));
    }
    const bool style = refusal.kind == RefusalKind::StyleMissing || refusal.kind == RefusalKind::StyleRefused;
    if (refusal.kind == RefusalKind::CannotRead) {
        Set(result, QUORIX_CANNOT_READ, message, refusal.systemError);
    } else {
        Set(result, style ? QUORIX_STYLE_MISSING : QUORIX_NOT_IN_FORMAT, message);
    }
}

bool Failed(const ImportFileResult& file, quorix_result& result) {
    if (file.failedStep == ReplacementFile::Step::None) {
        return false;
    }
    Set(result, QUORIX_CANNOT_WRITE, FileFailureText(file), file.error);
    return true;
}

int64_t SizeOf(const std::string& path) {
    RawFile file;
    return file.OpenForReading(path) ? file.Size() : -1;
}

void Import(const char* path, const char* outDir, quorix_result& result) {
    const std::string callerPath = path != nullptr ? path : "";
    std::string folder = outDir != nullptr ? outDir : "";
    if (folder.empty()) {
        Set(result, QUORIX_CANNOT_WRITE, "no output folder given",
            SystemError(std::errc::no_such_file_or_directory));
        return;
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back(); // "out/" is the folder "out"
    }
    // The size is taken before the read: an empty file is told apart from a lay of only its first record.
    const int64_t size = SizeOf(callerPath);
    const ImportReading reading = ReadImport(callerPath);
    if (!reading.Loaded()) {
        Refused(reading, result);
        return;
    }
    const std::string outFolder = folder == "/" ? std::string() : paths::FromCallerPath(folder);
    ImportWriting writing;
    try {
        writing = WriteImport(reading, ImportPaths::InFolder(outFolder), Placing::BothWhenComplete);
    } catch (const QuorUnhandledFormatFeatureException& error) {
        // Only the lay's position writer lets this pass; with both files together, neither was replaced.
        Set(result, QUORIX_POSITION_ERROR, Escaped(PositionErrorText(*reading.lay, error.GetMessage())));
        return;
    }
    if (writing.lock == FolderLock::Outcome::TimedOut) {
        Set(result, QUORIX_FOLDER_BUSY,
            Escaped(paths::ToSystemPath(outFolder)) +
                ": another import kept writing into this folder for the whole wait; nothing was written");
        return;
    }
    if (Failed(writing.definition, result) || Failed(writing.position, result)) {
        return;
    }
    const Losses losses = LossesOf(reading, size, kLossesListed);
    std::string message;
    if (losses.count > 0) {
        message = "warning: " + losses.lines.front();
        if (losses.count > 1) {
            message += " (" + std::to_string(losses.count) + " warnings in all)";
        }
    }
    Set(result, QUORIX_IMPORTED, message);
    Copy(reading.orderName, result.order_name, sizeof result.order_name);
}
} // namespace
} // namespace quorix

extern "C" int quorix_import(const char* path, const char* out_dir, quorix_result* result) {
    quorix_result own;
    quorix_result& r = result != nullptr ? *result : own;
    std::memset(&r, 0, sizeof r);
    const quorix::Log::Untouched noLog; // a library host gets no Log.txt in its current folder
    try {
        quorix::Import(path, out_dir, r);
    } catch (const std::bad_alloc&) {
        std::memset(&r, 0, sizeof r);
        r.status = QUORIX_OUT_OF_MEMORY;
        std::strcpy(r.message, "out of memory");
    } catch (...) {
        // Whatever else stops the import (a thread that cannot be started, say) ends here too: a C host
        // must never see an exception.
        std::memset(&r, 0, sizeof r);
        r.status = QUORIX_INTERNAL_ERROR;
        std::strcpy(r.message, "internal error");
    }
    return r.status;
}
