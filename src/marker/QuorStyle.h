#pragma once

#include "files/QuorTextFile.h"
#include "marker/MarkerModel.h"

#include <string>
#include <vector>

namespace quorix {

// A style file: the pieces of one garment style, each with two counts. Versions 12, 13 and 16.
class QuorStyle : public QuorTextFile {
public:
    QuorStyle() = default;
    ~QuorStyle() override = default;

    bool Parse() override;
    bool IsSupportedVersion() const override;
    const char* SupportedVersions() const override { return "12, 13 and 16"; }

    const std::string& GetStyleText() const { return styleText; }
    const std::vector<StylePiece>& GetPieces() const { return pieces; }

private:
    std::string styleText;
    std::vector<StylePiece> pieces;
};

// The folder of the style files that the marker file at `markerPath` names: the folder above the
// marker's folder, then "styles". A cut that finds no backslash keeps its whole input.
std::string StylesFolder(const std::string& markerPath);

} // namespace quorix
