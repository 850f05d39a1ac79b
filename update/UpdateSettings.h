#pragma once

#include "update/DeviceModel.h"

#include <cstdint>
#include <string>

namespace zorflash {

// What the operator chose: the instrument model, the update file and the link. Written on
// the window thread only; an update reads it on its worker thread without a lock, so the
// front ends keep it unchanged while an update runs.
struct UpdateSettings {
    uint32_t ipAddress = 0;  // first octet in the most significant byte
    int32_t port = 0;        // as typed; the link refuses values outside 1..65535
    uint8_t useUsb = 0;      // 0 TCP/IP, 1 USB
    // The USB instrument answering this device number; the desktop always talks to 0,
    // the command line picks others for a fleet.
    int32_t usbDeviceNumber = 0;
    uint8_t fastMode = 0;    // 1: records after START go out in blocks
    std::string filePath;    // the chosen file, full path
    std::string fileName;    // its name without the folder
    int32_t modelIndex = 0;
    DeviceModel model{};
};

constexpr uint32_t kDefaultIpAddress = 0xC0A80001;  // 192.168.0.1
constexpr int32_t kDefaultPort = 8023;

// The new-document step: address, port, transport and fast mode to their defaults, the
// file name emptied; the path, the model index and the model copy stay as they are.
void ApplyNewDocumentDefaults(UpdateSettings& settings);

// Choosing a model: store the index, copy the row, then TCP/IP if the model allows it,
// else USB if it allows that, else TCP/IP. Address, port and fast mode are kept.
void ApplyModelSelection(UpdateSettings& settings, int index);

}  // namespace zorflash
