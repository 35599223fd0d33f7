#include "tools/songgen/notation.h"

#include <cctype>
#include <cstdlib>

namespace ostrel::songgen {
namespace {

std::vector<std::string> splitTokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
        } else if (c == '[') {
            // An opening bracket is a token of its own even when written against a note.
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
            tokens.push_back("[");
        } else if (c == ']') {
            // A closing bracket starts its own token ("]x4"), also right after a note.
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
            current.push_back(']');
        } else {
            current += c;
        }
    }
    if (!current.empty())
        tokens.push_back(current);
    return tokens;
}

bool parseNumber(const std::string& s, int base, int lo, int hi, int& value) {
    if (s.empty())
        return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, base);
    if (*end != 0 || v < lo || v > hi)
        return false;
    value = static_cast<int>(v);
    return true;
}

int effectType(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return -1;
}

// Applies one field to a cell; false when the field is malformed.
bool applyField(const std::string& field, Cell& cell) {
    char kind = static_cast<char>(std::tolower(static_cast<unsigned char>(field[0])));
    std::string arg = field.substr(1);
    int v = 0;
    switch (kind) {
    case 'i':
        if (!parseNumber(arg, 10, 1, 128, v))
            return false;
        cell.instrument = static_cast<uint8_t>(v);
        return true;
    case 'v':
        if (!parseNumber(arg, 10, 0, 64, v))
            return false;
        cell.volume = static_cast<uint8_t>(0x10 + v);
        return true;
    case 'p':
        if (!parseNumber(arg, 10, 0, 15, v))
            return false;
        cell.volume = static_cast<uint8_t>(0xC0 + v);
        return true;
    case 'x':
        if (!parseNumber(arg, 16, 1, 255, v))
            return false;
        cell.volume = static_cast<uint8_t>(v);
        return true;
    case 'e': {
        if (arg.size() != 3)
            return false;
        int type = effectType(arg[0]);
        if (type < 0 || !parseNumber(arg.substr(1), 16, 0, 255, v))
            return false;
        cell.effect = static_cast<uint8_t>(type);
        cell.param = static_cast<uint8_t>(v);
        return true;
    }
    default:
        return false;
    }
}

bool parseToken(const std::string& token, int defaultInstrument, std::vector<Cell>& rows,
                std::string& error) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t comma = token.find(',', start);
        parts.push_back(token.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    std::string head = parts[0];
    int length = 1;
    size_t colon = head.find(':');
    if (colon != std::string::npos) {
        if (!parseNumber(head.substr(colon + 1), 10, 1, 256, length)) {
            error = "bad length in '" + token + "'";
            return false;
        }
        head = head.substr(0, colon);
    }
    Cell first;
    if (head == "off") {
        first.note = keyOffNote;
    } else if (head == "r" || head == ".") {
    } else {
        int note = parseNoteName(head);
        if (!note) {
            error = "bad note '" + head + "'";
            return false;
        }
        first.note = static_cast<uint8_t>(note);
        first.instrument = static_cast<uint8_t>(defaultInstrument);
    }
    if (head == "r" && parts.size() > 1) {
        error = "a rest takes no fields: '" + token + "'";
        return false;
    }
    std::vector<Cell> block(static_cast<size_t>(length));
    block[0] = first;
    for (size_t k = 1; k < parts.size(); ++k) {
        const std::string& field = parts[k];
        if (field.size() < 2) {
            error = "bad field '" + field + "'";
            return false;
        }
        bool everyRow = std::isupper(static_cast<unsigned char>(field[0])) != 0;
        for (int r = 0; r < (everyRow ? length : 1); ++r) {
            if (!applyField(field, block[static_cast<size_t>(r)])) {
                error = "bad field '" + field + "' in '" + token + "'";
                return false;
            }
        }
    }
    rows.insert(rows.end(), block.begin(), block.end());
    return true;
}

bool parseRange(const std::vector<std::string>& tokens, size_t& pos, bool nested,
                int defaultInstrument, std::vector<Cell>& rows, std::string& error) {
    while (pos < tokens.size()) {
        const std::string& t = tokens[pos];
        if (t == "|") {
            ++pos;
        } else if (t == "[") {
            ++pos;
            std::vector<Cell> inner;
            if (!parseRange(tokens, pos, true, defaultInstrument, inner, error))
                return false;
            // parseRange stopped on the closing token "]xN".
            int count = 0;
            const std::string& close = tokens[pos];
            if (close.size() < 3 || close[1] != 'x' ||
                !parseNumber(close.substr(2), 10, 1, 64, count)) {
                error = "bad repeat '" + close + "'";
                return false;
            }
            ++pos;
            for (int i = 0; i < count; ++i)
                rows.insert(rows.end(), inner.begin(), inner.end());
        } else if (t[0] == ']') {
            if (!nested) {
                error = "unmatched ']'";
                return false;
            }
            return true;
        } else {
            if (!parseToken(t, defaultInstrument, rows, error))
                return false;
            ++pos;
        }
    }
    if (nested) {
        error = "unclosed '['";
        return false;
    }
    return true;
}

} // namespace

int parseNoteName(const std::string& text) {
    if (text.size() != 3)
        return 0;
    static const char* names = "C-C#D-D#E-F-F#G-G#A-A#B-";
    int semitone = -1;
    for (int i = 0; i < 12; ++i)
        if (text[0] == names[2 * i] && text[1] == names[2 * i + 1])
            semitone = i;
    if (semitone < 0 || text[2] < '0' || text[2] > '7')
        return 0;
    return (text[2] - '0') * 12 + semitone + 1;
}

bool parseTrack(const std::string& text, int defaultInstrument, std::vector<Cell>& rows,
                std::string& error) {
    std::vector<std::string> tokens = splitTokens(text);
    size_t pos = 0;
    return parseRange(tokens, pos, false, defaultInstrument, rows, error);
}

} // namespace ostrel::songgen
