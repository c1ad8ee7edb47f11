#include "marker/QuorStyle.h"

#include "platform/PathRules.h"

namespace quorix {

std::string StylesFolder(const std::string& markerPath) {
    return paths::ParentFolder(paths::ParentFolder(markerPath)) + "\\styles";
}

bool QuorStyle::IsSupportedVersion() const {
    return QuorTextFile::IsSupportedVersion() &&
           (formatVersion == 12 || formatVersion == 13 || formatVersion == 16);
}

bool QuorStyle::Parse() {
    if (!ReadVersionLine()) {
        return RefuseVersion();
    }
    SkipField();
    SkipField();
    SkipField();
    ReadString(styleText);
    if (formatVersion >= 13) {
        SkipField();
    }
    // Piece blocks follow while the block mark line begins with '+'; an exhausted file reads as an empty
    // line and ends the list.
    std::string mark;
    for (;;) {
        ReadString(mark);
        if (mark.empty() || mark[0] != '+') {
            return true;
        }
        StylePiece piece;
        ReadString(piece.pieceName);
        ReadString(piece.pieceText);
        // The count line: a word, the two counts, each ended by a single space, then the rest of the line.
        SkipField(' ');
        ReadInt(piece.quantity, ' ');
        ReadInt(piece.extraQuantity, ' ');
        // Then lines of no use to the import: passed over without being kept.
        for (int i = 0; i < 10; ++i) {
            SkipField();
        }
        pieces.push_back(std::move(piece));
    }
}

} // namespace quorix
