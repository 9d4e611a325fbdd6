#include "JsonText.h"

#include <json/reader.h>

#include <exception>
#include <memory>

bool ParseJson(const std::string& text, Json::Value& value, std::string& errors)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    try {
        return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    } catch (const std::exception& error) {
        errors = error.what();
        value = Json::Value();
        return false;
    }
}
