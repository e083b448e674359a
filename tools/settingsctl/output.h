// What settingsctl prints: results on stdout, one per line, bytes as stored;
// JSON documents; messages on stderr naming the file or key and the reason.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

void PrintLine(const std::string &bytes);
void PrintJson(const nlohmann::ordered_json &document);
// Text of the library (ANSI code page bytes) as a JSON string.
nlohmann::ordered_json JsonText(const std::string &bytes);
// "settingsctl: SUBJECT: REASON" on stderr.
void Complain(const std::string &subject, const std::string &reason);
