#include "ModelJson.h"

#include "ByteText.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstdlib>

// Objects keep their members in the order written here.
using json = nlohmann::ordered_json;

namespace {
json Bytes(const std::string& bytes) {
    if (IsValidUtf8(bytes)) {
        return bytes;
    }
    return json{{"hex", HexOf(bytes)}, {"text", ToValidUtf8(bytes)}};
}

json Number(float value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    // The shortest decimal form of the single-precision value, so that 0.8f is written 0.8.
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text - 1, value).ptr;
    *end = '\0';
    return std::strtod(text, nullptr);
}

template <typename Items, typename Convert> json ListOf(const Items& items, Convert convert) {
    json list = json::array();
    for (const auto& item : items) {
        list.push_back(convert(item));
    }
    return list;
}

json LayJson(const QuorLayY& lay) {
    json placements = json::array();
    for (const Placement& p : lay.GetPlacements()) {
        placements.push_back({{"record", p.isP ? "P" : "T"},
                              {"modelIndex", p.modelIndex},
                              {"pieceIndex", p.pieceIndex},
                              {"x", Number(p.x)},
                              {"y", Number(p.y)},
                              {"angle", Number(p.angle)},
                              {"writtenAngle", Number(QuorLayY::WrittenAngle(p))},
                              {"flag1", p.flag1},
                              {"flag2", p.flag2},
                              {"ordinalA", p.ordinalA},
                              {"ordinalB", p.ordinalB},
                              {"ordinalC", p.ordinalC},
                              {"valueC", p.valueC},
                              {"isP", p.isP},
                              {"matched", p.matched}});
    }
    json counts = json::array();
    for (const auto& [key, count] : lay.GetPlacementCounts()) {
        counts.push_back({{"model", key.first}, {"piece", key.second}, {"count", count}});
    }
    return {{"width", Number(lay.GetLayWidth())},
            {"length", Number(lay.GetLayLength())},
            {"pieceNames", ListOf(lay.GetPieceNames(), Bytes)},
            {"modelNames", ListOf(lay.GetModelNames(), Bytes)},
            {"placements", placements},
            {"placementCounts", counts},
            {"cEntries", ListOf(lay.GetCEntries(), [](const CEntry& e) { return json(e.words); })},
            {"kEntries", ListOf(lay.GetKEntries(),
                                [](const KEntry& e) {
                                    return json{{"words", e.words}, {"value", e.value}};
                                })},
            {"mGroups", ListOf(lay.GetMGroups(),
                               [](const MGroup& g) {
                                   return json{{"name", Bytes(g.name)}, {"values", g.values}};
                               })},
            {"mValues", lay.GetMValues()}};
}

json StyleJson(const StyleEntry& entry, const StyleReading& reading) {
    json style = {{"styleName", Bytes(entry.styleName)},
                  {"sizes", ListOf(entry.sizeItems,
                                   [](const SizeItem& s) {
                                       return json{{"sizeKey", s.sizeKey},
                                                   {"sizeValue", Number(s.sizeValue)},
                                                   {"sizeCount", s.sizeCount},
                                                   {"copies", s.copies}};
                                   })},
                  {"styleFile", Bytes(reading.path)},
                  {"styleLoaded", reading.loaded}};
    if (!reading.loaded) {
        style["refusal"] = Bytes(reading.refusal);
    }
    style["formatVersion"] = reading.style->GetFormatVersion();
    style["styleText"] = Bytes(reading.style->GetStyleText());
    style["pieces"] = ListOf(reading.style->GetPieces(), [](const StylePiece& p) {
        return json{{"pieceName", Bytes(p.pieceName)},
                    {"pieceText", Bytes(p.pieceText)},
                    {"quantity", p.quantity},
                    {"extraQuantity", p.extraQuantity}};
    });
    return style;
}

json MarkerJson(const QuorMarker& marker, const std::vector<StyleReading>& styles) {
    json entries = json::array();
    for (size_t i = 0; i < marker.GetStyleEntries().size() && i < styles.size(); ++i) {
        entries.push_back(StyleJson(marker.GetStyleEntries()[i], styles[i]));
    }
    json models = json::array();
    for (const auto& [sizeKey, model] : marker.GetSizeModels()) {
        models.push_back({{"sizeKey", sizeKey}, {"pieces", ListOf(model, [](const PieceTally& t) {
                                                     return json{{"pieceName", Bytes(t.pieceName)},
                                                                 {"sizeValue", Number(t.sizeValue)},
                                                                 {"sizeCount", t.sizeCount},
                                                                 {"quantity", t.quantity},
                                                                 {"extraQuantity", t.extraQuantity}};
                                                 })}});
    }
    return {{"formatVersion", marker.GetFormatVersion()},
            {"header",
             {{"headerInt1", marker.GetHeaderInt1()},
              {"headerReal1", Number(marker.GetHeaderReal1())},
              {"headerReal2", Number(marker.GetHeaderReal2())},
              {"headerInt2", marker.GetHeaderInt2()},
              {"headerInt3", marker.GetHeaderInt3()},
              {"headerInt4", marker.GetHeaderInt4()},
              {"headerInt5", marker.GetHeaderInt5()},
              {"markerLength", marker.GetMarkerLength()},
              {"markerWidth", marker.GetMarkerWidth()},
              {"headerFlag1", marker.GetHeaderFlag1()}}},
            {"options",
             {{"percentValue", Number(marker.GetPercentValue())},
              {"optionFlag1", marker.GetOptionFlag1()},
              {"optionFlag2", marker.GetOptionFlag2()},
              {"markerText1", Bytes(marker.GetMarkerText1())},
              {"markerText2", Bytes(marker.GetMarkerText2())}}},
            {"styleEntries", entries},
            {"sizeModels", models}};
}
} // namespace

std::string ModelJson(const Inspection& inspection, const std::string& file) {
    json document = {{"kind", inspection.lay != nullptr ? "lay" : "marker"}, {"file", Bytes(file)}};
    if (inspection.lay != nullptr) {
        document.update(LayJson(*inspection.lay));
    } else if (inspection.marker != nullptr) {
        document.update(MarkerJson(*inspection.marker, inspection.styles));
    }
    return document.dump(2) + "\n";
}
