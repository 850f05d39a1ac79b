#include "sim/ModelFacts.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zorflash {

namespace {

const SimModel kModels[kSimModelCount] = {
    {"RT71", "RT71", "R71", ":IF:ID?"},
    {"RT23", "RT23", "R23", ":IF:ID?"},
    {"RT54", "RT54", "R54", ":IF:ID?"},
    {"RT36/38/39", "RT38", "R38", ":IF:ID?"},
    {"KP90", "KP90", "K90", ":OPT:ID?"},
    {"NB61/63", "NB60", "N60", ":OPT:ID?"},
    {"RT85/86", "RT85", "R85", ":OPT:ID?"},
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

const SimModel& SimModelAt(int index) { return kModels[index]; }

std::optional<int> FindSimModel(const std::string& nameOrIndex)
{
    if (nameOrIndex.size() == 1 && nameOrIndex[0] >= '0' && nameOrIndex[0] < '0' + kSimModelCount)
        return nameOrIndex[0] - '0';
    const std::string wanted = Lower(nameOrIndex);
    for (int i = 0; i < kSimModelCount; ++i) {
        if (wanted == Lower(kModels[i].displayName) || wanted == Lower(kModels[i].token))
            return i;
    }
    return std::nullopt;
}

const char* SimKindName(SimKind kind)
{
    switch (kind) {
    case SimKind::Main: return "MAIN";
    case SimKind::Sub: return "SUB";
    case SimKind::Pattern: return "PATTERN";
    }
    return "?";
}

std::optional<SimKind> ParseSimKind(const std::string& word)
{
    const std::string w = Lower(word);
    if (w == "main") return SimKind::Main;
    if (w == "sub") return SimKind::Sub;
    if (w == "pattern") return SimKind::Pattern;
    return std::nullopt;
}

std::string SimHeaderLine(const SimModel& model, SimKind kind)
{
    std::string line = std::string("MORVENAL ") + model.token + " " + SimKindName(kind) + " ROM";
    line.resize(kSimHeaderLineLength - 2, ' ');
    return line + "\r\n";
}

std::optional<HeaderLineMatch> ClassifyHeaderLine(const uint8_t* line32)
{
    for (int m = 0; m < kSimModelCount; ++m) {
        for (SimKind kind : {SimKind::Main, SimKind::Sub, SimKind::Pattern}) {
            const std::string line = SimHeaderLine(kModels[m], kind);
            if (std::memcmp(line.data(), line32, kSimHeaderLineLength) == 0)
                return HeaderLineMatch{m, kind};
        }
    }
    return std::nullopt;
}

int SectionsOf(SimKind kind) { return kind == SimKind::Sub ? 2 : 1; }

}  // namespace zorflash
