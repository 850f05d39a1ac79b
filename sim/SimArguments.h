#pragma once

#include <string>
#include <vector>

namespace zorflash {

// Small parsers for the command line, kept apart from main so they can be tested.

// "HOST:PORT" with an IPv4 host and a port 0..65535.
bool ParseHostPort(const std::string& text, std::string& host, int& port, std::string& error);

// "3,0,..." into exactly `count` device numbers; empty gives 0, 1, 2, ...
bool ParseNumberList(const std::string& text, int count, std::vector<int>& numbers,
                     std::string& error);

// "4096", "64K", "64M", "1G" (binary multiples).
bool ParseSize(const std::string& text, unsigned long long& bytes, std::string& error);

}  // namespace zorflash
