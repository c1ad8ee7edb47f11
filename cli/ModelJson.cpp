#include "ModelJson.h"

#include "ByteText.h"
#include "JsonWriter.h"
#include "Platform.h"
#include "export/QuorLayYExport.h"
#include "platform/PathMapping.h"
#include "platform/SystemError.h"

namespace quorix::cli {

namespace {
void Bytes(JsonWriter& json, const std::string& bytes) {
    if (IsValidUtf8(bytes)) {
        json.String(bytes);
        return;
    }
    json.BeginObject();
    json.Key("hex");
    json.String(HexOf(bytes));
    json.Key("text");
    json.String(ToValidUtf8(bytes));
    json.EndObject();
}

template <typename Items, typename Write>
void ListOf(JsonWriter& json, const char* key, const Items& items, Write write) {
    json.Key(key);
    json.BeginArray();
    for (const auto& item : items) {
        write(item);
    }
    json.EndArray();
}

void Ints(JsonWriter& json, const char* key, const std::vector<int32_t>& values) {
    ListOf(json, key, values, [&](int32_t v) { json.Int(v); });
}

void Placement(JsonWriter& json, const quorix::Placement& p) {
    json.BeginObject();
    json.Key("record");
    json.String(p.isP ? "P" : "T");
    const std::pair<const char*, int64_t> indices[] = {{"modelIndex", p.modelIndex},
                                                       {"pieceIndex", p.pieceIndex}};
    for (const auto& [key, value] : indices) {
        json.Key(key);
        json.Int(value);
    }
    const std::pair<const char*, float> reals[] = {
        {"x", p.x}, {"y", p.y}, {"angle", p.angle}, {"writtenAngle", quorix::WrittenAngle(p)}};
    for (const auto& [key, value] : reals) {
        json.Key(key);
        json.Float(value);
    }
    json.Key("flag1");
    json.Bool(p.flag1);
    json.Key("flag2");
    json.Bool(p.flag2);
    const std::pair<const char*, int64_t> values[] = {
        {"ordinalA", p.ordinalA}, {"ordinalB", p.ordinalB}, {"ordinalC", p.ordinalC}, {"valueC", p.valueC}};
    for (const auto& [key, value] : values) {
        json.Key(key);
        json.Int(value);
    }
    json.EndObject();
}

void Lay(JsonWriter& json, const QuorLayY& lay) {
    json.Key("width");
    json.Float(lay.GetLayWidth());
    json.Key("length");
    json.Float(lay.GetLayLength());
    ListOf(json, "pieceNames", lay.GetPieceNames(), [&](const std::string& n) { Bytes(json, n); });
    ListOf(json, "modelNames", lay.GetModelNames(), [&](const std::string& n) { Bytes(json, n); });
    ListOf(json, "placements", lay.GetPlacements(), [&](const quorix::Placement& p) { Placement(json, p); });
    ListOf(json, "placementCounts", lay.GetPlacementCounts(), [&](const auto& entry) {
        json.BeginObject();
        json.Key("model");
        json.Int(entry.first.first);
        json.Key("piece");
        json.Int(entry.first.second);
        json.Key("count");
        json.Int(entry.second);
        json.EndObject();
    });
    ListOf(json, "cEntries", lay.GetCEntries(), [&](const CEntry& e) {
        json.BeginArray();
        for (const uint32_t word : e.words) {
            json.Int(word);
        }
        json.EndArray();
    });
    ListOf(json, "kEntries", lay.GetKEntries(), [&](const KEntry& e) {
        json.BeginObject();
        ListOf(json, "words", e.words, [&](uint32_t word) { json.Int(word); });
        json.Key("value");
        json.Int(e.value);
        json.EndObject();
    });
    ListOf(json, "mGroups", lay.GetMGroups(), [&](const MGroup& g) {
        json.BeginObject();
        json.Key("name");
        Bytes(json, g.name);
        Ints(json, "values", g.values);
        json.EndObject();
    });
    Ints(json, "mValues", lay.GetMValues());
}

void Style(JsonWriter& json, const StyleEntry& entry, const StyleReading& reading) {
    static const QuorStyle kNotKept;
    const QuorStyle& style = reading.style != nullptr ? *reading.style : kNotKept;
    json.BeginObject();
    json.Key("styleName");
    Bytes(json, entry.styleName);
    ListOf(json, "sizes", entry.sizeItems, [&](const SizeItem& s) {
        json.BeginObject();
        json.Key("sizeKey");
        json.Int(s.sizeKey);
        json.Key("sizeValue");
        json.Float(s.sizeValue);
        json.Key("sizeCount");
        json.Int(s.sizeCount);
        json.Key("copies");
        json.Int(s.copies);
        json.EndObject();
    });
    json.Key("styleFile");
    Bytes(json, paths::ToSystemPath(reading.path));
    json.Key("styleLoaded");
    json.Bool(reading.Loaded());
    if (!reading.Loaded()) {
        json.Key("refusal");
        Bytes(json, reading.stoppedAt == QuorFile::Step::Open && reading.openError
                        ? reading.refusal + ": " + ErrorText(reading.openError)
                        : reading.refusal);
    }
    json.Key("formatVersion");
    json.Int(style.GetFormatVersion());
    json.Key("styleText");
    Bytes(json, style.GetStyleText());
    ListOf(json, "pieces", style.GetPieces(), [&](const StylePiece& p) {
        json.BeginObject();
        json.Key("pieceName");
        Bytes(json, p.pieceName);
        json.Key("pieceText");
        Bytes(json, p.pieceText);
        json.Key("quantity");
        json.Int(p.quantity);
        json.Key("extraQuantity");
        json.Int(p.extraQuantity);
        json.EndObject();
    });
    json.EndObject();
}

void Marker(JsonWriter& json, const QuorMarker& marker) {
    const std::vector<StyleReading>& styles = marker.GetStyleReadings();
    json.Key("formatVersion");
    json.Int(marker.GetFormatVersion());
    json.Key("header");
    json.BeginObject();
    const std::pair<const char*, int64_t> header[] = {
        {"headerInt1", marker.GetHeaderInt1()},  {"headerInt2", marker.GetHeaderInt2()},
        {"headerInt3", marker.GetHeaderInt3()},  {"headerInt4", marker.GetHeaderInt4()},
        {"headerInt5", marker.GetHeaderInt5()},  {"markerLength", marker.GetMarkerLength()},
        {"markerWidth", marker.GetMarkerWidth()}};
    for (const auto& [key, value] : header) {
        json.Key(key);
        json.Int(value);
    }
    json.Key("headerReal1");
    json.Float(marker.GetHeaderReal1());
    json.Key("headerReal2");
    json.Float(marker.GetHeaderReal2());
    json.Key("headerFlag1");
    json.Bool(marker.GetHeaderFlag1());
    json.EndObject();
    json.Key("options");
    json.BeginObject();
    json.Key("percentValue");
    json.Float(marker.GetPercentValue());
    json.Key("optionFlag1");
    json.Bool(marker.GetOptionFlag1());
    json.Key("optionFlag2");
    json.Bool(marker.GetOptionFlag2());
    json.Key("markerText1");
    Bytes(json, marker.GetMarkerText1());
    json.Key("markerText2");
    Bytes(json, marker.GetMarkerText2());
    json.EndObject();
    json.Key("styleEntries");
    json.BeginArray();
    for (size_t i = 0; i < marker.GetStyleEntries().size() && i < styles.size(); ++i) {
        Style(json, marker.GetStyleEntries()[i], styles[i]);
    }
    json.EndArray();
    ListOf(json, "sizeModels", marker.GetSizeModels(), [&](const auto& entry) {
        json.BeginObject();
        json.Key("sizeKey");
        json.Int(entry.first);
        ListOf(json, "pieces", entry.second, [&](const PieceTally& t) {
            json.BeginObject();
            json.Key("pieceName");
            Bytes(json, t.pieceName);
            json.Key("sizeValue");
            json.Float(t.sizeValue);
            json.Key("sizeCount");
            json.Int(t.sizeCount);
            json.Key("quantity");
            json.Int(t.quantity);
            json.Key("extraQuantity");
            json.Int(t.extraQuantity);
            json.EndObject();
        });
        json.EndObject();
    });
}
} // namespace

void WriteModelJson(const ImportReading& reading, const std::string& file, FILE* out) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("kind");
    json.String(reading.kind == ImportKind::LayY ? "lay" : "marker");
    json.Key("file");
    Bytes(json, file);
    if (reading.kind == ImportKind::LayY) {
        Lay(json, *reading.lay);
    } else if (reading.kind == ImportKind::Marker) {
        Marker(json, *reading.marker);
    }
    json.EndObject();
}

} // namespace quorix::cli
