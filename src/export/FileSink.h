#pragma once

#include "platform/ReplacementFile.h"
#include "runtime/ByteSink.h"

#include <string>
#include <string_view>

namespace quorix {

// An import file as a sink: what is put into it is passed on in large writes to a ReplacementFile, which
// takes the place of the file at its path only once it is complete. A sink destroyed before Replace or
// CommitBoth leaves the old file as it was.
class FileSink final : public runtime::ByteSink {
public:
    // Starts the file that replaces the file `name` in the open `folder`; false when it cannot be created.
    bool Create(const Folder& folder, const std::string& name) { return file.Create(folder, name); }
    // Passes on what is held and closes the file: true when everything put into the sink reached it.
    bool Finish();
    // Finishes and moves the complete file into place: true when it is there.
    bool Replace();
    // What failed, when something did; two finished files are put in place together through it.
    ReplacementFile& File() { return file; }
    const ReplacementFile& File() const { return file; }

    void Append(std::string_view bytes) override;

private:
    void MakeRoom(size_t room) override;
    void Flush();

    ReplacementFile file;
};

} // namespace quorix
