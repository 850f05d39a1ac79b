#pragma once

#include "sim/FaultPlan.h"
#include "sim/SampleWriter.h"

#include <optional>
#include <string>
#include <vector>

namespace zorflash {

// Small parsers for the command line, kept apart from main so they can be tested.

struct TcpEndpoint {
    std::string host;
    int port = 0;
};

// The most instruments one run serves over TCP: each is a thread and a listening socket.
constexpr int kMaxTcpInstruments = 256;

// "A.B.C.D[-E.F.G.H]:PORT[-PORT]": one instrument per address and port, addresses outer,
// in order. Every address must lie in 127.0.0.0/8: the simulator is for this machine and
// never answers on a real network. Port 0 (a single port only) means a free one.
bool ParseTcpEndpoints(const std::string& text, std::vector<TcpEndpoint>& endpoints,
                       std::string& error);

// A fault for one instrument is "I:STEP:ACTION[:ARG]"; without the leading number it is
// for every instrument. Splits off the index (empty when absent).
bool SplitFaultTarget(const std::string& text, std::optional<int>& index, std::string& fault,
                      std::string& error);

// The fault plans of `count` instruments from the --fault texts in the order given (the
// first fault matching a point applies), each with the acknowledgement delay.
bool ParseFaultPlans(const std::vector<std::string>& texts, int count, int ackDelayMs,
                     std::vector<CFaultPlan>& plans, std::string& error);

// "3,0,..." into exactly `count` device numbers; empty gives 0, 1, 2, ...
bool ParseNumberList(const std::string& text, int count, std::vector<int>& numbers,
                     std::string& error);

// "[S:]K": record index K of section S (1 when left out), 0 being START.
bool ParseRecordPlace(const std::string& text, RecordPlace& place, std::string& error);

// "4096", "64K", "64M", "1G" (binary multiples).
bool ParseSize(const std::string& text, unsigned long long& bytes, std::string& error);

}  // namespace zorflash
