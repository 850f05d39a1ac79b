#pragma once

namespace zorflash {

// `zorflash-cli models`: every model with its file extension and transports; with json,
// one JSON document on stdout.
int ListModels(bool json);

}  // namespace zorflash
