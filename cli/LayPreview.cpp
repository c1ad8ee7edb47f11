#include "LayPreview.h"

#include "ByteText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
constexpr double kLongestSidePixels = 1200.0;

std::string Num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// Text for an XML document: valid UTF-8, markup characters escaped, control characters shown as U+FFFD.
std::string XmlText(const std::string& bytes) {
    std::string text;
    for (const char c : ToValidUtf8(bytes)) {
        switch (c) {
        case '&':
            text += "&amp;";
            break;
        case '<':
            text += "&lt;";
            break;
        case '>':
            text += "&gt;";
            break;
        case '"':
            text += "&quot;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                text += "\xEF\xBF\xBD";
            } else {
                text += c;
            }
        }
    }
    return text;
}

std::string NameAt(const std::vector<std::string>& names, int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < names.size()) {
        return names[static_cast<size_t>(index)];
    }
    return "#" + std::to_string(index);
}

bool Drawable(const Placement& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

struct Box {
    double left, top, right, bottom; // drawing coordinates: y grows downwards

    void Include(double x, double y, double margin) {
        left = std::min(left, x - margin);
        right = std::max(right, x + margin);
        top = std::min(top, y - margin);
        bottom = std::max(bottom, y + margin);
    }
};

std::string Piece(const QuorLayY& lay, const Placement& p, double r) {
    const double cx = p.x;
    const double cy = -static_cast<double>(p.y);
    const float written = QuorLayY::WrittenAngle(p);
    const std::string piece = NameAt(lay.GetPieceNames(), p.pieceIndex);
    const std::string model = NameAt(lay.GetModelNames(), p.modelIndex);
    std::string svg = "<g>\n<title>" + XmlText(piece + " / " + model) + ": " + (p.isP ? "P" : "T") +
                      " record, x " + Num(p.x) + ", y " + Num(p.y) + ", angle " + Num(p.angle) +
                      " (written " + Num(written) + ")" + (p.flag1 ? ", flag 1" : "") +
                      (p.flag2 ? ", flag 2" : "") + "</title>\n";
    if (std::isfinite(written)) {
        svg += "<polygon points=\"" + Num(0.9 * r) + "," + Num(-0.45 * r) + " " + Num(2 * r) + ",0 " +
               Num(0.9 * r) + "," + Num(0.45 * r) + "\" fill=\"" + LayPreview::kPointerColour +
               "\" transform=\"translate(" + Num(cx) + " " + Num(cy) + ") rotate(" + Num(-written) +
               ")\"/>\n";
    }
    svg += "<circle cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\" r=\"" + Num(r) + "\" fill=\"" +
           (p.isP ? LayPreview::kPColour : LayPreview::kTColour) + "\" stroke=\"" +
           (p.flag1 ? LayPreview::kFlag1Colour : "#555555") + "\" stroke-width=\"" +
           Num(p.flag1 ? 0.2 * r : 0.08 * r) + "\"" +
           (p.flag2 ? " stroke-dasharray=\"" + Num(0.3 * r) + " " + Num(0.2 * r) + "\"" : std::string()) +
           "/>\n";
    svg += "<text x=\"" + Num(cx + 1.3 * r) + "\" y=\"" + Num(cy - 1.1 * r) + "\">" +
           XmlText(piece + " / " + model) + "</text>\n</g>\n";
    return svg;
}

std::string Legend(double left, double top, double r) {
    struct Entry {
        const char* fill;
        const char* stroke;
        double strokeWidth;
        bool dashed;
        const char* text;
    };
    const Entry entries[] = {{LayPreview::kPColour, "#555555", 0.08, false, "P record"},
                             {LayPreview::kTColour, "#555555", 0.08, false, "T record"},
                             {"none", LayPreview::kFlag1Colour, 0.2, false, "flag 1"},
                             {"none", "#555555", 0.08, true, "flag 2"}};
    std::string svg = "<g>\n";
    double x = left + r;
    for (const Entry& e : entries) {
        svg +=
            std::string("<circle cx=\"") + Num(x) + "\" cy=\"" + Num(top + r) + "\" r=\"" + Num(0.6 * r) +
            "\" fill=\"" + e.fill + "\" stroke=\"" + e.stroke + "\" stroke-width=\"" +
            Num(e.strokeWidth * r) + "\"" +
            (e.dashed ? " stroke-dasharray=\"" + Num(0.3 * r) + " " + Num(0.2 * r) + "\"" : std::string()) +
            "/>\n<text x=\"" + Num(x + r) + "\" y=\"" + Num(top + 1.35 * r) + "\">" + e.text + "</text>\n";
        x += 7 * r;
    }
    return svg + "</g>\n";
}
} // namespace

std::string LayPreview::Svg(const QuorLayY& lay) {
    std::vector<const Placement*> pieces;
    double highestY = 0.0;
    for (const Placement& p : lay.GetPlacements()) {
        if (Drawable(p)) {
            pieces.push_back(&p);
            highestY = std::max(highestY, std::fabs(static_cast<double>(p.y)));
        }
    }
    // A lay without a usable width is drawn as wide as its pieces reach.
    double width = lay.GetLayWidth();
    if (!std::isfinite(width) || width <= 0.0) {
        width = highestY > 0.0 ? highestY : 1.0;
    }
    const double r = width / kWidthPerDiscRadius;

    // The lay starts at 0, or further left when a piece lies there, and ends just after its last piece.
    double layLeft = 0.0;
    double layRight = pieces.empty() ? width : r;
    double lowest = 0.0; // drawing y of the lowest disc's bottom
    for (const Placement* p : pieces) {
        layLeft = std::min(layLeft, static_cast<double>(p->x));
        layRight = std::max(layRight, static_cast<double>(p->x) + r);
        lowest = std::max(lowest, -static_cast<double>(p->y) + 2 * r);
    }
    Box box{layLeft, -width, layRight, 0.0};
    for (const Placement* p : pieces) {
        box.Include(p->x, -static_cast<double>(p->y), 2 * r);
        box.Include(p->x + 12 * r, -static_cast<double>(p->y), 2 * r); // room for the label
    }
    const double legendTop = lowest + 0.5 * r; // below the lay and every piece
    box.Include(layLeft + 28 * r, legendTop + 2 * r, 0.0);
    box.Include(box.left, box.top, 2 * r);
    box.Include(box.right, box.bottom, 2 * r);

    const double boxWidth = box.right - box.left;
    const double boxHeight = box.bottom - box.top;
    const double scale = kLongestSidePixels / std::max(boxWidth, boxHeight);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Num(std::ceil(boxWidth * scale)) + "\" height=\"" + Num(std::ceil(boxHeight * scale)) +
                      "\" viewBox=\"" + Num(box.left) + " " + Num(box.top) + " " + Num(boxWidth) + " " +
                      Num(boxHeight) + "\" font-family=\"sans-serif\" font-size=\"" + Num(r) + "\">\n";
    svg += "<rect x=\"" + Num(box.left) + "\" y=\"" + Num(box.top) + "\" width=\"" + Num(boxWidth) +
           "\" height=\"" + Num(boxHeight) + "\" fill=\"" + kPageColour + "\"/>\n";
    svg += "<rect x=\"" + Num(layLeft) + "\" y=\"" + Num(-width) + "\" width=\"" + Num(layRight - layLeft) +
           "\" height=\"" + Num(width) + "\" fill=\"" + kLayColour + "\" stroke=\"#8c8c8c\" stroke-width=\"" +
           Num(0.1 * r) + "\"/>\n";
    for (const Placement* p : pieces) {
        svg += Piece(lay, *p, r);
    }
    svg += Legend(layLeft, legendTop, r);
    return svg + "</svg>\n";
}
