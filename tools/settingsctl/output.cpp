#include "output.h"

#include "text_encoding.h"

#include <cstdio>

void PrintLine(const std::string &bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fputc('\n', stdout);
}

void PrintJson(const nlohmann::ordered_json &document) {
  PrintLine(document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

nlohmann::ordered_json JsonText(const std::string &bytes) {
  return AnsiToUtf8ForDisplay(bytes);
}

void Complain(const std::string &subject, const std::string &reason) {
  std::fflush(stdout);
  std::fprintf(stderr, "settingsctl: %s: %s\n", subject.c_str(), reason.c_str());
}
