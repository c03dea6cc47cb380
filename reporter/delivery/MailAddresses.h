// The recipients text of the options ("a@x; b@y , c@z") as single
// recipients, for every sending path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Cut at every "," and ";"; each piece trimmed is one recipient. Empty
// pieces between two separators count ("a;;b" gives three); a final
// separator adds none.
std::vector<std::string> SplitRecipients(std::string_view text);

// Without the characters up to and including the space at either end.
std::string TrimText(std::string_view text);
