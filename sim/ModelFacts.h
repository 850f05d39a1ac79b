#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zorflash {

// What an instrument knows about the models it could be: the token its update files carry
// in their header line, the file extension, and the query it answers over USB. Kept apart
// from the tool's own table on purpose: the simulator must notice if the tool's copy drifts.

enum class SimKind { Main = 0, Sub = 1, Pattern = 2 };

struct SimModel {
    const char* displayName;
    const char* token;
    const char* extension;
    const char* idQuery;
};

constexpr int kSimModelCount = 7;
constexpr std::size_t kSimHeaderLineLength = 32;

const SimModel& SimModelAt(int index);

// By display name (any case), header token or index "0".."6"; nullopt if none matches.
std::optional<int> FindSimModel(const std::string& nameOrIndex);

const char* SimKindName(SimKind kind);
std::optional<SimKind> ParseSimKind(const std::string& word);

// The 32-byte first line of an update file: "MORVENAL <token> <kind> ROM", blanks to 30
// characters, CR LF.
std::string SimHeaderLine(const SimModel& model, SimKind kind);

struct HeaderLineMatch {
    int model;
    SimKind kind;
};

// Which model and kind the first 32 bytes of a header announce, if any.
std::optional<HeaderLineMatch> ClassifyHeaderLine(const uint8_t* line32);

// Record sections an update of this kind carries: SUB has two, the others one.
int SectionsOf(SimKind kind);

}  // namespace zorflash
