// The shortcuts of the hot paths against the slow routes that they stand for: reads straight from the
// stream buffer against the folding read, and the quick number routes against the 21-digit expansion.
#include "export/NumberFormat.h"
#include "files/QuorBinaryFile.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

class Probe : public QuorBinaryFile {
public:
    bool Parse() override { return true; }
    using QuorBinaryFile::Position;
    using QuorBinaryFile::ReadBytesFolding;
    using QuorBinaryFile::TakeDirect;
};

// Streams thick with CR, LF and NUL, some read from the last byte of the 64 KiB stream buffer on (a CR,
// followed by an LF or not), in sizes 1 to 9, as placement entries (whole when the entry allows it, else
// field by field) and as strings: the same bytes, positions and end as folding reads of the same sizes.
TEST(FastPaths, DirectReadsDeliverWhatFoldingDelivers) {
    Log::DisableFile();
    TempDir dir;
    std::mt19937 random(7);
    const std::vector<int> entry = {4, 4, 1, 1, 1, 1, 4, 4, 4, 2, 2, 4, 4, 1, 1, 2, 1, 1, 2};
    for (int round = 0; round < 36; ++round) {
        std::string bytes(round < 6 ? 70000 : 2000, 'x');
        for (char& c : bytes) {
            c = "\r\n\r\0ab"[random() % 6];
        }
        bytes.replace(65535 % bytes.size(), 2, round % 2 == 0 ? "\r\n" : "\rx");
        Probe fast;
        Probe slow;
        ASSERT_TRUE(fast.Open(dir.Write(std::to_string(round), bytes)) && slow.Open(fast.GetFileName()));
        fast.Skip(round < 6 ? 65535 - round % 2 : 0);
        slow.Skip(round < 6 ? 65535 - round % 2 : 0);
        const int mode = round % 3;
        for (int step = 0;; ++step) {
            const std::vector<int> sizes =
                mode == 1 ? entry : std::vector<int>{1 + static_cast<int>(random() % 9)};
            std::string a;
            std::string b;
            auto readsToTheEnd = [](std::string& out, auto readPart) {
                try {
                    readPart(out);
                    return false;
                } catch (const QuorUnhandledFormatFeatureException&) {
                    return true;
                }
            };
            const bool endA = readsToTheEnd(a, [&](std::string& out) {
                const char* direct = mode == 1 ? fast.TakeDirect(44) : nullptr;
                for (const int size : direct != nullptr || mode == 2 ? std::vector<int>() : sizes) {
                    out.resize(out.size() + static_cast<size_t>(size));
                    fast.ReadBytes(&out[out.size() - static_cast<size_t>(size)], size);
                }
                out = direct != nullptr ? std::string(direct, 44) : out;
                if (mode == 2) {
                    const int consumed = fast.ReadString(out);
                    out += std::string(1, '\0') + std::to_string(consumed);
                }
            });
            const bool endB = readsToTheEnd(b, [&](std::string& out) {
                for (size_t i = 0; mode == 2 ? out.empty() || out.back() != '\0' : i < sizes.size(); ++i) {
                    const int size = mode == 2 ? 1 : sizes[i];
                    out.resize(out.size() + static_cast<size_t>(size));
                    slow.ReadBytesFolding(&out[out.size() - static_cast<size_t>(size)], size);
                }
                out += mode == 2 ? std::to_string(out.size()) : ""; // a string with the bytes it took
            });
            ASSERT_EQ(endA, endB) << "round " << round << " step " << step;
            if (endA) {
                EXPECT_GT(step, 10);
                break;
            }
            ASSERT_EQ(a, b) << "round " << round << " step " << step;
            ASSERT_EQ(fast.Position(), slow.Position()) << "round " << round << " step " << step;
        }
    }
}

// Floats, doubles of every kind, short mantissas at all scales, and decimal halves on the seventh digit.
TEST(FastPaths, GeneralNotationRoutesWriteWhatTheExpansionGives) {
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t bits = random();
        float single = 0.0f;
        double wide = 0.0;
        std::memcpy(&single, &bits, sizeof single);
        std::memcpy(&wide, &bits, sizeof wide);
        const double half = static_cast<double>((100000 + bits % 900000) * 10 + 5) * std::pow(10.0, bits % 9);
        const double scaled = std::ldexp(static_cast<double>(bits >> 40), static_cast<int>(bits % 90) - 70);
        // Positions as lays hold them: tenths and thousandths of a millimetre, whole right angles.
        const double tenths = static_cast<double>(static_cast<float>(bits % 16000000) / 10.0f);
        const double thousandths = static_cast<double>(bits % 100000000) / 1000.0;
        for (const double value : {static_cast<double>(single), wide, half, scaled, -scaled / 10, tenths,
                                   -thousandths, static_cast<double>(bits % 4 * 90)}) {
            std::string quick;
            std::string expansion;
            NumberFormat::AppendGeneral(quick, value);
            NumberFormat::AppendGeneralByExpansion(expansion, value);
            ASSERT_EQ(quick, expansion) << std::hexfloat << value;
        }
    }
}

} // namespace
