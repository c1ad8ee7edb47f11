#include "ModelJson.h"

#include "JsonWriter.h"
#include "Platform.h"
#include "export/QuorLayYExport.h"
#include "platform/PathMapping.h"
#include "platform/RawFile.h"

namespace quorix::cli {

namespace {
void Placement(JsonWriter& json, const quorix::Placement& p) {
    json.BeginObject();
    json.Member("record", p.isP ? "P" : "T");
    json.Member("modelIndex", p.modelIndex);
    json.Member("pieceIndex", p.pieceIndex);
    json.Member("x", p.x);
    json.Member("y", p.y);
    json.Member("angle", p.angle);
    json.Member("writtenAngle", quorix::WrittenAngle(p));
    json.Member("flag1", p.flag1);
    json.Member("flag2", p.flag2);
    json.Member("ordinalA", p.ordinalA);
    json.Member("ordinalB", p.ordinalB);
    json.Member("ordinalC", p.ordinalC);
    json.Member("valueC", p.valueC);
    json.EndObject();
}

void Lay(JsonWriter& json, const QuorLayY& lay) {
    const auto bytes = [&](const std::string& name) { json.Bytes(name); };
    const auto integer = [&](int64_t value) { json.Int(value); };
    json.Member("width", lay.GetLayWidth());
    json.Member("length", lay.GetLayLength());
    json.List("pieceNames", lay.GetPieceNames(), bytes);
    json.List("modelNames", lay.GetModelNames(), bytes);
    json.List("placements", lay.GetPlacements(), [&](const quorix::Placement& p) { Placement(json, p); });
    json.List("placementCounts", lay.GetPlacementCounts(), [&](const auto& entry) {
        json.BeginObject();
        json.Member("model", entry.first.first);
        json.Member("piece", entry.first.second);
        json.Member("count", entry.second);
        json.EndObject();
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
        json.Member("value", e.value);
        json.EndObject();
    });
    json.List("mGroups", lay.GetMGroups(), [&](const MGroup& g) {
        json.BeginObject();
        json.Member("name", g.name);
        json.List("values", g.values, integer);
        json.EndObject();
    });
    json.List("mValues", lay.GetMValues(), integer);
}

void Style(JsonWriter& json, const StyleEntry& entry, const StyleReading& reading) {
    static const QuorStyle kNotKept;
    const QuorStyle& style = reading.style != nullptr ? *reading.style : kNotKept;
    json.BeginObject();
    json.Member("styleName", entry.styleName);
    json.List("sizes", entry.sizeItems, [&](const SizeItem& s) {
        json.BeginObject();
        json.Member("sizeKey", s.sizeKey);
        json.Member("sizeValue", s.sizeValue);
        json.Member("sizeCount", s.sizeCount);
        json.Member("copies", s.copies);
        json.EndObject();
    });
    json.Member("styleFile", paths::ToSystemPath(reading.path));
    json.Member("styleLoaded", reading.Loaded());
    if (!reading.Loaded()) {
        json.Member("refusal", reading.stoppedAt == QuorFile::Step::Open && reading.openError != 0
                                   ? reading.refusal + ": " + platform::ErrorText(reading.openError)
                                   : reading.refusal);
    }
    json.Member("formatVersion", style.GetFormatVersion());
    json.Member("styleText", style.GetStyleText());
    json.List("pieces", style.GetPieces(), [&](const StylePiece& p) {
        json.BeginObject();
        json.Member("pieceName", p.pieceName);
        json.Member("pieceText", p.pieceText);
        json.Member("quantity", p.quantity);
        json.Member("extraQuantity", p.extraQuantity);
        json.EndObject();
    });
    json.EndObject();
}

void Marker(JsonWriter& json, const QuorMarker& marker) {
    const std::vector<StyleReading>& styles = marker.GetStyleReadings();
    json.Member("formatVersion", marker.GetFormatVersion());
    json.Key("header");
    json.BeginObject();
    json.Member("headerInt1", marker.GetHeaderInt1());
    json.Member("headerInt2", marker.GetHeaderInt2());
    json.Member("headerInt3", marker.GetHeaderInt3());
    json.Member("headerInt4", marker.GetHeaderInt4());
    json.Member("headerInt5", marker.GetHeaderInt5());
    json.Member("markerLength", marker.GetMarkerLength());
    json.Member("markerWidth", marker.GetMarkerWidth());
    json.Member("headerReal1", marker.GetHeaderReal1());
    json.Member("headerReal2", marker.GetHeaderReal2());
    json.Member("headerFlag1", marker.GetHeaderFlag1());
    json.EndObject();
    json.Key("options");
    json.BeginObject();
    json.Member("percentValue", marker.GetPercentValue());
    json.Member("optionFlag1", marker.GetOptionFlag1());
    json.Member("optionFlag2", marker.GetOptionFlag2());
    json.Member("markerText1", marker.GetMarkerText1());
    json.Member("markerText2", marker.GetMarkerText2());
    json.EndObject();
    json.Key("styleEntries");
    json.BeginArray();
    for (size_t i = 0; i < marker.GetStyleEntries().size() && i < styles.size(); ++i) {
        Style(json, marker.GetStyleEntries()[i], styles[i]);
    }
    json.EndArray();
    json.List("sizeModels", marker.GetSizeModels(), [&](const auto& entry) {
        json.BeginObject();
        json.Member("sizeKey", entry.first);
        json.List("pieces", entry.second, [&](const PieceTally& t) {
            json.BeginObject();
            json.Member("pieceName", t.pieceName);
            json.Member("sizeValue", t.sizeValue);
            json.Member("sizeCount", t.sizeCount);
            json.Member("quantity", t.quantity);
            json.Member("extraQuantity", t.extraQuantity);
            json.EndObject();
        });
        json.EndObject();
    });
}
} // namespace

void WriteModelJson(const ImportReading& reading, const std::string& file, FILE* out) {
    JsonWriter json(out);
    json.BeginObject();
    json.Member("kind", reading.kind == ImportKind::LayY ? "lay" : "marker");
    json.Member("file", file);
    if (reading.kind == ImportKind::LayY) {
        Lay(json, *reading.lay);
    } else if (reading.kind == ImportKind::Marker) {
        Marker(json, *reading.marker);
    }
    json.EndObject();
}

} // namespace quorix::cli
