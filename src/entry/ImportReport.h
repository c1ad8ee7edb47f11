#pragma once

#include "entry/QuorImport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorix {

// Why neither reader accepted a file, in the terms a user thinks in rather than the readers' steps.
enum class RefusalKind {
    None,          // a reader accepted the file
    CannotRead,    // the input cannot be opened
    StyleMissing,  // the style file of the marker's last used slot cannot be opened
    StyleRefused,  // that style file is opened but is no style file
    LayCutOff,     // it starts as a lay does, and ends inside a record
    DamagedLay,    // it starts as a lay does, and a record of it is refused
    DamagedMarker, // it starts with a marker's version line, and the marker reader refuses what follows
    NotInFormat,   // it starts like neither
};

struct Refusal {
    RefusalKind kind = RefusalKind::None;
    int64_t offset = -1;                 // LayCutOff, DamagedLay: the offset of the record concerned
    std::error_code systemError;         // CannotRead, StyleMissing: why the open failed
    const StyleReading* style = nullptr; // StyleMissing, StyleRefused: the style file's reading
    // Whether a reader's own reason tells the user more than the verdict: the lay reader's for a damaged
    // lay, the marker reader's for a damaged marker. The other reader's reason is noise then.
    bool layReasonHelps = false;
    bool markerReasonHelps = false;
};

Refusal RefusalOf(const ImportReading& reading);

// The verdict in a user's words, without the file's name: "not a lay or marker file", "lay cut off at
// offset 7", "damaged lay", "damaged marker", "cannot read input file: No such file or directory", "cannot
// read style file PATH: ...", "style file PATH is refused: ...".
std::string VerdictText(const Refusal& refusal);

// What the import files of an accepted reading lose or get wrong: each line says what the output loses.
// Shown by default: a user must not get a distorted pair without a word.
struct Losses {
    std::vector<std::string> lines; // at most `perKind` of one kind, then one line counting the rest of it
    size_t count = 0;               // every loss, listed or not
};

// `inputSize` is the input's size in bytes, -1 when it is not known.
Losses LossesOf(const ImportReading& reading, int64_t inputSize, size_t perKind);

// What the user is told of an import file that could not be put in place: "PATH: cannot create file:
// REASON", the path escaped (where a backslash separates folders, it is shown as itself).
std::string FileFailureText(const ImportFileResult& file);

// The lay position writer's error, completed by the name listed twice that caused it when one is found:
// its placements are taken by the first entry of that name, so they disagree with the counts.
std::string PositionErrorText(const QuorLayY& lay, const std::string& message);

} // namespace quorix
