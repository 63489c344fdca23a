#include "csv_writer.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "byte_marks.hpp"
#include "float_text.hpp"
#include "short_copy.hpp"

namespace zorvane_cli {
namespace {

// Rows formatted and written at a time: the three chunks in flight hold
// about a megabyte of minute bars, so that the peak memory stays where it was.
constexpr std::size_t kChunkRows = 1 << 12;
// Rounds in a row after which a second thread that keeps the first waiting is let go.
constexpr int kSlowRoundsAtMost = 3;
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

bool writeIndicatorCsv(std::ostream& out, const BarTable& bars, const IndicatorOutputs& outputs,
                       const std::vector<int>& modes, const RunTogether& together) {
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
    out.write(header.data(), static_cast<std::streamsize>(header.size()));

    // Rows [first, last) as the chunk's text. Time texts that are all the
    // column's own characters (a file read a block at a time) are tested for
    // quotes in one pass, not row by row.
    const QuoteTest quotes(sep);
    const bool plainTimes = bars.time.ownCharsOnly() && !anyQuoteByte(bars.time.ownChars(), sep);
    auto format = [&](std::size_t first, std::size_t last, ChunkText& text) {
        text.clear();
        for (std::size_t i = first; i < last; ++i) {
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
    // Each round: this thread writes the chunk the other formatted last round,
    // formats and writes its own; the other formats the next.
    ChunkText own, theirs, pending;
    const std::size_t count = bars.size();
    // Room for usual rows taken here, not on the other thread (whose memory
    // would come from an arena of its own); the system maps only what is used.
    for (ChunkText* text : {&own, &theirs, &pending}) text->room(std::min(count, kChunkRows) * 160);
    // When the other thread keeps this one waiting longer than its own share
    // takes, a few rounds running, it is not getting a processor (a machine
    // busy with other work): the rest goes in turn. The bytes are the same.
    using Clock = std::chrono::steady_clock;
    int slowRounds = 0;
    for (std::size_t first = 0; first < count; first += 2 * kChunkRows) {
        const std::size_t middle = std::min(first + kChunkRows, count), last = std::min(middle + kChunkRows, count);
        const Clock::time_point start = Clock::now();
        Clock::time_point ownDone;
        (slowRounds < kSlowRoundsAtMost ? together : runInTurn)(
            [&] {
                write(pending);
                format(first, middle, own);
                write(own);
                ownDone = Clock::now();
            },
            [&] { format(middle, last, theirs); });
        slowRounds = Clock::now() - ownDone > ownDone - start ? slowRounds + 1 : 0;
        std::swap(pending, theirs);
    }
    write(pending);
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zorvane_cli
