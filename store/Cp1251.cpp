#include "Cp1251.h"

#include <QSet>

#include <array>
#include <unordered_map>

namespace {

// Unicode code points of the bytes 0x80..0xFF. 0x98 is unassigned; it maps to U+0098 so that
// every byte survives a round trip.
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

const std::unordered_map<char16_t, unsigned char>& reverseTable()
{
    static const auto table = [] {
        std::unordered_map<char16_t, unsigned char> map;
        for (std::size_t i = 0; i < kHigh.size(); ++i)
            map.emplace(kHigh[i], static_cast<unsigned char>(0x80 + i));
        return map;
    }();
    return table;
}

bool encodeChar(char16_t c, char& out)
{
    if (c < 0x80) {
        out = static_cast<char>(c);
        return true;
    }
    const auto& map = reverseTable();
    const auto it = map.find(c);
    if (it == map.end())
        return false;
    out = static_cast<char>(it->second);
    return true;
}

} // namespace

std::string toCp1251(const QString& text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A surrogate pair is one character the code page lacks: one '?'.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.push_back('?');
            ++i;
            continue;
        }
        char byte;
        out.push_back(encodeChar(c.unicode(), byte) ? byte : '?');
    }
    return out;
}

QString fromCp1251(std::string_view bytes)
{
    // Every character is written below: a list of thousands of parcels' histories is decoded at
    // each refresh, and filling the string first would double that work.
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* data = out.data();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        data[i] = QChar(b < 0x80 ? char16_t(b) : kHigh[b - 0x80]);
    }
    return out;
}

std::string upperCp1251(std::string_view bytes)
{
    std::string out(bytes);
    for (char& byte : out) {
        const auto b = static_cast<unsigned char>(byte);
        if (b >= 'a' && b <= 'z') {
            byte = static_cast<char>(b - 'a' + 'A');
            continue;
        }
        if (b < 0x80)
            continue;
        const QChar upper = QChar(kHigh[b - 0x80]).toUpper();
        char encoded;
        if (encodeChar(upper.unicode(), encoded))
            byte = encoded;
    }
    return out;
}

QStringList charactersOutsideCp1251(const QString& text)
{
    QStringList found;
    QSet<QString> seen;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString character(text.at(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            character += text.at(++i);
        char byte;
        if (character.size() == 1 && encodeChar(character.at(0).unicode(), byte))
            continue;
        if (!seen.contains(character)) {
            seen.insert(character);
            found.push_back(character);
        }
    }
    return found;
}
