#include "LayPreview.h"

#include "ByteText.h"
#include "export/QuorLayYExport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace quorix::cli {

namespace {
// Sizes in pixels.
constexpr double kAimedSide = 1200.0;   // the sheet's longer side, as a rule
constexpr double kLeastSide = 400.0;    // its shorter side, at least, unless kLongestSide forbids
constexpr double kLongestSide = 2400.0; // its longer side, at most
constexpr double kLeastPicture = 440.0; // the picture's width, at least, for the title and the legend
constexpr double kMargin = 16.0;
constexpr double kOverhang = 28.0; // room around the sheet for pieces just off it and for edge arrows
constexpr double kCaption = 16.0;  // above each band of a sheet cut into bands
constexpr double kFont = 11.0;
constexpr double kTitleFont = 16.0;
constexpr double kLine = 18.0;  // height of a line of the title or the legend
constexpr double kLabel = 13.0; // height of a label's box
constexpr double kLargestDisc = 12.0;
constexpr double kSmallestDisc = 2.5;
constexpr double kPi = 3.14159265358979323846;

// A declared length above this many widths is not believed, and placements further along x than this do
// not make the drawn sheet longer: no cutting table is a hundred times as long as it is wide.
constexpr double kLongestInWidths = 100.0;

struct Box {
    double left, top, right, bottom;
};

std::string Px(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// A length of the lay in the title, the captions and the scale bar: whole units, or three digits below 1.
std::string Amount(double value) {
    char text[48];
    std::snprintf(text, sizeof text, std::fabs(value) >= 1.0 ? "%.0f" : "%.3g", value);
    return text;
}

// Text for an XML document: markup characters escaped, control characters shown as U+FFFD.
std::string XmlText(const std::string& utf8) {
    std::string text;
    for (const char c : utf8) {
        const char* escaped = c == '&'   ? "&amp;"
                              : c == '<' ? "&lt;"
                              : c == '>' ? "&gt;"
                              : c == '"' ? "&quot;"
                                         : nullptr;
        if (escaped != nullptr) {
            text += escaped;
        } else {
            text += static_cast<unsigned char>(c) < 0x20 ? std::string("\xEF\xBF\xBD") : std::string(1, c);
        }
    }
    return text;
}

// The width of a line of text, estimated from the advance widths of a common sans-serif face (DejaVu
// Sans, the widest of them), so that what is measured to fit does fit.
double TextWidth(const std::string& utf8, double fontSize) {
    double ems = 0.0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80) {
            continue; // a continuation byte of the character already counted
        }
        if (byte >= 0x80) {
            ems += 0.72;
        } else if (std::string_view(" .,:;'/()iljft").find(c) != std::string_view::npos) {
            ems += 0.36;
        } else if ((c >= 'A' && c <= 'Z') || c == 'm' || c == 'w' || c == '#') {
            ems += 0.78;
        } else {
            ems += 0.64;
        }
    }
    return ems * fontSize;
}

std::string NameAt(const std::vector<std::string>& names, int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < names.size()) {
        return CodePageText(names[static_cast<size_t>(index)]);
    }
    return "#" + std::to_string(index);
}

// The pixels of the picture that are taken, in cells of two by two pixels: a label goes only where all its
// cells are free, so that it covers no other label, disc, pointer or arrow. Boxes that share a cell touch,
// so a label keeps more than a cell away from what it stands beside.
class Room {
public:
    Room() = default;
    Room(double width, double height)
        : columns(Cell(width) + 1), rows(Cell(height) + 1), taken(columns * rows, 0) {}

    bool Free(const Box& b) const {
        if (b.left < 0.0 || b.top < 0.0 || Cell(b.right) >= columns || Cell(b.bottom) >= rows) {
            return false;
        }
        for (size_t row = Cell(b.top); row <= Cell(b.bottom); ++row) {
            for (size_t column = Cell(b.left); column <= Cell(b.right); ++column) {
                if (taken[row * columns + column]) {
                    return false;
                }
            }
        }
        return true;
    }

    void Take(const Box& b) {
        const auto clampColumn = [this](double x) { return std::min(Cell(x), columns - 1); };
        const auto clampRow = [this](double y) { return std::min(Cell(y), rows - 1); };
        for (size_t row = clampRow(b.top); row <= clampRow(b.bottom); ++row) {
            for (size_t column = clampColumn(b.left); column <= clampColumn(b.right); ++column) {
                taken[row * columns + column] = 1;
            }
        }
    }

private:
    static size_t Cell(double pixels) { return pixels <= 0.0 ? 0 : static_cast<size_t>(pixels / 2.0); }

    size_t columns = 0;
    size_t rows = 0;
    std::vector<uint8_t> taken;
};

// A label as placed: which of its texts, where, and whether it reads upwards (turned a quarter left).
struct Placed {
    int text = -1; // none placed
    Box box{};
    bool upright = false;
};

// Puts the first of `texts` (longest first) that fits beside `anchor` without covering anything taken: to
// the right, above or below on the right, to the left, above or below on the left; reading upwards above
// or below the anchor first when `uprightFirst` (beside an arrow on the left or right edge of the sheet,
// where the overhang is narrow and tall).
Placed PlaceLabel(Room& room, const Box& anchor, const std::vector<std::string>& texts, bool uprightFirst) {
    const double middleX = (anchor.left + anchor.right) / 2;
    const double middleY = (anchor.top + anchor.bottom) / 2;
    for (size_t i = 0; i < texts.size(); ++i) {
        const double w = TextWidth(texts[i], kFont);
        std::vector<Placed> candidates;
        if (uprightFirst) {
            const double left = middleX - kLabel / 2;
            candidates.push_back({0, {left, anchor.top - 2.5 - w, left + kLabel, anchor.top - 2.5}, true});
            candidates.push_back(
                {0, {left, anchor.bottom + 2.5, left + kLabel, anchor.bottom + 2.5 + w}, true});
        }
        const double tops[] = {middleY - kLabel / 2, anchor.top - kLabel - 2.5, anchor.bottom + 2.5};
        const double lefts[] = {anchor.right + 3,    middleX,     middleX,
                                anchor.left - 3 - w, middleX - w, middleX - w};
        for (size_t c = 0; c < 6; ++c) {
            candidates.push_back({0, {lefts[c], tops[c % 3], lefts[c] + w, tops[c % 3] + kLabel}, false});
        }
        for (Placed& candidate : candidates) {
            if (room.Free(candidate.box)) {
                room.Take(candidate.box);
                candidate.text = static_cast<int>(i);
                return candidate;
            }
        }
    }
    return {};
}

std::string Label(const Placed& placed, const std::string& text) {
    if (placed.upright) {
        return "<text transform=\"translate(" + Px(placed.box.right - 3) + " " + Px(placed.box.bottom) +
               ") rotate(-90)\">" + XmlText(text) + "</text>\n";
    }
    return "<text x=\"" + Px(placed.box.left) + "\" y=\"" + Px(placed.box.bottom - 3) + "\">" +
           XmlText(text) + "</text>\n";
}

// What the sheet is drawn as: its width and length, and what the title says of them.
struct Sheet {
    double width = 0.0;
    double length = 0.0;      // drawn along x
    double sheetLength = 0.0; // of it, the part that is the declared sheet
    std::string widthText;    // "width 1600 mm", and why it is drawn otherwise when it is
    std::string lengthText;
};

bool Usable(double value) {
    return std::isfinite(value) && value > 0.0;
}

// The largest of the values that is at most ten times their ninetieth percentile, so that a few stray
// values do not count; 0 for none.
double Reach(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const auto tenth = values.begin() + static_cast<std::ptrdiff_t>((values.size() - 1) * 9 / 10);
    std::nth_element(values.begin(), tenth, values.end());
    const double limit = 10.0 * *tenth;
    double reach = 0.0;
    for (const double v : values) {
        if (v <= limit) {
            reach = std::max(reach, v);
        }
    }
    return reach;
}

// The drawn width is the declared width. When the lay declares none (it keeps the default), or one that
// is not positive or not a number, it is the reach of the placements across y, a twentieth added, leaving
// out the few that lie more than ten times further out than nine in ten of them.
//
// The drawn length is the declared length, unless that says nothing about this lay: the default (the lay
// names no length), not positive, not a number, or more than a hundred widths. Then it is as far along x as
// the placements reach, a twentieth of the width added for the last piece, and at least half the width.
// Only placements within a hundred widths along x and within half a width across y count for that reach:
// the others are off the sheet and are marked at its edge. When placements reach beyond a declared length
// that is usable, the drawing goes on as far as they reach, beyond the sheet's end.
Sheet SheetOf(const QuorLayY& lay) {
    Sheet sheet;
    const double declaredWidth = lay.GetLayWidth();
    const double declaredLength = lay.GetLayLength();
    const bool defaultWidth = lay.GetLayWidth() == QuorLayY::kDefaultWidth;
    sheet.width = declaredWidth;
    sheet.widthText = "width " + ShortestText(lay.GetLayWidth()) + " mm";
    if (!Usable(declaredWidth) || defaultWidth) {
        std::vector<double> across;
        for (const Placement& p : lay.GetPlacements()) {
            if (std::isfinite(p.x) && std::isfinite(p.y) && p.y > 0.0f) {
                across.push_back(p.y);
            }
        }
        const double reach = Reach(across);
        if (reach > 0.0 || !Usable(declaredWidth)) {
            sheet.width = std::max(reach * 1.05, 1.0);
            sheet.widthText += std::string(defaultWidth ? " (the default: none given; " : " (") + "drawn " +
                               Amount(sheet.width) + " mm, as far as the placements reach)";
        } else {
            sheet.widthText += " (the default: none given)";
        }
    }
    const double width = sheet.width;
    double reach = 0.0;
    for (const Placement& p : lay.GetPlacements()) {
        if (p.x <= kLongestInWidths * width && p.y >= -width / 2 && p.y <= 1.5 * width) {
            reach = std::max(reach, static_cast<double>(p.x)); // NaN compares false and is left out
        }
    }
    sheet.lengthText = "length " + ShortestText(lay.GetLayLength()) + " mm";
    const bool defaultLength = lay.GetLayLength() == QuorLayY::kDefaultLength;
    if (Usable(declaredLength) && !defaultLength && declaredLength <= kLongestInWidths * width) {
        sheet.sheetLength = declaredLength;
        sheet.length = reach > declaredLength ? reach + width / 20 : declaredLength;
        if (reach > declaredLength) {
            sheet.lengthText += " (placements reach on to " + Amount(reach) + " mm)";
        }
        return sheet;
    }
    sheet.length = std::max(reach + width / 20, width / 2);
    sheet.sheetLength = sheet.length;
    sheet.lengthText +=
        std::string(defaultLength            ? " (the default: none given; "
                    : Usable(declaredLength) ? " (more than a hundred widths; "
                                             : " (") +
        "drawn " + Amount(sheet.length) + " mm, " +
        (reach + width / 20 >= width / 2 ? "as far as the placements reach)" : "half the width)");
    return sheet;
}

// Where the sheet goes in the picture. A long sheet is cut into bands of equal length laid one below the
// other, so that the picture stays readable.
struct Layout {
    double width = 0.0; // of the sheet, in lay units
    double scale = 1.0; // pixels per lay unit
    int bands = 1;
    double bandLength = 0.0; // in lay units
    double left = 0.0;       // pixel x of the start of each band
    double top = 0.0;        // pixel y of the sheet's far edge (y = width) in the first band
    double pitch = 0.0;      // pixels from one band to the next

    int BandOf(double x) const {
        const double band = std::floor(x / bandLength);
        return band <= 0.0 ? 0 : band >= bands - 1 ? bands - 1 : static_cast<int>(band);
    }
    double X(double x) const { return left + (x - BandOf(x) * bandLength) * scale; }
    double Y(double x, double y) const { return top + BandOf(x) * pitch + (width - y) * scale; }
    double BandTop(int band) const { return top + band * pitch; }
};

Layout LayoutOf(const Sheet& sheet, double titleHeight) {
    Layout layout;
    layout.width = sheet.width;
    const double proportion = sheet.length / sheet.width;
    // Bands about twice as long as the sheet is wide: a sheet of proportion p in k bands gives a picture
    // of proportion p / k^2.
    layout.bands = static_cast<int>(std::clamp(std::lround(std::sqrt(proportion / 2.0)), 1L, 12L));
    layout.bandLength = sheet.length / layout.bands;
    const double along = layout.bandLength;
    const double across = sheet.width * layout.bands;
    double scale = kAimedSide / std::max(along, across);
    scale = std::max(scale, kLeastSide / std::min(along, across));
    scale = std::min(scale, kLongestSide / std::max(along, across));
    layout.scale = scale;
    const double caption = layout.bands > 1 ? kCaption : 0.0;
    layout.left = kMargin + kOverhang;
    layout.top = kMargin + titleHeight + caption + kOverhang;
    layout.pitch = sheet.width * scale + 2 * kOverhang + caption;
    return layout;
}

// The hover text of a piece: every value, as --dump writes it.
std::string HoverText(const QuorLayY& lay, const Placement& p) {
    return NameAt(lay.GetPieceNames(), p.pieceIndex) + " / " + NameAt(lay.GetModelNames(), p.modelIndex) +
           ": '" + (p.isP ? "P" : "T") + "' record (kind " + (p.isP ? "8" : "16") + "), x " +
           ShortestText(p.x) + ", y " + ShortestText(p.y) + ", angle " + ShortestText(p.angle) +
           " (written " + ShortestText(quorix::WrittenAngle(p)) + ")" +
           (p.flag1 ? "; flag 1: turned by 180 degrees" : "") +
           (p.flag2 ? "; flag 2 (written to the position file)" : "") + "; model index " +
           std::to_string(p.modelIndex) + ", piece index " + std::to_string(p.pieceIndex);
}

std::string Disc(double cx, double cy, double r, bool isP, bool flag1, bool flag2) {
    return "<circle cx=\"" + Px(cx) + "\" cy=\"" + Px(cy) + "\" r=\"" + Px(r) + "\" fill=\"" +
           (isP ? preview::kPColour : preview::kTColour) + "\" stroke=\"" +
           (flag1 ? preview::kFlag1Colour : "#555555") + "\" stroke-width=\"" +
           Px(flag1 ? std::max(0.22 * r, 1.5) : std::max(0.08 * r, 0.6)) + "\"" +
           (flag2 ? " stroke-dasharray=\"" + Px(std::max(0.4 * r, 1.5)) + " " + Px(std::max(0.25 * r, 1.0)) +
                        "\""
                  : std::string()) +
           "/>\n";
}

std::string Pointer(double cx, double cy, double r, double degrees) {
    return "<polygon points=\"" + Px(0.9 * r) + "," + Px(-0.45 * r) + " " + Px(2 * r) + ",0 " + Px(0.9 * r) +
           "," + Px(0.45 * r) + "\" fill=\"" + preview::kPointerColour + "\" transform=\"translate(" +
           Px(cx) + " " + Px(cy) + ") rotate(" + ShortestText(static_cast<float>(0.0 - degrees)) + ")\"/>\n";
}

// An arrow from (x, y) out along (dx, dy), a unit vector, through the overhang around the sheet.
std::string Arrow(double x, double y, double dx, double dy) {
    const auto at = [&](double along, double aside) {
        return Px(x + along * dx - aside * dy) + "," + Px(y + along * dy + aside * dx);
    };
    return "<polygon points=\"" + at(1, -1.5) + " " + at(8, -1.5) + " " + at(8, -7) + " " +
           at(kOverhang - 3, 0) + " " + at(8, 7) + " " + at(8, 1.5) + " " + at(1, 1.5) + "\" fill=\"" +
           preview::kOffSheetColour + "\"/>\n";
}

// The legend's entries, each a symbol 16 pixels wide and a text, flowed into lines of `width` pixels from
// (left, top). Gives the SVG and the height taken.
std::string Legend(double left, double top, double width, double scaleBarPixels, const std::string& scaleText,
                   bool offSheet, bool beyondSheet, double& height) {
    struct Entry {
        std::string symbol; // drawn with its middle at (0, 0)
        double symbolWidth;
        std::string text;
    };
    std::vector<Entry> entries;
    entries.push_back({"<path d=\"M0,-4 V4 M0,0 H" + Px(scaleBarPixels) + " M" + Px(scaleBarPixels) +
                           ",-4 V4\" stroke=\"#222222\" stroke-width=\"2\" fill=\"none\"/>\n",
                       scaleBarPixels, scaleText});
    entries.push_back({Disc(8, 0, 6, true, false, false), 16, "'P' record (kind 8 in the position file)"});
    entries.push_back({Disc(8, 0, 6, false, false, false), 16, "'T' record (kind 16)"});
    entries.push_back(
        {"<circle cx=\"6\" cy=\"0\" r=\"5\" fill=\"#c8c8c8\" stroke=\"#555555\"/>\n" + Pointer(6, 0, 5, 0),
         16, "pointer: angle written to the position file"});
    entries.push_back({"<circle cx=\"8\" cy=\"0\" r=\"6\" fill=\"none\" stroke=\"" +
                           std::string(preview::kFlag1Colour) + "\" stroke-width=\"2\"/>\n",
                       16, "flag 1: turned by 180 degrees"});
    entries.push_back(
        {"<circle cx=\"8\" cy=\"0\" r=\"6\" fill=\"none\" stroke=\"#555555\" stroke-width=\"1.2\" "
         "stroke-dasharray=\"2.4 1.5\"/>\n",
         16, "flag 2 (written to the position file)"});
    if (offSheet) {
        entries.push_back({Arrow(-4, 0, 1, 0), 24, "far off the sheet: at its edge, with x, y"});
    }
    if (beyondSheet) {
        entries.push_back(
            {"<rect x=\"0\" y=\"-6\" width=\"16\" height=\"12\" fill=\"none\" stroke=\"#8c8c8c\" "
             "stroke-dasharray=\"3 2\"/>\n",
             16, "beyond the declared length"});
    }
    std::string svg = "<g font-size=\"" + Px(kFont) + "\">\n";
    double x = left;
    double y = top + kLine / 2;
    for (const Entry& e : entries) {
        const double w = e.symbolWidth + 5 + TextWidth(e.text, kFont);
        if (x > left && x + w > left + width) {
            x = left;
            y += kLine;
        }
        svg += "<g transform=\"translate(" + Px(x) + " " + Px(y) + ")\">\n" + e.symbol + "<text x=\"" +
               Px(e.symbolWidth + 5) + "\" y=\"4\">" + XmlText(e.text) + "</text>\n</g>\n";
        x += w + 16;
    }
    height = y + kLine / 2 - top;
    return svg + "</g>\n";
}

// The length of the scale bar: 1, 2 or 5 times a power of ten, drawn 60 to 150 pixels long.
double ScaleBarLength(double scale) {
    const double most = 150.0 / scale;
    const double power = std::pow(10.0, std::floor(std::log10(most)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= most) {
            return step * power;
        }
    }
    return power;
}

// A line of the title, cut with an ellipsis where it would run out of the picture.
std::string Fitted(std::string text, double fontSize, double width) {
    if (TextWidth(text, fontSize) <= width) {
        return text;
    }
    while (!text.empty() && TextWidth(text + "\xE2\x80\xA6", fontSize) > width) {
        text.pop_back();
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
            text.pop_back();
        }
        if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) {
            text.pop_back(); // the lead byte of a character whose continuation bytes went
        }
    }
    return text + "\xE2\x80\xA6";
}

// A piece as drawn: a disc on the sheet or just off it, or an arrow at the sheet's edge for a piece far off
// it, and its label.
struct Drawn {
    const Placement* p;
    double x, y;       // pixel position of the disc's centre or the arrow's foot
    bool farOff;       // drawn as an arrow at the sheet's edge
    double dx, dy;     // the arrow's direction
    double angle;      // the pointer's, in degrees counterclockwise
    Box anchor;        // what the label stands beside
    std::string label; // as placed, empty for none
    Placed placed;
};

// The drawing of a lay, made in steps: the sheet and where it goes in the picture, which pieces are drawn
// where, the room that labels may not take, the labels, then the SVG text.
class Picture {
public:
    Picture(const QuorLayY& lay, const std::string& fileName) : lay(lay), sheet(SheetOf(lay)) {
        // The title's lines: the file, the width and the length (on two lines when either says more than its
        // value), and the counts, added once the labels are placed.
        titleLines = {fileName.empty() ? std::string("lay") : CodePageText(fileName)};
        if (sheet.widthText.size() + sheet.lengthText.size() < 70) {
            titleLines.push_back(sheet.widthText + ", " + sheet.lengthText);
        } else {
            titleLines.push_back(sheet.widthText);
            titleLines.push_back(sheet.lengthText);
        }
        titleHeight = (titleLines.size() + 1) * kLine + 4;
        layout = LayoutOf(sheet, titleHeight);
        pictureWidth =
            std::ceil(std::max(2 * (kMargin + kOverhang) + layout.bandLength * layout.scale, kLeastPicture));
        bandsBottom = layout.BandTop(layout.bands - 1) + sheet.width * layout.scale + kOverhang;
        near = kOverhang / 2 / layout.scale;
        SortPieces();
        const double scaleBar = ScaleBarLength(layout.scale);
        double legendHeight = 0.0;
        legend =
            Legend(kMargin, bandsBottom + 8, pictureWidth - 2 * kMargin, scaleBar * layout.scale,
                   Amount(scaleBar) + " mm", !farOff.empty(), sheet.sheetLength < sheet.length, legendHeight);
        pictureHeight = std::ceil(bandsBottom + 8 + legendHeight + kMargin);
        room = Room(pictureWidth, pictureHeight);
        TakeFixedRoom();
        AddArrows();
        AddDiscs();
        PlaceLabels();
        titleLines.push_back(CountsLine());
    }

    std::string Svg() const {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
               Px(pictureWidth) + "\" height=\"" + Px(pictureHeight) + "\" viewBox=\"0 0 " +
               Px(pictureWidth) + " " + Px(pictureHeight) +
               "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"" + Px(kFont) +
               "\">\n<title>" + XmlText(titleLines.front()) +
               "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"" + preview::kPageColour + "\"/>\n" +
               TitleSvg() + SheetSvg() + PiecesSvg() + legend + "</svg>\n";
    }

private:
    // Which pieces are drawn where: on the sheet or just off it, far off it, or nowhere.
    void SortPieces() {
        for (const Placement& p : lay.GetPlacements()) {
            if (std::isnan(p.x) || std::isnan(p.y)) {
                ++noPosition;
            } else if (p.x >= -near && p.x <= sheet.length + near && p.y >= -near &&
                       p.y <= sheet.width + near) {
                onSheet.push_back(p);
            } else {
                farOff.push_back(p);
            }
        }
    }

    // The title, the legend and the captions of the bands.
    void TakeFixedRoom() {
        room.Take({0, 0, pictureWidth, kMargin + titleHeight});
        room.Take({0, bandsBottom, pictureWidth, pictureHeight});
        for (int band = 1; band < layout.bands; ++band) {
            room.Take({0, layout.BandTop(band) - kOverhang - kCaption, pictureWidth,
                       layout.BandTop(band) - kOverhang});
        }
    }

    // The foot of each far piece's arrow is the nearest point of the sheet; it points along the axes on which
    // the piece lies off the sheet.
    void AddArrows() {
        for (const Placement& p : farOff) {
            const double sx = p.x < -near ? -1.0 : p.x > sheet.length + near ? 1.0 : 0.0;
            const double sy = p.y < -near ? -1.0 : p.y > sheet.width + near ? 1.0 : 0.0;
            const double x = std::clamp(static_cast<double>(p.x), 0.0, sheet.length);
            const double y = std::clamp(static_cast<double>(p.y), 0.0, sheet.width);
            const double norm = std::hypot(sx, sy);
            Drawn d{&p, layout.X(x), layout.Y(x, y), true, sx / norm, -sy / norm, 0, {}, {}, {}};
            const double tipX = d.x + (kOverhang - 3) * d.dx;
            const double tipY = d.y + (kOverhang - 3) * d.dy;
            d.anchor = {std::min(d.x, tipX) - 7, std::min(d.y, tipY) - 7, std::max(d.x, tipX) + 7,
                        std::max(d.y, tipY) + 7};
            room.Take(d.anchor);
            drawn.push_back(d);
        }
    }

    // Discs with their pointers; a little smaller where pieces crowd, so that most stay apart.
    void AddDiscs() {
        const double sheetPixels = sheet.length * sheet.width * layout.scale * layout.scale;
        r = std::clamp(
            std::min(sheet.width * layout.scale / 40.0,
                     0.3 * std::sqrt(sheetPixels / static_cast<double>(std::max<size_t>(onSheet.size(), 1)))),
            kSmallestDisc, kLargestDisc);
        for (const Placement& p : onSheet) {
            const float written = quorix::WrittenAngle(p);
            Drawn d{&p, layout.X(p.x), layout.Y(p.x, p.y), false, 0, 0, written, {}, {}, {}};
            d.anchor = {d.x - r, d.y - r, d.x + r, d.y + r};
            room.Take(d.anchor);
            if (std::isfinite(written)) {
                const double a = written * kPi / 180.0;
                const double mx = d.x + 1.45 * r * std::cos(a);
                const double my = d.y - 1.45 * r * std::sin(a);
                room.Take({mx - 0.6 * r, my - 0.6 * r, mx + 0.6 * r, my + 0.6 * r});
            }
            drawn.push_back(d);
        }
    }

    // The arrows' labels first, as they tell where their pieces are, then the discs' in file order.
    void PlaceLabels() {
        for (Drawn& d : drawn) {
            const std::string piece = NameAt(lay.GetPieceNames(), d.p->pieceIndex);
            const std::string names = piece + " / " + NameAt(lay.GetModelNames(), d.p->modelIndex);
            std::vector<std::string> texts;
            if (d.farOff) {
                const std::string at = "x " + ShortestText(d.p->x) + ", y " + ShortestText(d.p->y);
                texts = {names + " at " + at, at};
            } else {
                texts = {names, piece};
            }
            d.placed = PlaceLabel(room, d.anchor, texts, d.farOff && d.dy == 0.0);
            if (d.placed.text < 0) {
                ++dropped;
            } else {
                shortened += d.placed.text > 0 ? 1 : 0;
                d.label = texts[static_cast<size_t>(d.placed.text)];
            }
        }
    }

    std::string CountsLine() const {
        std::string counts = std::to_string(lay.GetPlacements().size()) +
                             " placements: " + std::to_string(onSheet.size()) + " drawn";
        if (!farOff.empty()) {
            counts += ", " + std::to_string(farOff.size()) + " far off the sheet";
        }
        if (noPosition > 0) {
            counts += ", " + std::to_string(noPosition) + " without a position";
        }
        if (dropped + shortened > 0) {
            counts += "; labels: " + std::to_string(dropped) + " left out, " + std::to_string(shortened) +
                      " shortened for room";
        }
        return counts;
    }

    std::string TitleSvg() const {
        std::string svg;
        for (size_t i = 0; i < titleLines.size(); ++i) {
            const double font = i == 0 ? kTitleFont : kFont;
            svg += "<text x=\"" + Px(kMargin) + "\" y=\"" +
                   Px(kMargin + kTitleFont + i * kLine - (i > 0 ? 2 : 0)) + "\"" +
                   (i == 0 ? " font-size=\"" + Px(kTitleFont) + "\" font-weight=\"bold\"" : std::string()) +
                   ">" + XmlText(Fitted(titleLines[i], font, pictureWidth - 2 * kMargin)) + "</text>\n";
        }
        return svg;
    }

    // The sheet, band by band: the declared sheet filled, the stretch beyond its end dashed.
    std::string SheetSvg() const {
        std::string svg;
        for (int band = 0; band < layout.bands; ++band) {
            const double from = band * layout.bandLength;
            const double to = from + layout.bandLength;
            const double top = layout.BandTop(band);
            const double height = sheet.width * layout.scale;
            if (layout.bands > 1) {
                svg += "<text x=\"" + Px(layout.left) + "\" y=\"" + Px(top - kOverhang - 4) +
                       "\" fill=\"#555555\">x " + Amount(from) + " to " + Amount(to) + " mm</text>\n";
            }
            const double solidTo = std::min(to, sheet.sheetLength);
            if (solidTo > from) {
                svg += "<rect x=\"" + Px(layout.left) + "\" y=\"" + Px(top) + "\" width=\"" +
                       Px((solidTo - from) * layout.scale) + "\" height=\"" + Px(height) + "\" fill=\"" +
                       preview::kLayColour + "\" stroke=\"#8c8c8c\"/>\n";
            }
            if (to > sheet.sheetLength) {
                const double dashedFrom = std::max(from, sheet.sheetLength);
                svg += "<rect x=\"" + Px(layout.left + (dashedFrom - from) * layout.scale) + "\" y=\"" +
                       Px(top) + "\" width=\"" + Px((to - dashedFrom) * layout.scale) + "\" height=\"" +
                       Px(height) + "\" fill=\"none\" stroke=\"#8c8c8c\" stroke-dasharray=\"6 4\"/>\n";
            }
        }
        return svg;
    }

    // The pieces, each a group with its hover text, so that hovering over the label shows it too.
    std::string PiecesSvg() const {
        std::string svg;
        for (const Drawn& d : drawn) {
            svg += "<g>\n<title>" + XmlText((d.farOff ? "far off the sheet: " : "") + HoverText(lay, *d.p)) +
                   "</title>\n";
            if (d.farOff) {
                svg += Arrow(d.x, d.y, d.dx, d.dy);
            } else {
                if (std::isfinite(d.angle)) {
                    svg += Pointer(d.x, d.y, r, d.angle);
                }
                svg += Disc(d.x, d.y, r, d.p->isP, d.p->flag1, d.p->flag2);
            }
            if (!d.label.empty()) {
                svg += Label(d.placed, d.label);
            }
            svg += "</g>\n";
        }
        return svg;
    }

    const QuorLayY& lay;
    const Sheet sheet;
    std::vector<std::string> titleLines;
    double titleHeight = 0.0;
    Layout layout;
    double pictureWidth = 0.0;
    double pictureHeight = 0.0;
    double bandsBottom = 0.0; // pixel y below the last band and its overhang
    double near = 0.0;        // lay units a piece may lie off the sheet and be drawn on it
    double r = 0.0;           // the discs' radius
    std::vector<Placement> onSheet; // copies: the lay hands its placements out by value
    std::vector<Placement> farOff;
    size_t noPosition = 0;
    std::string legend;
    Room room;
    std::vector<Drawn> drawn;
    size_t dropped = 0;   // labels left out
    size_t shortened = 0; // labels shortened for room
};
} // namespace

std::string preview::Svg(const QuorLayY& lay, const std::string& fileName) {
    return Picture(lay, fileName).Svg();
}

} // namespace quorix::cli
