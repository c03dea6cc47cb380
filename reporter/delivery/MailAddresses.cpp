// Splitting the recipients text at semicolons and commas, each part trimmed.
#include "reporter/delivery/MailAddresses.h"

std::string TrimText(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return std::string(text);
}

std::vector<std::string> SplitRecipients(std::string_view text) {
  std::string all = TrimText(text);
  std::vector<std::string> result;
  if (all.empty()) return result;
  if (all.back() != ',' && all.back() != ';') all += ',';
  std::size_t start = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i] != ',' && all[i] != ';') continue;
    result.push_back(TrimText(std::string_view(all).substr(start, i - start)));
    start = i + 1;
  }
  return result;
}
