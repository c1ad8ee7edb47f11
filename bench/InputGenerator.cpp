#include "InputGenerator.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>

namespace bench {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr size_t kMaxContent = 32766; // the largest content a 16-bit length field can declare

// splitmix64: small, fast and the same on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

private:
    uint64_t state;
};

void PutU32(std::string& out, uint32_t value) {
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

void PutI32(std::string& out, int64_t value) {
    PutU32(out, static_cast<uint32_t>(value));
}

void PutI16(std::string& out, int value) {
    out += static_cast<char>(static_cast<uint32_t>(value) >> 8);
    out += static_cast<char>(value);
}

void PutF32(std::string& out, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    PutU32(out, bits);
}

void PutString(std::string& out, const std::string& text) {
    out += text;
    out += '\0';
}

// The file bytes of a record's content, given the bytes that the reader is to deliver: a line feed marked
// in `pairAt` is written as CR LF, and so is one that follows a CR of the content (written bare, the two
// would be folded into one line feed).
std::string Unfold(const std::string& content, const std::vector<bool>& pairAt) {
    std::string file;
    file.reserve(content.size() + content.size() / 16);
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] == kLf && ((i < pairAt.size() && pairAt[i]) || (i > 0 && content[i - 1] == kCr))) {
            file += kCr;
        }
        file += content[i];
    }
    return file;
}

class LayWriter {
public:
    // One record; `content` holds the bytes as the reader delivers them.
    void Record(char tag, const std::string& content, const std::vector<bool>& pairAt = {}) {
        // A CR as the last byte of a record would make the reader look one byte into the next record.
        if (!content.empty() && content.back() == kCr) {
            throw std::logic_error("record content ends in CR");
        }
        const std::string file = Unfold(content, pairAt);
        if (file.size() > kMaxContent) {
            throw std::logic_error("record content too long");
        }
        const int length = static_cast<int>(file.size()) + 1;
        if ((length >> 8) == kCr && (length & 0xFF) == kLf) {
            // A length field of the bytes CR LF would be folded; no record of the generator has it.
            throw std::logic_error("length field folds");
        }
        PutI16(bytes, length);
        bytes += tag;
        bytes += file;
    }
    std::string& Bytes() { return bytes; }

private:
    std::string bytes;
};

// The 44 bytes of a placement entry as the reader delivers them.
void PutEntry(std::string& out, Random& random, const LayParams& params, bool withPair) {
    static const float kRightAngles[] = {0.0f, 90.0f, 180.0f, 270.0f};
    const uint32_t pick = random.Below(8);
    const float angle = pick < 6 ? kRightAngles[pick & 3] : static_cast<float>(random.Below(3600)) / 10.0f;
    if (params.collidingPairs) {
        const int64_t pairs = std::min<int64_t>(int64_t{params.models} * params.pieces, 8192);
        PutU32(out, random.Below(static_cast<uint32_t>(pairs)) << 19);
        PutI32(out, 0);
    } else {
        PutI32(out, random.Below(static_cast<uint32_t>(params.models)));
        PutI32(out, random.Below(static_cast<uint32_t>(params.pieces)));
    }
    out += static_cast<char>(random.Below(2));      // flag1
    out += static_cast<char>(1);                    // ordinalA
    out += withPair ? kLf : '\0';                   // dropped
    out += static_cast<char>(random.Below(4) == 0); // flag2
    PutF32(out, angle);
    PutF32(out, static_cast<float>(random.Below(1600000)) / 10.0f); // x, up to 160 m
    PutF32(out, static_cast<float>(random.Below(16000)) / 10.0f);   // y, across a 1.6 m lay
    PutI16(out, static_cast<int>(1 + random.Below(1000)));          // ordinalB
    PutI16(out, 0);
    PutI32(out, 0);
    PutI32(out, random.Below(100000)); // valueC
    out += '\0';
    out += '\0';
    PutI16(out, 1); // ordinalC
    out += '\0';
    out += '\0';
    PutI16(out, 0); // the entry never ends in CR
}

void PutNames(LayWriter& lay, const std::vector<std::string>& names, bool pieces) {
    // The name tables in as many 'O' records as they need: pieces in the first list, models in the second.
    size_t next = 0;
    do {
        std::string list;
        int32_t count = 0;
        while (next < names.size() && list.size() + names[next].size() + 1 < kMaxContent - 64) {
            PutString(list, names[next++]);
            ++count;
        }
        std::string content;
        PutI32(content, pieces ? count : 0);
        if (pieces) {
            content += list;
        }
        PutI32(content, pieces ? 0 : count);
        if (!pieces) {
            content += list;
        }
        lay.Record('O', content);
    } while (next < names.size());
}

std::string Line(std::string text) {
    text += "\r\n";
    return text;
}

void MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            throw std::runtime_error("cannot create folder " + path);
        }
    }
}

} // namespace

std::string MakeLay(const LayParams& params) {
    if (params.models < 1 || params.pieces < 1 || params.placements < 0) {
        throw std::invalid_argument("a lay needs at least one model and one piece");
    }
    Random random(params.seed);
    LayWriter lay;
    std::string content;

    PutI32(content, 1);
    lay.Record('Y', content);
    content.clear();
    PutF32(content, 1600.0f);
    PutF32(content, 100000.0f);
    for (int i = 0; i < 4; ++i) {
        PutI32(content, 0);
    }
    lay.Record('W', content);

    std::vector<std::string> names;
    for (int32_t i = 0; i < params.pieces; ++i) {
        names.push_back("PIECE-" + std::to_string(i));
    }
    PutNames(lay, names, true);
    names.clear();
    for (int32_t i = 0; i < params.models; ++i) {
        names.push_back("M" + std::to_string(34 + 2 * i));
    }
    PutNames(lay, names, false);

    // Records that the reader reads and drops, and one that it skips unread.
    content.clear();
    PutI32(content, 3); // count 3: two entries of nine words
    for (int i = 0; i < 18; ++i) {
        PutI32(content, i);
    }
    lay.Record('C', content);
    content.clear();
    PutI32(content, 1); // one group of two values, then one value
    PutString(content, "GROUP");
    PutI32(content, 2);
    PutI32(content, 7);
    PutI32(content, 8);
    PutI32(content, 1);
    PutI32(content, 9);
    lay.Record('M', content);
    content.clear();
    for (int i = 0; i < 5; ++i) {
        PutI32(content, 100 + i);
    }
    PutString(content, "label");
    lay.Record('L', content);
    lay.Record('B', std::string(6, 'b'));
    lay.Record('A', std::string(9, 'a'));

    // The placements, as many to a record as its length field allows. An entry that does not fit any
    // more opens the next record.
    int64_t made = 0;
    int64_t recordCount = 0;
    std::string entry;
    std::vector<bool> entryPairs;
    auto makeEntry = [&] {
        const bool withPair = params.crlfEvery > 0 && made % params.crlfEvery == 0;
        entry.clear();
        entryPairs.clear();
        PutEntry(entry, random, params, withPair);
        for (size_t i = 0; i < entry.size(); ++i) {
            entryPairs.push_back(entry[i] == kLf && (withPair || (i > 0 && entry[i - 1] == kCr)));
        }
        ++made;
    };
    std::string entries;
    std::vector<bool> pairAt;
    if (params.placements > 0) {
        makeEntry();
    }
    while (!entry.empty()) {
        entries.clear();
        pairAt.assign(4, false);  // the count
        size_t fileBytes = 4 + 8; // the count, and room for CRs that the count's bytes may need
        int32_t count = 0;
        for (;;) {
            size_t entryFileBytes = entry.size();
            for (const bool pair : entryPairs) {
                entryFileBytes += pair ? 1 : 0;
            }
            if (fileBytes + entryFileBytes > kMaxContent) {
                break;
            }
            fileBytes += entryFileBytes;
            entries += entry;
            pairAt.insert(pairAt.end(), entryPairs.begin(), entryPairs.end());
            ++count;
            entry.clear();
            if (made == params.placements) {
                break;
            }
            makeEntry();
        }
        content.clear();
        PutI32(content, count);
        content += entries;
        lay.Record(recordCount % 8 == 7 ? 'T' : 'P', content, pairAt);
        ++recordCount;
    }
    return std::move(lay.Bytes());
}

MarkerFiles WriteMarker(const MarkerParams& params, const std::string& folder) {
    if (params.styles < 0 || params.styles > 40 || params.sizes < 0 || params.piecesPerStyle < 0) {
        throw std::invalid_argument("a marker holds 0 to 40 styles");
    }
    MarkerFiles files;
    MakeFolder(folder);
    MakeFolder(folder + "/markers");
    MakeFolder(folder + "/styles");

    std::string marker = Line("%19");
    const char* header[] = {"0", "1", "1", "0", "0", "0", "0", "50800000", "1651000", "0"};
    for (const char* value : header) {
        marker += Line(value);
    }
    marker += Line("%");
    const char* options[] = {"80", "0", "0", "0", "bench marker", "generated", "notes", "0",
                             "0",  "0", "0", "0"};
    for (const char* value : options) {
        marker += Line(value);
    }
    for (int32_t slot = 0; slot < 40; ++slot) {
        if (slot >= params.styles) {
            marker += Line("");
            marker += Line("0");
            continue;
        }
        marker += Line("style" + std::to_string(slot) + ".sty");
        marker += Line(std::to_string(params.sizes));
        for (int32_t z = 0; z < params.sizes; ++z) {
            marker += Line(std::to_string(34 + 2 * z));
        }
        for (int32_t z = 0; z < params.sizes; ++z) {
            marker += Line("1");
        }
        for (int32_t z = 0; z < params.sizes; ++z) {
            marker += Line(std::to_string(1 + z % 3));
        }
        if (params.sizes >= 1) {
            marker += Line("0");
            marker += Line("0");
        }

        std::string style = Line("%16") + Line("1") + Line("first text") + Line("second text") +
                            Line("style " + std::to_string(slot)) + Line("more text");
        for (int32_t k = 0; k < params.piecesPerStyle; ++k) {
            const std::string name = k % 2 == 0 ? "PC" + std::to_string(k)
                                                : "S" + std::to_string(slot) + "-PC" + std::to_string(k);
            style += Line("+ piece");
            style += Line(name);
            style += Line("piece text");
            style += Line("W " + std::to_string(1 + k % 4) + " " + std::to_string(k % 3) + " rest");
            style += Line("0") + Line("a") + Line("b") + Line("0");
            for (int i = 0; i < 5; ++i) {
                style += Line("unused");
            }
        }
        style += Line("END");
        WriteFile(folder + "/styles/style" + std::to_string(slot) + ".sty", style);
        files.totalBytes += static_cast<int64_t>(style.size());
    }
    files.markerPath = folder + "/markers/bench.mkr";
    WriteFile(files.markerPath, marker);
    files.totalBytes += static_cast<int64_t>(marker.size());
    return files;
}

std::string MakeTextLines(int64_t lines) {
    std::string text;
    text.reserve(static_cast<size_t>(lines) * 10);
    for (int64_t i = 0; i < lines; ++i) {
        switch (i % 3) {
        case 0:
            text += std::to_string(i * 7 % 100000);
            break;
        case 1:
            text += std::to_string(i % 1000) + ".25";
            break;
        default:
            text += "PIECE-" + std::to_string(i % 500);
            break;
        }
        text += "\r\n";
    }
    return text;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !ok) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace bench
