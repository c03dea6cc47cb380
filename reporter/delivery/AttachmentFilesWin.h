// The files a report attaches (the report file, the screenshot), read for the
// message. A name that is empty once trimmed, or of a file that does not
// exist, is left out.
#pragma once

#include <string>
#include <vector>

#include "reporter/delivery/MimeMessage.h"

bool AttachmentFileExists(const std::string& name);
// Opened read-only, sharing everything, so a file another program holds is
// still read.
std::vector<TMimeAttachment> ReadAttachmentFiles(const std::vector<std::string>& names);
