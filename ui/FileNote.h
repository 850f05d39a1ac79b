#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateSettings.h"
#include "update/VolumeRefusal.h"

#include <string>

namespace zorflash {

// What the status bar says about the chosen file before anything is sent, so that an
// operator hears at the choice what Start would otherwise refuse or ask for later:
// - the file's first line is another model's header line (naming that model), or no
//   model's at all: Start would end with "Invalid ROM Type.";
// - the file is not the name under which the update opens volume 1 (the character before
//   the extension becomes the volume's digit): Start would ask for a disk.
// preview: the file's first header lines as read for the preview (first line first).
// Empty when there is nothing to say.
std::string FileChoiceNote(const UpdateSettings& record, const std::string& preview, Language language);

// Beside the disk prompt, whose text names only the volume's number: the file it looks
// for, so the operator knows what to put where.
std::string VolumePromptNote(const VolumeRefusal& refusal, Language language);

}  // namespace zorflash
