#include "JsonText.h"

#include <json/reader.h>

#include <exception>
#include <memory>

namespace {

bool Parse(const Json::CharReaderBuilder& builder, const std::string& text, Json::Value& value, std::string& errors)
{
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    try {
        return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    } catch (const std::exception& error) {
        errors = error.what();
        value = Json::Value();
        return false;
    }
}

}  // namespace

bool ParseJson(const std::string& text, Json::Value& value, std::string& errors)
{
    return Parse(Json::CharReaderBuilder(), text, value, errors);
}

bool ParseWholeJson(const std::string& text, Json::Value& value, std::string& errors)
{
    Json::CharReaderBuilder builder;
    builder["failIfExtra"] = true;
    if (Parse(builder, text, value, errors))
        return true;
    value = Json::Value();
    return false;
}
