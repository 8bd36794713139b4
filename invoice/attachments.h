#pragma once
// Saves an invoice's attachments ("Allegati") into a folder. The name the
// file gives is cut to a plain file name first, so that a name with folders,
// "..", a drive or an absolute path never writes outside the folder, and a
// file already there is never overwritten: the attachment gets a free name
// beside it instead.
#include <filesystem>
#include <string>
#include <vector>

#include "invoice/invoice_values.h"

namespace crv {

// The attachment's name as a plain file name: the part after the last "/"
// or "\" (and after a drive's ":"), control characters as "_", at most 200
// bytes (a short extension kept); "allegato-N" (N counted from 1) when
// nothing usable is left.
std::string safeAttachmentName(const std::string& nomeAttachment, int n);

// What happened to one attachment.
struct SavedAttachment {
    std::string nomeAttachment;       // the name in the file
    std::filesystem::path savedAs;    // where it went; empty when not saved
    std::string problem;              // Italian, empty when saved
};

// Decodes and writes every attachment into folder (created when missing).
std::vector<SavedAttachment> saveAttachments(const std::vector<Allegato>& allegati,
                                             const std::filesystem::path& folder);

}  // namespace crv
