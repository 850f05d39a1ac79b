#pragma once

#include "update/DeviceModel.h"

#include <cstdint>
#include <string>

namespace zorflash {

class CFile;

// The update file's volume names, lines and records, one at a time. CRecordStream walks
// them across volumes.

constexpr int kHeaderSize = 56;           // bytes 0..55 of every volume, sent unchanged
constexpr int kVolumeNumberOffset = 48;   // two ASCII digits, "01" or "02"
constexpr int kHeaderLineBufferSize = 65; // 64 bytes and a NUL
constexpr int kRecordBufferSize = 513;    // N = 255: 512 bytes and a NUL

// Volume n's file: the chosen path with the character before its last "." replaced by
// the digit (n AND 15) + '0'; no "." replaces the last character; a "." that is the very
// first character leaves the path unchanged.
void MakeVolumeFileName(int volume, const std::string& fileName, std::string& volumeFileName);

// Reads one line, up to and including LF, at most 64 bytes, and stores a NUL behind it.
// CFileException passes to the caller.
void ReadHeaderLine(CFile& file, char* buffer);

// Reads one record: 2N + 2 for a good record (stored whole, NUL behind), 0 for END,
// kRecordEndOfFile at the end of the file in place of a length byte, kRecordBad for a
// checksum mismatch and for a record cut short by the end of the file (its missing bytes
// are never invented). A null buffer checks the record without keeping it. CRecordStream
// gives these their names for everyone else.
constexpr int kRecordEndOfFile = -1;
constexpr int kRecordBad = -2;
int ReadRecord(CFile& file, uint8_t* buffer);

// The ROM kind a volume's first line names for the model: its MAIN, SUB and PATTERN header
// lines are compared, whole and in that order; kRomKindUnchecked when none is equal.
RomKind DetectRomKind(const DeviceModel& model, const char* firstLine);

// The first model of the table that has `firstLine` as one of its header lines, with the
// kind the line names in `kind` if asked; null when the line is no model's. An operator who
// picked the wrong model learns from it which one the file is for.
const DeviceModel* FindModelOfHeaderLine(const char* firstLine, RomKind* kind = nullptr);

}  // namespace zorflash
