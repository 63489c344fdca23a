#include "column_names.hpp"

#include <algorithm>
#include <array>

#include "text_encoding.hpp"

namespace zorvane_cli {
namespace {

// Base letters of U+00C0 to U+017F; '?' where the letter has no single one.
constexpr std::string_view kLatinBases =
    "aaaaaa?ceeeeiiiidnooooo?ouuuuy??aaaaaa?ceeeeiiiidnooooo?ouuuuy?y"
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii??jjkkkllllllllllnnnnnnnnnoooooo??rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";

void appendFolded(std::string& key, char32_t point) {
    if (point < 0x80) {
        if (point >= 'A' && point <= 'Z') key += static_cast<char>(point - 'A' + 'a');
        else if ((point >= 'a' && point <= 'z') || (point >= '0' && point <= '9')) key += static_cast<char>(point);
        return;  // punctuation, spaces, brackets, quotes
    }
    if (point < 0xC0 || (point >= 0x2000 && point < 0x2070) || point == 0xFEFF) return;  // spaces, marks
    if (point < 0x180) {
        const char base = kLatinBases[point - 0xC0];
        if (base != '?') key += base;
        else if (point == 0xDF) key += "ss";
        else if (point == 0xC6 || point == 0xE6) key += "ae";
        else if (point == 0x152 || point == 0x153) key += "oe";
        return;
    }
    if (point >= 0x0410 && point < 0x0430) point += 0x20;      // Cyrillic capitals
    else if (point >= 0x0400 && point < 0x0410) point += 0x50;
    if (point == 0x0451) point = 0x0435;                       // ё as е
    appendUtf8(key, point);
}

// Names that mean the same column, as files write them.
const std::array<std::vector<std::string_view>, 6> kSynonyms = {{
    {"High", "Hi", "H", "Max", "Maximum", "High price", "Price high", "Hoch", "Höchst", "Höchstkurs", "Hochkurs",
     "Tageshoch", "Haut", "Plus haut", "Le plus haut", "Máximo", "Máxima", "Massimo", "Alto", "Alta", "Hoog",
     "Högst", "Högsta", "Høj", "Høy", "Høyeste", "Højeste", "Najwyższy", "Maks", "Yüksek", "Nejvyšší",
     "Tertinggi", "Максимум", "Макс", "Высокая", "Макс. цена", "高値", "最高", "最高价", "最高價", "고가"},
    {"Low", "Lo", "L", "Min", "Minimum", "Low price", "Price low", "Tief", "Tiefst", "Tiefstkurs", "Tiefkurs",
     "Tagestief", "Bas", "Plus bas", "Le plus bas", "Mínimo", "Mínima", "Minimo", "Bajo", "Basso", "Baixa", "Laag",
     "Lägst", "Lägsta", "Lav", "Laveste", "Najniższy", "Düşük", "Nejnižší", "Terendah", "Минимум", "Мин",
     "Низкая", "Мин. цена", "安値", "最低", "最低价", "最低價", "저가"},
    {"Close", "C", "Close price", "Price close", "Close/Last", "Last", "Price", "Schluss", "Schlusskurs", "Zuletzt",
     "Letzter", "Clôture", "Dernier", "Cierre", "Último", "Chiusura", "Fechamento", "Slot", "Slutkurs",
     "Zamknięcie", "Kapanış", "Закрытие", "Закр", "Цена", "終値", "收盘", "收盘价", "收盤價", "종가"},
    {"Open", "O", "Open price", "Price open", "Eröffnung", "Eröffn", "Erster", "Ouverture", "Ouv", "Apertura",
     "Abertura", "Otwarcie", "Açılış", "Открытие", "Откр", "始値", "开盘", "开盘价", "開盤價", "시가"},
    {"Date", "Datum", "Fecha", "Data", "Дата", "Day", "日期", "日付", "날짜"},
    {"Time", "Zeit", "Uhrzeit", "Heure", "Hora", "Ora", "Время", "Tijd", "Tid", "Czas", "Saat", "时间", "時間",
     "시간"},
}};

// The synonyms' keys, group by group.
const std::vector<std::vector<std::string>>& synonymKeys() {
    static const std::vector<std::vector<std::string>> keys = [] {
        std::vector<std::vector<std::string>> groups;
        for (const auto& group : kSynonyms) {
            groups.emplace_back();
            for (std::string_view name : group) groups.back().push_back(nameKey(name));
        }
        return groups;
    }();
    return keys;
}

constexpr std::size_t kDates = 4, kTimes = 5;

const std::vector<std::string>* synonymsOf(const std::string& key) {
    for (const auto& group : synonymKeys())
        if (std::find(group.begin(), group.end(), key) != group.end()) return &group;
    return nullptr;
}

// Keys under each encoding the name may be in: UTF-8 if it is valid, else
// the Western and the Cyrillic Windows code page.
std::vector<std::string> keysOf(const std::string& name) {
    if (isValidUtf8(name)) return {nameKey(name)};
    return {nameKey(fromCodePage(name, CodePage::Western)), nameKey(fromCodePage(name, CodePage::Cyrillic))};
}

// Shorter forms, tried when no name matches as a whole: without a trailing
// bracketed part ("High (USD)"), and the last word ("AAPL.High").
std::vector<std::string> shortKeysOf(const std::string& name) {
    std::vector<std::string> keys;
    const std::size_t open = name.find_last_of("([");
    if (open != std::string::npos && open > 0 && (name.back() == ')' || name.back() == ']'))
        for (auto& key : keysOf(name.substr(0, open))) keys.push_back(std::move(key));
    const std::size_t wordStart = name.find_last_of(" ._-/") + 1;
    if (wordStart > 0 && wordStart < name.size() && !keysOf(name.substr(0, wordStart))[0].empty())
        for (auto& key : keysOf(name.substr(wordStart))) keys.push_back(std::move(key));
    return keys;
}

}  // namespace

std::string nameKey(std::string_view utf8Name) {
    std::string key;
    forEachCodePoint(utf8Name, [&key](char32_t point) { appendFolded(key, point); });
    return key;
}

ColumnNames::ColumnNames(std::vector<std::string> names) : names_(std::move(names)) {
    for (const auto& name : names_) {
        keys_.push_back(keysOf(name));
        shortKeys_.push_back(shortKeysOf(name));
    }
}

std::optional<std::size_t> ColumnNames::find(std::string_view wanted) const {
    const std::string key = nameKey(isValidUtf8(wanted) ? std::string(wanted) : fromCodePage(wanted, CodePage::Western));
    if (key.empty()) return std::nullopt;
    const auto* synonyms = synonymsOf(key);
    for (const auto* keys : {&keys_, &shortKeys_}) {
        auto has = [keys](std::size_t column, const std::string& k) {
            const auto& own = (*keys)[column];
            return std::find(own.begin(), own.end(), k) != own.end();
        };
        for (std::size_t column = 0; column < size(); ++column)
            if (has(column, key)) return column;
        if (synonyms)
            for (std::size_t column = 0; column < size(); ++column)
                for (const auto& synonym : *synonyms)
                    if (has(column, synonym)) return column;
    }
    return std::nullopt;
}

bool ColumnNames::namesTime(std::size_t column) const {
    const auto& dates = synonymKeys()[kDates];
    const auto& times = synonymKeys()[kTimes];
    for (const auto& key : keys_[column]) {
        if (std::find(dates.begin(), dates.end(), key) != dates.end() ||
            std::find(times.begin(), times.end(), key) != times.end())
            return true;
        for (std::string_view part : {"time", "date", "datum", "zeit", "stamp"})
            if (key.find(part) != std::string::npos) return true;
    }
    return false;
}

std::string highLowSynonyms() {
    std::string text;
    for (std::size_t role = 0; role < 2; ++role) {
        std::string line = role == 0 ? "    high:" : "    low:";
        std::size_t width = line.size();  // in characters
        for (std::size_t i = 0; i < kSynonyms[role].size(); ++i) {
            const std::string name = std::string(kSynonyms[role][i]) + (i + 1 < kSynonyms[role].size() ? "," : "");
            std::size_t nameWidth = 0;
            forEachCodePoint(name, [&nameWidth](char32_t) { ++nameWidth; });
            if (width + nameWidth > 104) {
                text += line + "\n";
                line = "     ";
                width = line.size();
            }
            line += " " + name;
            width += nameWidth + 1;
        }
        text += line + (role == 0 ? "\n" : "");
    }
    return text;
}

}  // namespace zorvane_cli
