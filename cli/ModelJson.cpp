#include "ModelJson.h"

#include "JsonWriter.h"
#include "Platform.h"
#include "export/QuorLayYExport.h"
#include "platform/PathMapping.h"
#include "platform/SystemError.h"

namespace quorix::cli {

namespace {
void Lay(JsonWriter& json, const QuorLayY& lay) {
    const auto bytes = [&](const std::string& name) { json.Bytes(name); };
    const auto integer = [&](int64_t value) { json.Int(value); };
    json.Members("width", lay.GetLayWidth(), "length", lay.GetLayLength());
    json.List("pieceNames", lay.GetPieceNames(), bytes);
    json.List("modelNames", lay.GetModelNames(), bytes);
    json.List("placements", lay.GetPlacements(), [&](const Placement& p) {
        json.Object("record", p.isP ? "P" : "T", "modelIndex", p.modelIndex, "pieceIndex", p.pieceIndex, "x",
                    p.x, "y", p.y, "angle", p.angle, "writtenAngle", WrittenAngle(p), "flag1", p.flag1,
                    "flag2", p.flag2, "ordinalA", p.ordinalA, "ordinalB", p.ordinalB, "ordinalC", p.ordinalC,
                    "valueC", p.valueC);
    });
    json.List("placementCounts", lay.GetPlacementCounts(), [&](const auto& entry) {
        json.Object("model", entry.first.first, "piece", entry.first.second, "count", entry.second);
    });
    json.List("cEntries", lay.GetCEntries(), [&](const CEntry& e) {
        json.BeginArray();
        for (const uint32_t word : e.words) {
            json.Int(word);
        }
        json.EndArray();
    });
    json.List("kEntries", lay.GetKEntries(), [&](const KEntry& e) {
        json.BeginObject();
        json.List("words", e.words, integer);
        json.Members("value", e.value);
        json.EndObject();
    });
    json.List("mGroups", lay.GetMGroups(), [&](const MGroup& g) {
        json.BeginObject();
        json.Members("name", g.name);
        json.List("values", g.values, integer);
        json.EndObject();
    });
    json.List("mValues", lay.GetMValues(), integer);
}

void Style(JsonWriter& json, const StyleEntry& entry, const StyleReading& reading) {
    static const QuorStyle kNotKept;
    const QuorStyle& style = reading.style != nullptr ? *reading.style : kNotKept;
    json.BeginObject();
    json.Members("styleName", entry.styleName);
    json.List("sizes", entry.sizeItems, [&](const SizeItem& s) {
        json.Object("sizeKey", s.sizeKey, "sizeValue", s.sizeValue, "sizeCount", s.sizeCount, "copies",
                    s.copies);
    });
    json.Members("styleFile", paths::ToSystemPath(reading.path), "styleLoaded", reading.Loaded());
    if (!reading.Loaded()) {
        json.Members("refusal", reading.stoppedAt == QuorFile::Step::Open && reading.openError
                                    ? reading.refusal + ": " + ErrorText(reading.openError)
                                    : reading.refusal);
    }
    json.Members("formatVersion", style.GetFormatVersion(), "styleText", style.GetStyleText());
    json.List("pieces", style.GetPieces(), [&](const StylePiece& p) {
        json.Object("pieceName", p.pieceName, "pieceText", p.pieceText, "quantity", p.quantity,
                    "extraQuantity", p.extraQuantity);
    });
    json.EndObject();
}

void Marker(JsonWriter& json, const QuorMarker& marker) {
    const std::vector<StyleReading>& styles = marker.GetStyleReadings();
    json.Members("formatVersion", marker.GetFormatVersion());
    json.Key("header");
    json.Object("headerInt1", marker.GetHeaderInt1(), "headerInt2", marker.GetHeaderInt2(), "headerInt3",
                marker.GetHeaderInt3(), "headerInt4", marker.GetHeaderInt4(), "headerInt5",
                marker.GetHeaderInt5(), "markerLength", marker.GetMarkerLength(), "markerWidth",
                marker.GetMarkerWidth(), "headerReal1", marker.GetHeaderReal1(), "headerReal2",
                marker.GetHeaderReal2(), "headerFlag1", marker.GetHeaderFlag1());
    json.Key("options");
    json.Object("percentValue", marker.GetPercentValue(), "optionFlag1", marker.GetOptionFlag1(),
                "optionFlag2", marker.GetOptionFlag2(), "markerText1", marker.GetMarkerText1(), "markerText2",
                marker.GetMarkerText2());
    json.Key("styleEntries");
    json.BeginArray();
    for (size_t i = 0; i < marker.GetStyleEntries().size() && i < styles.size(); ++i) {
        Style(json, marker.GetStyleEntries()[i], styles[i]);
    }
    json.EndArray();
    json.List("sizeModels", marker.GetSizeModels(), [&](const auto& entry) {
        json.BeginObject();
        json.Members("sizeKey", entry.first);
        json.List("pieces", entry.second, [&](const PieceTally& t) {
            json.Object("pieceName", t.pieceName, "sizeValue", t.sizeValue, "sizeCount", t.sizeCount,
                        "quantity", t.quantity, "extraQuantity", t.extraQuantity);
        });
        json.EndObject();
    });
}
} // namespace

void WriteModelJson(const ImportReading& reading, const std::string& file, FILE* out) {
    JsonWriter json(out);
    json.BeginObject();
    json.Members("kind", reading.kind == ImportKind::LayY ? "lay" : "marker", "file", file);
    if (reading.kind == ImportKind::LayY) {
        Lay(json, *reading.lay);
    } else if (reading.kind == ImportKind::Marker) {
        Marker(json, *reading.marker);
    }
    json.EndObject();
}

} // namespace quorix::cli
