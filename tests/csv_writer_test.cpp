// The indicator CSV writer: its float text against std::to_chars over a
// sweep of every float's bit patterns and the neighbours of every power of
// ten and two; and the same bytes whether its chunks are formatted in turn,
// in the other order or on two threads at once, also while the outputs are
// still being filled.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "csv_writer.hpp"
#include "float_text.hpp"
#include "series_generator.hpp"

using namespace zorvane_cli;

namespace {

float fromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The first float whose text differs from std::to_chars's, by either writer.
testing::AssertionResult sameTextAsToChars(float value) {
    char expected[64], shortest[64], price[64];
    const std::string wanted(expected, std::to_chars(expected, expected + sizeof expected, value).ptr);
    const std::string first(shortest, writeShortestFloat(shortest, value));
    const std::string second(price, writeShortestPrice(price, value));
    if (first == wanted && second == wanted) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "bits " << std::hex << bitsOf(value) << ": to_chars " << wanted
                                       << ", writeShortestFloat " << first << ", writeShortestPrice " << second;
}

TEST(FloatText, EqualsToCharsOverEveryKindOfFloat) {
    // A stride through all bit patterns: both signs, subnormals, infinities, NaNs.
    for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << 32); bits += 1031)
        ASSERT_TRUE(sameTextAsToChars(fromBits(static_cast<std::uint32_t>(bits))));
    // Around every power of ten and of two, and decimals as prices are written.
    for (int e = -46; e <= 39; ++e) {
        const float ten = static_cast<float>(std::pow(10.0, e));
        for (float v : {ten, std::ldexp(1.0f, e * 3)}) {
            std::uint32_t bits = bitsOf(v);
            for (std::uint32_t k = bits > 64 ? bits - 64 : 0; k <= bits + 64; ++k)
                ASSERT_TRUE(sameTextAsToChars(fromBits(k)));
        }
    }
    for (std::uint32_t cents = 0; cents < 2000000; cents += 7)
        for (double scale : {0.01, 0.0001, 1.0, 100.0})
            ASSERT_TRUE(sameTextAsToChars(static_cast<float>(cents * scale)));
}

BarTable tableOf(std::size_t count) {
    const auto series = testing_support::generateSeries(3, static_cast<int>(count));
    BarTable table;
    table.timeName = "time";
    table.priceAName = "high";
    table.priceBName = "low";
    table.priceA.assign(series.priceA.begin(), series.priceA.end());
    table.priceB.assign(series.priceB.begin(), series.priceB.end());
    for (std::size_t i = 0; i < table.priceA.size(); ++i) table.time.push_back(i % 7 ? "t" + std::to_string(i) : "a,\"b\"");
    return table;
}

FloatColumn outputOf(const BarTable& table, int mode) {
    const auto values =
        zorvane::compute(table.priceA.data(), table.priceB.data(), table.size(), static_cast<zorvane::Mode>(mode));
    return FloatColumn(values.begin(), values.end());
}

std::string written(const BarTable& table, const IndicatorOutputs& outputs, const RunTogether& together) {
    std::ostringstream out;
    EXPECT_TRUE(writeIndicatorCsv(out, table, outputs, {1, 2, 3, 4}, together));
    return out.str();
}

TEST(CsvWriter, ChunksFormattedAtOnceGiveTheSameBytes) {
    for (std::size_t count : {1, 8191, 8192, 8193, 50001}) {
        const BarTable table = tableOf(count);
        IndicatorOutputs outputs;
        for (int mode = 1; mode <= kModes; ++mode)
            outputs[mode - 1] = outputOf(table, mode);
        const std::string inTurn = written(table, outputs, runInTurn);
        auto reversed = [](const std::function<void()>& first, const std::function<void()>& second) {
            second();
            first();
        };
        auto threads = [](const std::function<void()>& first, const std::function<void()>& second) {
            std::thread other(second);
            first();
            other.join();
        };
        EXPECT_EQ(written(table, outputs, reversed), inTurn) << count;
        EXPECT_EQ(written(table, outputs, threads), inTurn) << count;
        // Rows written while the outputs are filled (a few thousand rows at
        // a time, with pauses for the writing to catch up), once it is
        // decided to write them: the same bytes; none when it is not.
        for (const bool proceed : {true, false}) {
            IndicatorOutputs filled;
            for (auto& output : filled) output.assign(count, 7.0f);
            auto fill = [&](const std::function<void(std::size_t)>& final) {
                for (std::size_t done = 0; done < count;) {
                    const std::size_t from = done;
                    done = std::min(count, done + 3000);
                    for (int m = 0; m < kModes; ++m)
                        std::copy(outputs[m].begin() + from, outputs[m].begin() + done, filled[m].begin() + from);
                    final(done);
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            };
            const BeforeWriting before{fill, [proceed] { return proceed; }};
            std::ostringstream out;
            EXPECT_TRUE(writeIndicatorCsv(out, table, filled, {1, 2, 3, 4}, threads, before));
            EXPECT_EQ(out.str(), proceed ? inTurn : "") << count;
        }
    }
}

// A column of its own characters only is tested for quotes in one pass; a
// column that keeps a file's text, row by row: the same bytes either way.
TEST(CsvWriter, TimesTestedForQuotesAtOnceAsRowByRow) {
    std::mt19937 rng(18);
    const std::string plain = "0123456789-: T/.", special = "\"\r\n,;";
    for (int round = 0; round < 400; ++round) {
        const std::size_t count = 1 + rng() % 300;
        BarTable own = tableOf(count), kept = own;
        own.time = TimeColumn();
        kept.time = TimeColumn(std::make_shared<const std::string>());
        own.separator = kept.separator = round % 3 ? ',' : ';';
        const bool quotes = round % 2;
        for (std::size_t i = 0; i < count; ++i) {
            std::string text;
            for (std::size_t k = rng() % 40; k > 0; --k)
                text += quotes && rng() % 500 == 0 ? special[rng() % special.size()] : plain[rng() % plain.size()];
            own.time.push_back(text);
            kept.time.push_back(text);
        }
        ASSERT_TRUE(own.time.ownCharsOnly() && !kept.time.ownCharsOnly());
        IndicatorOutputs outputs;
        for (int mode = 1; mode <= kModes; ++mode)
            outputs[mode - 1] = outputOf(own, mode);
        ASSERT_EQ(written(own, outputs, runInTurn), written(kept, outputs, runInTurn)) << round;
    }
}

}  // namespace
