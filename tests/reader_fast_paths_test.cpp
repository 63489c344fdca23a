// The block reader's fast paths against the general code they stand in
// for, over generated text: the plain record splitter against
// RecordSplitter, the plain price cells against the general price reading
// (a leading blank sends a cell there), the fixed ISO times against the
// scanner. Same fields and lines, same bits and decisions, same times.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "csv_records.hpp"
#include "plain_records.hpp"
#include "price_text.hpp"
#include "time_text.hpp"

using namespace zorvane_cli;

namespace {

std::string randomText(std::mt19937& rng, const std::string& alphabet, std::size_t maxSize) {
    std::string text(rng() % (maxSize + 1), ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
    return text;
}

TEST(ReaderFastPaths, PlainSplitterSplitsAsTheGeneralOne) {
    std::mt19937 rng(18);
    const std::string alphabet = ",;\t|\r\n\n\n a1.-";
    std::vector<std::string_view> general, plain;
    for (int round = 0; round < 200000; ++round) {
        const std::string text = randomText(rng, alphabet, 40);
        const char separator = ",;\t|"[rng() % 4];
        const std::size_t offset = text.empty() ? 0 : rng() % (text.size() + 1);
        RecordSplitter expected(text, offset, 5, "t", separator);
        PlainRecordSplitter actual(text, offset, 5, separator);
        for (;;) {
            const bool more = expected.next(general);
            ASSERT_EQ(actual.next(plain), more) << text;
            ASSERT_EQ(actual.line(), expected.line()) << text;
            ASSERT_EQ(actual.nextLine(), expected.nextLine()) << text;
            if (!more) break;
            ASSERT_EQ(plain, general) << text;
        }
    }
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(ReaderFastPaths, PlainPricesReadAsTheGeneralReadingReadsThem) {
    std::mt19937 rng(18);
    const std::string alphabet = "0123456789012345678901234567890123456789..-,e";
    int prices = 0;
    for (int file = 0; file < 20000; ++file) {
        const char separator = ",;\t|"[rng() % 4];
        PriceParser fast(separator), general(separator);
        for (int cell = 0; cell < 20; ++cell) {
            const std::string text = randomText(rng, alphabet, 12);
            float a = 0, b = 0;
            const auto resultA = fast.parse(text, a);
            const auto resultB = general.parse(" " + text, b);
            ASSERT_EQ(resultA, resultB) << text;
            if (resultA == PriceParser::Result::Price) {
                ASSERT_EQ(bitsOf(a), bitsOf(b)) << text;
                ++prices;
            }
            ASSERT_EQ(fast.needsSecondPass(), general.needsSecondPass()) << text;
            ASSERT_EQ(fast.settledMark(), general.settledMark()) << text;
        }
    }
    EXPECT_GT(prices, 100000);
}

TEST(ReaderFastPaths, FixedIsoTimesReadAsTheScannerReadsThem) {
    std::mt19937 rng(18);
    auto number = [&rng](int digits, int most) {
        std::string text = std::to_string(static_cast<int>(rng() % (most + 1)));
        return std::string(static_cast<std::size_t>(std::max(0, digits - static_cast<int>(text.size()))), '0') + text;
    };
    const std::string noise = "0123456789-./ :TZx";
    int times = 0;
    RecentDate recent[2];  // read in sequence, as a column is
    std::string date;
    for (int round = 0; round < 300000; ++round) {
        const char separator = "-./:"[rng() % 4];
        if (date.empty() || rng() % 2) date = number(4, 10999) + separator + number(2, 13) + separator + number(2, 32);
        std::string text = date;
        if (rng() % 4) text += std::string(1, " Tx"[rng() % 3]) + number(2, 25) + ":" + number(2, 61) + ":" + number(2, 61);
        if (rng() % 4 == 0) text += "Z";
        if (rng() % 8 == 0) text[rng() % text.size()] = noise[rng() % noise.size()];
        for (DayMonth order : {DayMonth::MonthFirst, DayMonth::DayFirst}) {
            const auto general = parseTimePointByScanner(text, order);
            for (const auto& fast : {parseTimePoint(text, order), parseTimePoint(text, order, recent[int(order)])}) {
                ASSERT_EQ(fast.has_value(), general.has_value()) << text;
                if (!fast) continue;
                ASSERT_EQ(fast->microseconds, general->microseconds) << text;
                ASSERT_EQ(fast->dateOnly, general->dateOnly) << text;
                ASSERT_EQ(fast->readsEitherWay, general->readsEitherWay) << text;
                ++times;
            }
        }
    }
    EXPECT_GT(times, 100000);
}

}  // namespace
