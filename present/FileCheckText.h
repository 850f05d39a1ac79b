#pragma once

#include "present/LocalText.h"
#include "resources/strings/Language.h"
#include "update/FileCheck.h"
#include "update/UpdateSettings.h"

#include <string>

namespace zorflash {

// Where the dry run found the first problem, in either language (English for JSON, else
// the run's): a place in the file, or for a first line of the wrong model the sentence
// that names the model it belongs to.
CLocalText FileProblemPlace(const CFileCheck::Report& report, const UpdateSettings& settings);

// Why the file was refused, for stderr and the JSON result.
CLocalText FileRefusalReason(const CFileCheck::Report& report, const UpdateSettings& settings);

// When the update opens volume 1 under another name than the file given (the volume
// rule replaces the character before the extension), the note that says so; else empty.
std::string VolumeNamingRule(const std::string& filePath, Language language);

}  // namespace zorflash
