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
    int dropInt = 0;
    std::string dropText;
    ReadInt(dropInt);
    ReadString(dropText);
    ReadString(dropText);
    ReadString(styleText);
    if (formatVersion >= 13) {
        ReadString(dropText);
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
        ReadString(dropText, ' ');
        ReadInt(piece.quantity, ' ');
        ReadInt(piece.extraQuantity, ' ');
        ReadString(dropText);
        ReadInt(dropInt);
        ReadString(dropText);
        ReadString(dropText);
        ReadInt(dropInt);
        for (int i = 0; i < 5; ++i) {
            ReadString(dropText);
        }
        pieces.push_back(std::move(piece));
    }
}

} // namespace quorix
