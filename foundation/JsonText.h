#pragma once
// Reading JSON from text that may come from anywhere (a service, a file).
#include <json/value.h>

#include <string>

// Parses text as JSON into value; false, with the reader's message, when it
// is not JSON. The reader throws on a text nested deeper than its limit:
// such a text counts as not JSON (value null), like any other the reader
// refuses, rather than ending the thread that read it.
bool ParseJson(const std::string& text, Json::Value& value, std::string& errors);

// As ParseJson, but only a whole JSON text counts: one that stops before its
// value ends (a reply cut short) or goes on after it is not JSON, and the
// value is then null rather than the part the reader got through.
bool ParseWholeJson(const std::string& text, Json::Value& value, std::string& errors);
