// The running speech service over HTTPS through libcurl's Schannel back end
// under Wine: a token, then a recognition of a generated 58-second piece, sent
// the way the program's REST client sends them.
#include "SpeechServiceControl.h"

#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

using speechservice::Perform;
using speechservice::Reply;

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Base64(const std::string& data)
{
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    const auto* bytes = reinterpret_cast<const BYTE*>(data.data());
    DWORD size = 0;
    if (!CryptBinaryToStringA(bytes, static_cast<DWORD>(data.size()), flags, nullptr, &size))
        return {};
    std::string text(size, '\0');
    if (!CryptBinaryToStringA(bytes, static_cast<DWORD>(data.size()), flags, &text[0], &size))
        return {};
    text.resize(size);
    return text;
}

Json::Value Parse(const std::string& text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    return value;
}

std::string Url(const std::string& path)
{
    return speechservice::BaseUrl() + path;
}

std::string TokenPath()
{
    return std::string("/oauth/2.0/token?client_id=") + speechservice::kApiKey +
           "&client_secret=" + speechservice::kSecretKey + "&grant_type=client_credentials&";
}

std::string GetToken()
{
    Reply reply = Perform(Url(TokenPath()), nullptr);
    EXPECT_EQ(CURLE_OK, reply.code) << curl_easy_strerror(reply.code);
    return Parse(reply.body)["access_token"].asString();
}

// The recognition body as the program writes it: jsoncpp's default styled
// writer, "rate" and "channel" as strings and "len" as a number.
std::string RecognitionBody(const std::string& pcm, const std::string& token, const std::string& cuid)
{
    Json::Value request;
    request["dev_pid"] = "1537";
    request["speech"] = Base64(pcm);
    request["format"] = "pcm";
    request["rate"] = "16000";
    request["channel"] = "1";
    request["token"] = token;
    request["cuid"] = cuid;
    request["len"] = static_cast<Json::UInt>(pcm.size());
    return Json::writeString(Json::StreamWriterBuilder(), request);
}

class SpeechServiceWireTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_DEFAULT); }

    void SetUp() override
    {
        ASSERT_FALSE(speechservice::BaseUrl().empty()) << "speechservice.port is missing";
        pcm_ = ReadFile(speechservice::BesideExe("speechservice_input.pcm"));
        expected_ = ReadFile(speechservice::BesideExe("speechservice_input.txt"));
        ASSERT_EQ(58u * 16000 * 2, pcm_.size()) << "speechservice_input.pcm was not generated";
        ASSERT_FALSE(expected_.empty());
        speechservice::Control("/control/reset", "");
    }

    std::string pcm_;
    std::string expected_;
};

TEST_F(SpeechServiceWireTest, TokenThenPieceIsRecognised)
{
    const std::string cuid = "wire-" + std::to_string(GetTickCount());
    std::string token = GetToken();
    ASSERT_FALSE(token.empty());

    std::string body = RecognitionBody(pcm_, token, cuid);
    Reply reply = Perform(Url("/server_api"), &body);
    ASSERT_EQ(CURLE_OK, reply.code) << curl_easy_strerror(reply.code);
    EXPECT_EQ(200, reply.status);
    Json::Value result = Parse(reply.body);
    EXPECT_EQ(0, result["err_no"].asInt()) << reply.body;
    EXPECT_EQ("success.", result["err_msg"].asString());
    EXPECT_EQ(expected_, result["result"][0].asString());

    Json::Value stats = speechservice::Control("/control/stats");
    EXPECT_EQ(1, stats["token_requests"].asInt());
    ASSERT_EQ(1, stats["recognize_requests"].asInt());
    const Json::Value& logged = stats["requests"][1];
    EXPECT_EQ(cuid, logged["cuid"].asString());
    EXPECT_EQ("application/json", logged["content_type"].asString());
    EXPECT_EQ(static_cast<int>(pcm_.size()), logged["len"].asInt());
    EXPECT_EQ(expected_, logged["text"].asString());
}

TEST_F(SpeechServiceWireTest, CertificateFileServesAsCaFile)
{
    // Schannel matches the certificate's DNS names only, not its IP address.
    const std::string ca = speechservice::CertificatePath();
    Reply reply = Perform(speechservice::BaseUrl("localhost") + TokenPath(), nullptr, ca.c_str());
    ASSERT_EQ(CURLE_OK, reply.code) << curl_easy_strerror(reply.code);
    EXPECT_FALSE(Parse(reply.body)["access_token"].asString().empty()) << reply.body;
}

TEST_F(SpeechServiceWireTest, InjectedFailuresReachTheClient)
{
    std::string body = RecognitionBody(pcm_, GetToken(), "wire-failures");

    speechservice::Control("/control/fail?kind=error&err_no=3301", "");
    Reply quality = Perform(Url("/server_api"), &body);
    ASSERT_EQ(CURLE_OK, quality.code);
    EXPECT_EQ(3301, Parse(quality.body)["err_no"].asInt()) << quality.body;

    speechservice::Control("/control/fail?kind=non_json", "");
    Reply garbled = Perform(Url("/server_api"), &body);
    ASSERT_EQ(CURLE_OK, garbled.code);
    EXPECT_FALSE(Parse(garbled.body).isMember("err_no")) << garbled.body;

    speechservice::Control("/control/fail?kind=drop", "");
    Reply dropped = Perform(Url("/server_api"), &body);
    EXPECT_NE(CURLE_OK, dropped.code);
    EXPECT_TRUE(dropped.body.empty());

    Reply recovered = Perform(Url("/server_api"), &body);
    ASSERT_EQ(CURLE_OK, recovered.code);
    EXPECT_EQ(expected_, Parse(recovered.body)["result"][0].asString());
}

}  // namespace
