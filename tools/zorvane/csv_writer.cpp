#include "csv_writer.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

#include "byte_marks.hpp"
#include "float_text.hpp"
#include "ordered_chunks.hpp"
#include "short_copy.hpp"

namespace zorvane_cli {
namespace {

// Rows formatted and written at a time: the chunks in flight hold about a
// megabyte of minute bars.
constexpr std::size_t kChunkRows = 1 << 12;
// The longest shortest float text, "-1.17549435e-38", with room to spare.
constexpr std::size_t kFloatChars = 24;

bool needsQuotes(std::string_view text, char separator) {
    for (char c : text)
        if (c == '"' || c == '\r' || c == '\n' || c == separator) return true;
    return false;
}

void appendField(std::string& out, std::string_view text, char separator) {
    if (!needsQuotes(text, separator)) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
}

// The bytes that make a field need quotes: a quote, a line end, the separator.
class QuoteTest {
public:
    explicit QuoteTest(char separator) {
        for (unsigned char c : {'"', '\r', '\n', static_cast<char>(separator)}) special_[c] = true;
    }
    bool needsQuotes(std::string_view text) const {
        for (char c : text)
            if (special_[static_cast<unsigned char>(c)]) return true;
        return false;
    }

private:
    bool special_[256] = {};
};

// Whether any byte of `text` would make a field need quotes, sixteen bytes at a time.
bool anyQuoteByte(std::string_view text, char separator) {
    const char* at = text.data();
    const char* const end = at + text.size();
    for (; end - at >= 16; at += 16)
        if (bytesEqualEither(at, '"', separator) | bytesEqualEither(at, '\r', '\n')) return true;
    for (; at != end; ++at)
        if (*at == '"' || *at == '\r' || *at == '\n' || *at == separator) return true;
    return false;
}

// The text of a chunk of rows, in one buffer kept from chunk to chunk.
class ChunkText {
public:
    void clear() { size_ = 0; }
    // Where `bytes` more can be written; end() marks how many were.
    char* room(std::size_t bytes) {
        if (capacity_ - size_ < bytes) {
            const std::size_t capacity = std::max(2 * capacity_, size_ + bytes);
            std::unique_ptr<char[]> grown(new char[capacity]);
            if (size_) std::memcpy(grown.get(), data_.get(), size_);
            data_ = std::move(grown);
            capacity_ = capacity;
        }
        return data_.get() + size_;
    }
    void end(const char* at) { size_ = static_cast<std::size_t>(at - data_.get()); }
    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0, capacity_ = 0;
};

// A time field at `at`, quoted (inner quotes doubled) where it must be.
char* writeField(char* at, std::string_view text, const QuoteTest& quotes) {
    if (!quotes.needsQuotes(text)) {
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        return at + text.size();
    }
    *at++ = '"';
    for (char c : text) {
        if (c == '"') *at++ = '"';
        *at++ = c;
    }
    *at++ = '"';
    return at;
}

}  // namespace

void appendFloat(std::string& out, float value) {
    char buffer[32];
    out.append(buffer, writeShortestFloat(buffer, value));
}

void runInTurn(const std::function<void()>& first, const std::function<void()>& second) {
    first();
    second();
}

std::uint64_t expectedCsvBytes(const BarTable& bars, const std::vector<int>& modes) {
    // Indicator values take 9 to 11 characters in most files (100.12345,
    // -0.12345678), 13 for prices below a thousandth (0.00012345678,
    // 1.2345678e-05), 14 at most ("-1.2345678e-05"): too little room saves
    // nothing (see setAsideFileSpace), too much is given back.
    constexpr std::uint64_t kIndicatorChars = 14;
    constexpr std::size_t kSampledRows = 64;
    const std::size_t count = bars.size();
    if (count == 0) return 0;
    const std::size_t step = count > kSampledRows ? count / kSampledRows : 1;
    std::uint64_t sampled = 0, rows = 0;
    char text[32];
    for (std::size_t i = 0; i < count; i += step, ++rows) {
        sampled += bars.time[i].size() + static_cast<std::size_t>(writeShortestPrice(text, bars.priceA[i]) - text);
        if (!bars.singlePrice) sampled += static_cast<std::size_t>(writeShortestPrice(text, bars.priceB[i]) - text) + 1;
    }
    const std::uint64_t perRow = sampled / rows + 2 + modes.size() * (kIndicatorChars + 1);
    return perRow * count;
}

bool writeIndicatorCsv(std::ostream& out, const BarTable& bars, const IndicatorOutputs& outputs,
                       const std::vector<int>& modes, const RunTogether& together, const BeforeWriting& before) {
    const char sep = bars.separator;
    std::string header;
    appendField(header, bars.timeName, sep);
    header += sep;
    appendField(header, bars.priceAName, sep);
    if (!bars.singlePrice) {
        header += sep;
        appendField(header, bars.priceBName, sep);
    }
    for (int mode : modes) (header += sep) += kModeNames[mode - 1];
    header += '\n';

    // Rows [first, last) as the chunk's text. Time texts that are all the
    // column's own characters (a file read a block at a time) are tested for
    // quotes in one pass, not row by row.
    const QuoteTest quotes(sep);
    const bool plainTimes = bars.time.ownCharsOnly() && !anyQuoteByte(bars.time.ownChars(), sep);
    const std::size_t count = bars.size();
    auto format = [&](std::size_t chunk, ChunkText& text) {
        text.clear();
        // Room for usual rows at once: growing row by row would copy the text.
        text.room(std::min(count, kChunkRows) * 160);
        for (std::size_t i = chunk * kChunkRows, last = std::min(i + kChunkRows, count); i < last; ++i) {
            const std::string_view time = bars.time[i];
            char* at = text.room(2 * time.size() + 2 + (kModes + 2) * (kFloatChars + 1) + 1);
            if (plainTimes) {
                copyShort(at, time.data(), time.size());
                at += time.size();
            } else {
                at = writeField(at, time, quotes);
            }
            *at++ = sep;
            at = writeShortestPrice(at, bars.priceA[i]);
            if (!bars.singlePrice) {
                *at++ = sep;
                at = writeShortestPrice(at, bars.priceB[i]);
            }
            for (int mode : modes) {
                *at++ = sep;
                const float value = outputs[mode - 1][i];
                if (!isNoValue(value)) at = writeShortestFloat(at, value);
            }
            *at++ = '\n';
            text.end(at);
        }
    };
    auto write = [&out](const ChunkText& text) { out.write(text.data(), static_cast<std::streamsize>(text.size())); };
    OrderedChunks<ChunkText> chunks((count + kChunkRows - 1) / kChunkRows, format, write);

    // The first task fills the outputs (when asked to), the second decides
    // whether to write (when asked to) and writes the header; both then
    // make and write chunks. The first starts on them only if the decision
    // is made by then: run one after the other, it cannot wait for it.
    enum Decision { kUndecided, kWrite, kSkip };
    std::atomic<int> decision{before.proceed ? kUndecided : kWrite};
    if (!before.proceed) out.write(header.data(), static_cast<std::streamsize>(header.size()));
    if (!before.fill) chunks.allow(SIZE_MAX);
    together(
        [&] {
            if (before.fill) {
                try {
                    before.fill([&chunks](std::size_t rows) { chunks.allow(rows / kChunkRows); });
                } catch (...) {
                    chunks.abandon();
                    throw;
                }
                chunks.allow(SIZE_MAX);
            }
            if (decision.load() == kWrite) chunks.work();
        },
        [&] {
            if (before.proceed) {
                bool proceed = false;
                try {
                    proceed = before.proceed();
                } catch (...) {
                    chunks.abandon();
                    throw;
                }
                if (!proceed) {
                    decision.store(kSkip);
                    chunks.abandon();
                    return;
                }
                if (chunks.abandoned()) return;  // the filling failed: nothing is written
                out.write(header.data(), static_cast<std::streamsize>(header.size()));
                decision.store(kWrite);
            }
            chunks.work();
        });
    if (decision.load() == kSkip) return true;
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zorvane_cli
