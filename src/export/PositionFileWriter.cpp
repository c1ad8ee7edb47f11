#include "export/PositionFileWriter.h"

#include "export/QuorLayYExport.h"
#include "runtime/NumberFormat.h"
#include "runtime/TextModeWriter.h"

#include <algorithm>
#include <cstring>

namespace quorix::detail {

using runtime::kNumberRoom;
using runtime::TextModeWriter;
using runtime::WriteGeneral;
using runtime::WriteInteger;

PositionFileWriter::Names::Names(const std::vector<std::string>& names) {
    // One block of all names one after another, each line feed as CR LF, and room for the last copy.
    size_t total = kBlock;
    for (const std::string& name : names) {
        total += name.size() + static_cast<size_t>(std::count(name.begin(), name.end(), '\n'));
    }
    stored.resize(total);
    starts.reserve(names.size() + 1);
    char* const first = &stored[0];
    char* end = first;
    for (const std::string& name : names) {
        starts.push_back(static_cast<size_t>(end - first));
        end = TextModeWriter::StoreText(end, name.data(), name.size());
    }
    starts.push_back(static_cast<size_t>(end - first));
}

char* PositionFileWriter::Names::CopyTo(char* out, size_t i) const {
    // Whole blocks, which may take the start of the next name with them: the room after the name is
    // written over by what follows it.
    const char* from = stored.data() + starts[i];
    const size_t length = Length(i);
    for (size_t k = 0; k < length; k += kBlock) {
        std::memcpy(out + k, from + k, kBlock);
    }
    return out + length;
}

void PositionFileWriter::Line(runtime::ByteSink& file, const PlacementList::Entry& position) const {
    // The line is put together in place in its stored form: the names, each rounded up to whole blocks,
    // then five numbers with room for each.
    const auto piece = static_cast<size_t>(position.pieceIndex);
    const auto model = static_cast<size_t>(position.modelIndex);
    char* p = file.Reserve(pieces.Length(piece) + models.Length(model) + 2 * Names::kBlock + 5 * kNumberRoom + 16);
    p = pieces.CopyTo(p, piece);
    *p++ = ',';
    p = models.CopyTo(p, model);
    *p++ = ',';
    p = WriteInteger(p, position.IsP() ? kKindP : kKindT);
    *p++ = ',';
    p = WriteInteger(p, (position.Flag1() ? 1 : 0) + (position.Flag2() ? 2 : 0));
    *p++ = ',';
    p = WriteGeneral(p, WrittenAngle(position.angle, position.Flag1()));
    *p++ = ',';
    p = WriteGeneral(p, position.x);
    *p++ = ',';
    p = WriteGeneral(p, position.y);
    std::memcpy(p, ",0,0,0\r\n", 8);
    file.Commit(p + 8);
}

} // namespace quorix::detail
