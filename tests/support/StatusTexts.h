#pragma once

// The update run's English status messages, written out here rather than taken from the
// string table, so a changed text in the table fails the tests instead of passing with them.

namespace testsupport {

constexpr const char* kOpening = "Opening File...\r\n";
constexpr const char* kDetecting = "Detecting Target...\r\n";
constexpr const char* kHeader = "Sending Header...\r\n";
constexpr const char* kStart = "Sending START record...\r\n";
constexpr const char* kDone = "\r\nTransfer completed.\r\n";
constexpr const char* kCommError = "\r\nAborted due to communication error.\r\n";
constexpr const char* kAborted = "\r\nAborted according to instruction received.\r\n";
constexpr const char* kChecksum = "\r\nIncorrect Check Sum.\r\n";
constexpr const char* kCannotOpen = "\r\nCannot open target.\r\n";
constexpr const char* kSetupFailure = "\r\nCommunication setup failure.\r\n";
constexpr const char* kNoIdent = "\r\nCouldn't receive MORVENAL character string\r\n";
constexpr const char* kHeaderSize = "\r\nHeder size communication failure\r\n";
constexpr const char* kHeaderError = "\r\nHeader transfer error.\r\n";

}  // namespace testsupport
