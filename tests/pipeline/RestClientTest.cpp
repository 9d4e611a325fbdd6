// The REST speech client and the REST piece task against the speech stand-in.
#include "CSpeechClient.h"

#include "AppPaths.h"
#include "Base64.h"
#include "CAudioConvert.h"
#include "CAudioTask.h"
#include "CData.h"
#include "JsonText.h"
#include "Logger.h"
#include "PipelineSupport.h"
#include "PipelineWindowTest.h"
#include "StringUtils.h"
#include "TestSupport.h"
#include "ToneSpeechAudio.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>

#include <memory>
#include <vector>

namespace {

std::string Encode(const std::string& bytes)
{
    return Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string Styled(const Json::Value& value)
{
    return WriteStyledJson(value);
}

Json::Value ParseReply(const char* text)
{
    Json::Value reply;
    std::string errors;
    EXPECT_TRUE(ParseJson(text, reply, errors)) << text << errors;
    return reply;
}

// The start of a text that may be huge, for a failure message.
std::string Head(const std::string& text)
{
    return text.substr(0, 200) + (text.size() > 200 ? "... (" + std::to_string(text.size()) + " bytes)" : "");
}

// A text for the query of a control request.
// A certificate authority that signed nothing the stand-in presents.
const char kUnrelatedCa[] = "-----BEGIN CERTIFICATE-----\n"
                            "MIIDGzCCAgOgAwIBAgIUU8Sb21ja1pZHz8TWYijVTxV72iwwDQYJKoZIhvcNAQEL\n"
                            "BQAwHDEaMBgGA1UEAwwRVW5yZWxhdGVkIFRlc3QgQ0EwIBcNMjYxMjA5MjIzMjMz\n"
                            "WhgPMjEyNjExMTUyMjMyMzNaMBwxGjAYBgNVBAMMEVVucmVsYXRlZCBUZXN0IENB\n"
                            "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAp+qYdI8jfa4p4ozY/0XQ\n"
                            "XJbYmLIC4pQyXQ8BjlKpZtLla8M/nVGztYOIuQ9ZkT9c9o+M53krBqsva4mrNF8z\n"
                            "wHU7Cj1hVBAD66+s7/whGIXnta8/B024Sx0dRhVPZ4EvMKlshsq+NcVTvHn1NcQy\n"
                            "3aTYy28KoMNTVoFBHFw8KI7mdWa+hItR/Iz7yMdTjiXXGq+mqVrOeCIDv013Tdx5\n"
                            "hVytCNEBsHxmCc4jAHiEOY2ELXQxBX5pENCZiBxMcbOZjOLxf+Zzx+aEF2x1jDEv\n"
                            "xd99u3I7bKxTq1QC2lCwjVOXVDMTS8e4Ix3WanyKNWefEyXhMcAPYXCRtHyYQI4Z\n"
                            "yQIDAQABo1MwUTAdBgNVHQ4EFgQUvRLqzGZHfd0bI/7isuVCK6kSNLcwHwYDVR0j\n"
                            "BBgwFoAUvRLqzGZHfd0bI/7isuVCK6kSNLcwDwYDVR0TAQH/BAUwAwEB/zANBgkq\n"
                            "hkiG9w0BAQsFAAOCAQEAO56AI5NyZQ8XTELsDceu+zhQvq0qvkR9AHcb6MVpTfMu\n"
                            "pvbgN0ym7ceFWLm68c8NDCuFeCN8jWiRW4fS4fhW+kWtSn3MTryd2Fho6WmpFBgm\n"
                            "rcPUMKc4UlIV1bZFCdC3x2dsy9AMQTntNKEJJzww5p+p4nl9lJxCwhtVuQZopY/b\n"
                            "1hBg1sclAhVyMS9+mqugysD0SQ6EyHgfqR4wmCxV2tHPcm4CWAqGBmHlW2YIxxK1\n"
                            "qMY5+KKdGIj0+jgEPDBdEYh+KdRbgMj5e58CuLl/gDPUkHKTM/G8C/rHGYkEbCcU\n"
                            "Zy1rN4oQhQF87CNl/ADLPGZNFt9/84E1kiNcApHuhw==\n"
                            "-----END CERTIFICATE-----\n";

TEST(Base64, MatchesTheRfc4648Vectors)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& vector : vectors)
        EXPECT_EQ(vector.second, Encode(vector.first)) << vector.first;
}

TEST(Base64, UsesTheStandardAlphabetForHighBytes)
{
    EXPECT_EQ("+/8=", Encode(std::string("\xfb\xff", 2)));
    EXPECT_EQ("AP8A", Encode(std::string("\x00\xff\x00", 3)));
}

TEST(HttpClient, AppendsEscapedParametersEachEndingInAmpersand)
{
    const StringMap params = {{"b", "x y"}, {"a", "1&2"}};
    const std::pair<std::string, std::string> cases[] = {
        {"https://h/p", "https://h/p?a=1%262&b=x%20y&"},
        {"https://h/p?z=0", "https://h/p?z=0&a=1%262&b=x%20y&"},
    };
    for (const auto& c : cases) {
        std::string url = c.first;
        CHttpClient::AppendParams(params, &url);
        EXPECT_EQ(c.second, url);
    }
    std::string untouched = "https://h/p";
    CHttpClient::AppendParams(StringMap(), &untouched);
    EXPECT_EQ("https://h/p", untouched);
}

TEST(HttpClient, BuildsHeaderLinesWithoutSpaceAfterTheColon)
{
    curl_slist* list = nullptr;
    CHttpClient::BuildHeaders({{"Content-Type", "application/json"}, {"A", "b"}}, &list);
    ASSERT_NE(nullptr, list);
    EXPECT_STREQ("A:b", list->data);
    ASSERT_NE(nullptr, list->next);
    EXPECT_STREQ("Content-Type:application/json", list->next->data);
    EXPECT_EQ(nullptr, list->next->next);
    curl_slist_free_all(list);
}

TEST(SpeechClient, RequestBodyHasTheServiceMembersTypesAndOrder)
{
    const Json::Value body = CSpeechClient::BuildRequest(std::string("\x01\x02\x03\x04", 4), "pcm", 16000,
                                                         {{"dev_pid", "1537"}}, "tok", "key");
    EXPECT_EQ("{\n\t\"channel\" : \"1\",\n\t\"cuid\" : \"key\",\n\t\"dev_pid\" : \"1537\",\n\t\"format\" : \"pcm\",\n"
              "\t\"len\" : 4,\n\t\"rate\" : \"16000\",\n\t\"speech\" : \"AQIDBA==\",\n\t\"token\" : \"tok\"\n}",
              Styled(body));
}

TEST(SpeechReply, ReadsTheMembersAsTheJsonLibraryConvertsThem)
{
    struct Case {
        const char* reply;
        int code;
        const char* error;
        const char* text;
    };
    // Numbers and true/false read as text, reals cut to whole numbers, a
    // missing member as nothing.
    const Case cases[] = {
        {R"({"err_no":0,"err_msg":"success.","result":["abc"]})", 0, "success.", "abc"},
        {R"({"err_no":0,"err_msg":"success.","result":[]})", 0, "success.", ""},
        {R"({"err_no":0,"err_msg":"success."})", 0, "success.", ""},
        {R"({"err_no":0,"result":[7, "x"]})", 0, "", "7"},
        {R"({"err_no":0,"result":[true]})", 0, "", "true"},
        {R"({"err_no":3301,"err_msg":"speech quality error."})", 3301, "speech quality error.", ""},
        {R"({"err_no":3300,"err_msg":12,"result":["not read"]})", 3300, "12", ""},
        {R"({"err_no":1.5})", 1, "", ""},
        {R"({"err_no":-0.5,"result":["abc"]})", 0, "", "abc"},
        {R"({"err_no":true,"err_msg":false})", 1, "false", ""},
        {R"({"err_no":null,"result":["abc"]})", 0, "", "abc"},
    };
    for (const Case& c : cases) {
        const SpeechReply read = ReadSpeechReply(ParseReply(c.reply));
        EXPECT_TRUE(read.fromService) << c.reply;
        EXPECT_EQ(c.code, read.code) << c.reply;
        EXPECT_EQ(c.error, read.error) << c.reply;
        EXPECT_EQ(c.text, read.text) << c.reply;
    }
}

// Replies the JSON library could only read by throwing, which would end the
// piece's thread, and replies without err_no: a local failure, with the
// reply's own text as the error.
TEST(SpeechReply, UnreadableRepliesAreALocalFailureWithTheirText)
{
    const char* const replies[] = {
        R"({"err_no":"0","result":["abc"]})",
        R"({"err_no":4294967296})",
        R"({"err_no":1e10})",
        R"({"err_no":[0]})",
        R"({"err_no":3300,"err_msg":{"a":1}})",
        R"({"err_no":0,"result":"abc"})",
        R"({"err_no":0,"result":{"0":"abc"}})",
        R"({"err_no":0,"result":[["abc"]]})",
        R"([1,2])",
        R"("text")",
        R"({"curl_error_code":7})",
    };
    for (const char* text : replies) {
        const Json::Value reply = ParseReply(text);
        SpeechReply read;
        ASSERT_NO_THROW(read = ReadSpeechReply(reply)) << text;
        EXPECT_FALSE(read.fromService) << text;
        EXPECT_EQ(-1, read.code) << text;
        EXPECT_EQ(Styled(reply), read.error) << text;
        EXPECT_EQ("", read.text) << text;
    }
    EXPECT_EQ("null", ReadSpeechReply(Json::Value()).error);
}

TEST(ReadFileToString, ReadsAFileAnotherHandleIsWriting)
{
    const std::string path = GetTempDir() + "\\readfile_shared.bin";
    ScopedHandle writer(CreateFileW(AnsiToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.valid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer.get(), "abc\0def", 7, &written, nullptr));
    std::string out = "x";
    EXPECT_EQ(0, ReadFileToString(path, &out));
    EXPECT_EQ(std::string("xabc\0def", 8), out);
    writer.reset();
    DeleteFileW(AnsiToWide(path).c_str());
    EXPECT_EQ(-1, ReadFileToString(path, &out));
}

TEST(SpeechSettings, BlankOrMissingAddressMeansThePublicService)
{
    SpeechService::ForgetSettings();
    EXPECT_EQ("https://openapi.vantorin.com/oauth/2.0/token", GetTokenUrl());
    WriteConfigString(kTokenUrlKey, L"https://127.0.0.1:9/oauth/2.0/token");
    EXPECT_EQ("https://127.0.0.1:9/oauth/2.0/token", GetTokenUrl());
    SpeechService::ForgetSettings();
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(0, service_.Port()) << "speech stand-in not running";
        service_.PrepareRestRun();
        Trusted();
    }

    // Every request verified against the stand-in's own certificate.
    void Trusted() const { service_.PointSettingsHere(service_.CertificateFile()); }

    void TearDown() override { SpeechService::ForgetSettings(); }

    // One second of tone speech: "你好" "世界".
    static std::string SpeechPcm() { return tonespeech::PcmBytes(tonespeech::Speak({10, 11}).samples); }

    static CSpeechClient MakeClient() { return CSpeechClient("1", kServiceApiKey, kServiceSecretKey); }

    SpeechService service_;
};

TEST_F(ServiceTest, TokenQueryAndRecognitionRequestReachTheServiceInWireForm)
{
    CSpeechClient client = MakeClient();
    const std::string pcm = SpeechPcm();
    const Json::Value reply = client.Recognize(pcm, "pcm", 16000, {{"dev_pid", "1737"}});
    EXPECT_EQ(0, reply["err_no"].asInt()) << Styled(reply);
    EXPECT_EQ(u8"你好世界", reply["result"][0].asString());

    const Json::Value requests = service_.Stats()["requests"];
    ASSERT_EQ(2u, requests.size()) << Styled(requests);
    EXPECT_EQ("token", requests[0]["endpoint"].asString());
    EXPECT_EQ(std::string("client_id=") + kServiceApiKey + "&client_secret=" + kServiceSecretKey +
                  "&grant_type=client_credentials&",
              requests[0]["query"].asString());
    const Json::Value& recognition = requests[1];
    EXPECT_EQ("recognize", recognition["endpoint"].asString());
    EXPECT_EQ(0, recognition["err_no"].asInt()) << Styled(recognition);
    EXPECT_EQ("application/json", recognition["content_type"].asString());
    EXPECT_EQ(kServiceApiKey, recognition["cuid"].asString());
    EXPECT_EQ("1737", recognition["dev_pid"].asString());
    EXPECT_EQ(static_cast<int>(pcm.size()), recognition["len"].asInt());
    EXPECT_TRUE(recognition["query"].isNull() || recognition["query"].asString().empty());
}

TEST_F(ServiceTest, NamedCaFileIsUsedToVerifyThePrivateEndpoint)
{
    // The fixture names the stand-in's own certificate: it chains, and the
    // reply is the service's.
    CSpeechClient client = MakeClient();
    const Json::Value reply = client.Recognize(SpeechPcm(), "pcm", 16000, {});
    ASSERT_TRUE(reply.isMember("err_no")) << Styled(reply);
    EXPECT_EQ(0, reply["err_no"].asInt()) << Styled(reply);
    EXPECT_EQ(1, service_.TokenRequests());

    // With a CA file named, the server must chain to it: an unrelated
    // authority, or a file that is not there, refuses the connection before
    // any key or audio is sent.
    const std::string unrelated = GetTempDir() + "\\unrelated_ca.pem";
    ASSERT_TRUE(WriteBinaryFile(unrelated, kUnrelatedCa));
    const std::pair<std::string, int> refusals[] = {
        {unrelated, CURLE_PEER_FAILED_VERIFICATION},
        {GetTempDir() + "\\missing_ca.pem", CURLE_SSL_CACERT_BADFILE},
    };
    for (const auto& refusal : refusals) {
        service_.Reset();
        service_.PointSettingsHere(refusal.first);
        CSpeechClient refusing = MakeClient();
        const std::string token = refusing.GetAccessToken();
        EXPECT_EQ(Styled(CurlFailure(refusal.second)), token) << refusal.first;
        const Json::Value refused = refusing.Recognize(SpeechPcm(), "pcm", 16000, {});
        EXPECT_EQ(Styled(CurlFailure(refusal.second)), Styled(refused)) << refusal.first;
        EXPECT_EQ(0, service_.TokenRequests()) << refusal.first;
        EXPECT_EQ(0, service_.RecognizeRequests()) << refusal.first;
    }

    // The stand-in's certificate names "localhost": reached by an address it
    // does not name, the right authority alone does not let the requests out.
    service_.Reset();
    service_.PointSettingsHere(service_.CertificateFile());
    WriteConfigString(kTokenUrlKey, Utf8ToWide(service_.Url("/oauth/2.0/token")));
    WriteConfigString(kRecognizeUrlKey, Utf8ToWide(service_.Url("/server_api")));
    CSpeechClient misnamed = MakeClient();
    EXPECT_EQ(Styled(CurlFailure(CURLE_PEER_FAILED_VERIFICATION)), misnamed.GetAccessToken());
    EXPECT_EQ(Styled(CurlFailure(CURLE_PEER_FAILED_VERIFICATION)),
              Styled(misnamed.Recognize(SpeechPcm(), "pcm", 16000, {})));
    EXPECT_EQ(0, service_.TokenRequests());
    EXPECT_EQ(0, service_.RecognizeRequests());
}

TEST_F(ServiceTest, HeldTokenIsReusedOnlyWhileMoreThanADayIsLeft)
{
    struct Case {
        int lifetime;
        int tokenRequests;
    };
    const Case cases[] = {{2592000, 1}, {86401 + 60, 1}, {86400, 2}, {3600, 2}, {0, 2}};
    const std::string pcm = SpeechPcm();
    for (const Case& c : cases) {
        service_.Reset();
        service_.Control("token-lifetime", "seconds=" + std::to_string(c.lifetime));
        CSpeechClient client = MakeClient();
        client.Recognize(pcm, "pcm", 16000, {});
        client.Recognize(pcm, "pcm", 16000, {});
        EXPECT_EQ(c.tokenRequests, service_.TokenRequests()) << "lifetime " << c.lifetime;
        EXPECT_EQ(2, service_.RecognizeRequests()) << "lifetime " << c.lifetime;
    }
}

TEST_F(ServiceTest, TokenLifetimeBeyondSixtyFourBitsIsHeldWithoutFailing)
{
    struct Case {
        const char* lifetime;
        int tokenRequests;
    };
    // Too long to hold means never expiring; a hugely negative one has expired.
    const Case cases[] = {{"18446744073709551615", 1}, {"9223372036854775807", 1}, {"-9223372036854775808", 2}};
    const std::string pcm = SpeechPcm();
    for (const Case& c : cases) {
        service_.Reset();
        service_.Control("token-lifetime", std::string("seconds=") + c.lifetime);
        CSpeechClient client = MakeClient();
        client.Recognize(pcm, "pcm", 16000, {});
        client.Recognize(pcm, "pcm", 16000, {});
        EXPECT_EQ(c.tokenRequests, service_.TokenRequests()) << "lifetime " << c.lifetime;
        EXPECT_EQ(2, service_.RecognizeRequests()) << "lifetime " << c.lifetime;
    }
}

// The token reply's members are read as the JSON library converts them; a
// held token is used again while it has more than a day to live.
TEST_F(ServiceTest, TokenReplyMembersAreReadAsTheJsonLibraryConvertsThem)
{
    struct Case {
        const char* reply;
        const char* token;
        int tokenRequests;
    };
    const Case cases[] = {
        {R"({"access_token":12345,"expires_in":2592000,"scope":7})", "12345", 1},
        {R"({"access_token":"tok","expires_in":2592000.5})", "tok", 1},
        {R"({"access_token":"tok","expires_in":"2592000"})", "tok", 2},
        {R"({"access_token":"tok","expires_in":true})", "tok", 2},
        {R"({"access_token":["tok"],"expires_in":2592000})", "", 2},
        {R"({"access_token":{"a":"tok"},"expires_in":2592000})", "", 2},
        {R"(["tok"])", "", 2},
    };
    const std::string pcm = SpeechPcm();
    for (const Case& c : cases) {
        service_.Reset();
        service_.Control("fail", "target=token&kind=body&count=2&body=" + Escaped(c.reply));
        CSpeechClient client = MakeClient();
        client.Recognize(pcm, "pcm", 16000, {});
        client.Recognize(pcm, "pcm", 16000, {});
        EXPECT_EQ(c.tokenRequests, service_.TokenRequests()) << c.reply;
        const Json::Value requests = service_.Stats()["requests"];
        ASSERT_EQ(static_cast<Json::ArrayIndex>(2 + c.tokenRequests), requests.size()) << Styled(requests);
        EXPECT_EQ(c.token, requests[1]["token"].asString()) << c.reply;
    }
}

// Exposes the reply parser of the client.
class ReplyParser : public CSpeechClient {
public:
    ReplyParser() : CSpeechClient("1", "api", "secret") {}
    using CSpeechClientBase::Parse;
};

TEST(SpeechClient, ReplyNestedBeyondTheReadersLimitParsesAsNothing)
{
    ReplyParser parser;
    EXPECT_EQ(3, parser.Parse("{\"err_no\": 3, \"result\": [[1]]}")["err_no"].asInt());
    const std::string deep = std::string(5000, '[') + std::string(5000, ']');
    EXPECT_TRUE(parser.Parse(deep).isNull());
    const std::string deepInReply = "{\"err_no\": 0, \"result\": " + deep + "}";
    EXPECT_TRUE(parser.Parse(deepInReply).isNull());
}

// A token reply without a token leaves the token empty; the audio still
// goes, and the service's refusal of the empty token is the answer.
TEST_F(ServiceTest, TokenReplyWithoutATokenSendsTheAudioWithAnEmptyToken)
{
    const char* const refusals[] = {
        // The stand-in's own error shape.
        "target=token&kind=error&err_no=3302&err_msg=bad%20key",
        // The OAuth server's refusal: HTTP 401, no err_no.
        "target=token&kind=oauth_error&error=invalid_client&error_description=unknown%20client%20id",
        "target=token&kind=non_json",
    };
    for (const char* refusal : refusals) {
        service_.Reset();
        service_.Control("fail", refusal);
        CSpeechClient probe = MakeClient();
        EXPECT_EQ("", probe.GetAccessToken()) << refusal;

        service_.Control("fail", refusal);
        CSpeechClient client = MakeClient();
        const Json::Value reply = client.Recognize(SpeechPcm(), "pcm", 16000, {});
        EXPECT_EQ(3302, reply["err_no"].asInt()) << refusal << Styled(reply);
        EXPECT_EQ("authentication failed: invalid token", reply["err_msg"].asString()) << refusal;
        const Json::Value requests = service_.Stats()["requests"];
        // The probe's token request, this one's, and the audio.
        ASSERT_EQ(3u, requests.size()) << refusal << Styled(requests);
        EXPECT_EQ("recognize", requests[2]["endpoint"].asString());
        EXPECT_EQ("", requests[2]["token"].asString()) << refusal;

        // No token is held: the next request asks again, and a sound reply
        // lets the audio through.
        EXPECT_EQ(0, client.Recognize(SpeechPcm(), "pcm", 16000, {})["err_no"].asInt()) << refusal;
        EXPECT_EQ(3, service_.TokenRequests()) << refusal;
    }
}

TEST_F(ServiceTest, RefusedConnectionGivesTheCurlErrorCode)
{
    // Port 1 on the loopback has no listener.
    WriteConfigString(kTokenUrlKey, L"https://127.0.0.1:1/oauth/2.0/token");
    CSpeechClient client = MakeClient();
    const std::string failure = "{\n\t\"curl_error_code\" : 7\n}";
    EXPECT_EQ(failure, client.GetAccessToken());
    // The failure's text goes as the token, and the service refuses it.
    const Json::Value reply = client.Recognize(SpeechPcm(), "pcm", 16000, {});
    EXPECT_EQ(3302, reply["err_no"].asInt()) << Styled(reply);
    const Json::Value requests = service_.Stats()["requests"];
    ASSERT_EQ(1u, requests.size()) << Styled(requests);
    EXPECT_EQ(failure, requests[0]["token"].asString());

    Trusted();
    WriteConfigString(kRecognizeUrlKey, L"https://127.0.0.1:1/server_api");
    CSpeechClient second = MakeClient();
    EXPECT_EQ(7, second.Recognize(SpeechPcm(), "pcm", 16000, {})["curl_error_code"].asInt());
    Trusted();
}

// The highest working set of this process so far, in bytes.
size_t PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)) ? counters.PeakWorkingSetSize : 0;
}

// Replies far beyond any the service sends end their transfer as a
// transport failure does, and leave the memory as it was: ten pieces in
// flight in a 32-bit process could not hold them.
TEST_F(ServiceTest, OversizedRepliesEndAsATransportFailureWithoutTheirMemory)
{
    struct Case {
        const char* target;
        const char* shape;
        size_t bytes;
    };
    const Case cases[] = {
        {"token", "token", 200u << 20},
        {"recognize", "result", 300u << 20},
        {"recognize", "control", 50u << 20},
        // Just past the bound, and just within it.
        {"recognize", "result", (256u << 10) + 1},
    };
    const std::string writeError = Styled(CurlFailure(CURLE_WRITE_ERROR));
    const std::string pcm = SpeechPcm();
    for (const Case& c : cases) {
        const std::string label = std::string(c.shape) + " " + std::to_string(c.bytes);
        LogCapture log;
        service_.Reset();
        service_.Control("fail", std::string("kind=large&target=") + c.target + "&shape=" + c.shape +
                                     "&bytes=" + std::to_string(c.bytes));
        const size_t before = PeakWorkingSet();
        CSpeechClient client = MakeClient();
        const Json::Value reply = client.Recognize(pcm, "pcm", 16000, {});
        const size_t after = PeakWorkingSet();
        ASSERT_NE(0u, before);
        std::printf("[ measured ] %s: peak working set %.1f MiB, then %.1f MiB\n", label.c_str(), before / 1048576.0,
                    after / 1048576.0);
        EXPECT_LT(after - before, size_t(16) << 20) << label;

        const bool token = std::string(c.target) == "token";
        const auto reasons = LogCapture::Matching(2, "reply over 262144 bytes, transfer stopped: https://localhost:");
        EXPECT_EQ(1u, reasons.size()) << label;
        const std::string path = token ? "/oauth/2.0/token" : "/server_api";
        EXPECT_TRUE(reasons.size() == 1 && reasons[0].find(path) != std::string::npos) << label;
        if (token) {
            // The failure's text goes as the token, as for any transport
            // failure, and the service refuses it.
            EXPECT_EQ(3302, reply["err_no"].asInt()) << Head(Styled(reply));
            const Json::Value requests = service_.Stats()["requests"];
            EXPECT_TRUE(requests.size() == 2 && requests[1]["token"].asString() == writeError) << label;
        } else {
            const std::string styled = Styled(reply);
            EXPECT_TRUE(writeError == styled) << label << ": " << Head(styled);
        }
    }

    service_.Reset();
    service_.Control("fail", "kind=large&shape=result&bytes=" + std::to_string(256u << 10));
    LogCapture log;
    CSpeechClient client = MakeClient();
    const Json::Value within = client.Recognize(pcm, "pcm", 16000, {});
    EXPECT_EQ(0, within["err_no"].asInt()) << "within the bound";
    EXPECT_EQ((256u << 10) - 47, within["result"][0].asString().size());
    EXPECT_TRUE(LogCapture::Matching(2, "reply over ").empty());
}

// Runs one REST task to its end on a piece cut from a WAV source.
class AudioTaskTest : public ServiceTest {
protected:
    struct Outcome {
        int code = 0;
        std::string error;
        std::string text;
    };

    void SetUp() override
    {
        ServiceTest::SetUp();
        source_ = GetTempDir() + "\\resttask_source.wav";
        ASSERT_TRUE(WriteBinaryFile(source_, tonespeech::WavFile(tonespeech::Speak({12, 13, 3}).samples)));
        pieceFile_ = GetTempDir() + "\\resttask_piece.pcm";
    }

    Outcome Run(const std::string& source)
    {
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        Outcome outcome;
        struct Context {
            HANDLE done;
            Outcome* outcome;
        } context = {done, &outcome};
        CAudioTask* task = new CAudioTask;
        task->SetCallback(
            [](SimpleThread* finished, void* user) {
                auto* context = static_cast<Context*>(user);
                auto* audio = static_cast<CAudioTask*>(finished);
                context->outcome->code = audio->GetCode();
                context->outcome->error = audio->GetError();
                context->outcome->text = audio->GetText();
                SetEvent(context->done);
                delete audio;
            },
            &context);
        const std::wstring line =
            PieceArguments(AudioPiece::kEngineRest, source, FormatHms(0), FormatHms(58), pieceFile_);
        EXPECT_TRUE(task->Start(line, pieceFile_, 0));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000));
        CloseHandle(done);
        return outcome;
    }

    std::string source_;
    std::string pieceFile_;
};

TEST_F(AudioTaskTest, CutsThePieceAndReturnsTheRecognisedText)
{
    LogCapture log;
    const Outcome outcome = Run(source_);
    EXPECT_EQ(0, outcome.code) << outcome.error;
    EXPECT_EQ(u8"语音识别三", outcome.text);
    EXPECT_EQ(1u, LogCapture::Matching(1, "speech text size: ").size());
}

TEST_F(AudioTaskTest, SendsTheDevPidOfTheLanguage)
{
    const std::pair<int, const char*> cases[] = {{1, "1537"}, {2, "1837"},  {3, "1637"},
                                                 {4, "1737"}, {0, nullptr}, {5, nullptr}};
    for (const auto& c : cases) {
        service_.Reset();
        CData::GetInstance()->SetLanguage(c.first);
        const Outcome outcome = Run(source_);
        EXPECT_EQ(0, outcome.code) << outcome.error;
        const Json::Value requests = service_.Stats()["requests"];
        ASSERT_EQ(2u, requests.size());
        if (c.second)
            EXPECT_EQ(c.second, requests[1]["dev_pid"].asString()) << "language " << c.first;
        else
            EXPECT_TRUE(requests[1]["dev_pid"].isNull()) << "language " << c.first;
    }
    CData::GetInstance()->SetLanguage(1);
}

TEST_F(AudioTaskTest, PoorAudioIsReportedWithoutAWarning)
{
    LogCapture log;
    service_.Control("fail", "kind=error&err_no=3301");
    const Outcome outcome = Run(source_);
    EXPECT_EQ(3301, outcome.code);
    EXPECT_EQ("speech quality error.", outcome.error);
    EXPECT_TRUE(LogCapture::Matching(2, "speech bd error.").empty());

    service_.Control("fail", "kind=error&err_no=3300&err_msg=bad");
    EXPECT_EQ(3300, Run(source_).code);
    const auto warnings = LogCapture::Matching(2, "speech bd error. code=3300 ");
    ASSERT_EQ(1u, warnings.size());
    EXPECT_NE(std::string::npos, warnings[0].find(kServiceApiKey));
}

// What the user is told comes from the piece's code and error text.
TEST_F(AudioTaskTest, OAuthRefusalOfTheKeysEndsAsTheServicesAuthenticationError)
{
    LogCapture log;
    service_.Control("fail", "target=token&kind=oauth_error&error=invalid_client&error_description=bad");
    const Outcome outcome = Run(source_);
    EXPECT_EQ(3302, outcome.code);
    EXPECT_EQ("authentication failed: invalid token", outcome.error);
    EXPECT_EQ("", outcome.text);
    const auto warnings = LogCapture::Matching(2, "speech bd error. code=3302 ");
    ASSERT_EQ(1u, warnings.size());
    EXPECT_NE(std::string::npos, warnings[0].find(kServiceApiKey));
}

// What the task makes of the service's replies, and which of them it warns of.
TEST_F(AudioTaskTest, ServiceRepliesBecomeTheCodeErrorAndText)
{
    struct Case {
        const char* reply;
        int code;
        const char* error;
        const char* text;
        const char* warning;  // the start of the one warning, or none
    };
    const Case cases[] = {
        {R"({"err_no":0,"err_msg":"success.","result":[]})", 0, "success.", "", nullptr},
        {R"({"err_no":0,"err_msg":"success."})", 0, "success.", "", nullptr},
        {R"({"err_no":0,"result":[7]})", 0, "", "7", nullptr},
        {R"({"err_no":3300,"err_msg":12})", 3300, "12", "", "speech bd error. code=3300 "},
        {R"({"err_no":1.5,"err_msg":"odd"})", 1, "odd", "", "speech bd error. code=1 "},
        {R"({"err_no":3301.9,"err_msg":"poor"})", 3301, "poor", "", nullptr},
        {R"({"err_no":"0","result":["abc"]})", -1,
         "{\n\t\"err_no\" : \"0\",\n\t\"result\" : \n\t[\n\t\t\"abc\"\n\t]\n}", "", "speech curl error: {"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        service_.Reset();
        service_.Control("fail", "kind=body&body=" + Escaped(c.reply));
        const Outcome outcome = Run(source_);
        EXPECT_EQ(c.code, outcome.code) << c.reply;
        EXPECT_EQ(c.error, outcome.error) << c.reply;
        EXPECT_EQ(c.text, outcome.text) << c.reply;
        const auto bd = LogCapture::Matching(2, "speech bd error.");
        const auto curl = LogCapture::Matching(2, "speech curl error: ");
        EXPECT_EQ(c.warning ? 1u : 0u, bd.size() + curl.size()) << c.reply;
        if (c.warning) {
            const std::string warning = bd.empty() ? (curl.empty() ? "" : curl[0]) : bd[0];
            EXPECT_EQ(0u, warning.find(c.warning)) << c.reply << " " << warning;
        }
        if (c.code == 0) {
            const std::string size = "speech text size: " + std::to_string(strlen(c.text));
            EXPECT_EQ(1u, LogCapture::Matching(1, size).size()) << c.reply;
        }
    }
}

// The piece path is the one the scheduler recorded: a source whose name
// holds "16000 " does not bend it.
TEST_F(AudioTaskTest, SourceNameHoldingTheRateDoesNotChangeThePiecePath)
{
    const std::string named = GetTempDir() + "\\rest 16000 tone.wav";
    ASSERT_TRUE(CopyFileW(AnsiToWide(source_).c_str(), AnsiToWide(named).c_str(), FALSE));
    const Outcome outcome = Run(named);
    EXPECT_EQ(0, outcome.code) << outcome.error;
    EXPECT_EQ(u8"语音识别三", outcome.text);
    DeleteFileW(AnsiToWide(named).c_str());
}

// A reply past the bound ends its transfer. Cut short, the recognition
// reply is a local failure with the transfer's code; the token getter yields
// that code's text in place of a token, as for any transport failure, and
// the service refuses it as a token.
TEST_F(AudioTaskTest, OversizedRepliesEndThePieceAsTheirTransferFails)
{
    struct Case {
        const char* failure;
        int code;
        const char* path;
        const char* warning;
    };
    const std::string writeError = Styled(CurlFailure(CURLE_WRITE_ERROR));
    const Case cases[] = {
        {"kind=large&shape=control&bytes=52428800", -1, "/server_api", "speech curl error: {"},
        {"kind=large&shape=result&bytes=262145", -1, "/server_api", "speech curl error: {"},
        {"target=token&kind=large&shape=token&bytes=52428800", 3302, "/oauth/2.0/token", "speech bd error. code=3302 "},
    };
    for (const Case& c : cases) {
        LogCapture log;
        service_.Reset();
        service_.Control("fail", c.failure);
        const size_t before = PeakWorkingSet();
        const Outcome outcome = Run(source_);
        const size_t after = PeakWorkingSet();
        std::printf("[ measured ] task, %s: peak working set %.1f MiB, then %.1f MiB\n", c.failure, before / 1048576.0,
                    after / 1048576.0);
        // The reply is not kept, nor copied into the error text.
        EXPECT_LT(after - before, size_t(16) << 20) << c.failure;
        EXPECT_EQ(c.code, outcome.code) << c.failure;
        if (c.code == -1)
            EXPECT_TRUE(writeError == outcome.error) << Head(outcome.error);
        else
            EXPECT_EQ("authentication failed: invalid token", outcome.error) << c.failure;
        EXPECT_EQ("", outcome.text);
        const auto reasons = LogCapture::Matching(2, "reply over 262144 bytes, transfer stopped: ");
        EXPECT_TRUE(reasons.size() == 1 && reasons[0].find(c.path) != std::string::npos) << c.failure;
        const auto warnings = LogCapture::Matching(2, c.warning);
        EXPECT_EQ(1u, warnings.size()) << c.failure;
        if (c.code != -1) {
            const Json::Value requests = service_.Stats()["requests"];
            EXPECT_TRUE(requests.size() == 2 && requests[1]["token"].asString() == writeError) << c.failure;
        }
    }
}

// Only a whole JSON text is the service's reply: one that stops in its
// middle, whatever its Content-Length says, or that goes on after its end,
// is a local failure, not a success without text. A token reply cut in its
// token leaves no token, and the service refuses the audio sent without one.
TEST_F(AudioTaskTest, ReplyThatIsNotAWholeJsonTextIsALocalFailure)
{
    struct Case {
        const char* failure;
        int code;
        const char* error;
        const char* warning;
        const char* token;  // the token the audio went with, when not the service's
    };
    const std::string trailing = "kind=body&body=" + Escaped(R"({"err_no":0,"err_msg":"success.","result":["abc"]}x)");
    const std::string twice =
        "kind=body&body=" + Escaped(R"({"err_no":0,"result":["abc"]} {"err_no":3300,"err_msg":"bad"})");
    const Case cases[] = {
        {"kind=cut&cut=body", -1, "null", "speech curl error: null", nullptr},
        {"kind=cut&cut=length", -1, "null", "speech curl error: null", nullptr},
        {trailing.c_str(), -1, "null", "speech curl error: null", nullptr},
        {twice.c_str(), -1, "null", "speech curl error: null", nullptr},
        {"target=token&kind=cut&cut=body", 3302, "authentication failed: invalid token", "speech bd error. code=3302 ",
         ""},
        {"target=token&kind=cut&cut=length", 3302, "authentication failed: invalid token",
         "speech bd error. code=3302 ", ""},
    };
    for (const Case& c : cases) {
        LogCapture log;
        service_.Reset();
        service_.Control("fail", c.failure);
        const Outcome outcome = Run(source_);
        EXPECT_EQ(c.code, outcome.code) << c.failure;
        EXPECT_EQ(c.error, outcome.error) << c.failure;
        EXPECT_EQ("", outcome.text) << c.failure;
        const auto curl = LogCapture::Matching(2, "speech curl error: ");
        const auto bd = LogCapture::Matching(2, "speech bd error.");
        EXPECT_EQ(1u, curl.size() + bd.size()) << c.failure;
        const std::string warning = curl.empty() ? (bd.empty() ? "" : bd[0]) : curl[0];
        EXPECT_EQ(0u, warning.find(c.warning)) << c.failure << ": " << warning;
        EXPECT_TRUE(LogCapture::Matching(1, "speech text size: ").empty()) << c.failure;
        const Json::Value requests = service_.Stats()["requests"];
        EXPECT_EQ(2u, requests.size()) << c.failure;
        if (c.token)
            EXPECT_EQ(c.token, requests[1]["token"].asString()) << c.failure;
        else
            EXPECT_EQ(0, requests[1]["err_no"].asInt()) << c.failure << ": the service did not answer in full";
    }
}

// The reader gives up on a text nested beyond its limit by throwing; on the
// piece's thread that would end the program. Such a token reply holds no
// token, and the service refuses the audio sent without one.
TEST_F(AudioTaskTest, ReplyNestedBeyondTheReadersLimitIsALocalFailure)
{
    struct Case {
        const char* target;
        std::string reply;
        int code;
        const char* error;
        const char* warning;
    };
    const std::string deep = std::string(2000, '[') + std::string(2000, ']');
    const Case cases[] = {
        {"token", R"({"access_token":"tok","scope":)" + deep + "}", 3302, "authentication failed: invalid token",
         "speech bd error. code=3302 "},
        {"recognize", deep, -1, "null", "speech curl error: null"},
        {"recognize", R"({"err_no":0,"err_msg":"success.","result":)" + deep + "}", -1, "null",
         "speech curl error: null"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        service_.Reset();
        service_.Control("fail", std::string("target=") + c.target + "&kind=body&body=" + Escaped(c.reply));
        const Outcome outcome = Run(source_);
        EXPECT_EQ(c.code, outcome.code) << Head(c.reply);
        EXPECT_EQ(c.error, outcome.error) << Head(c.reply);
        EXPECT_EQ("", outcome.text);
        EXPECT_EQ(1u, LogCapture::Matching(2, c.warning).size()) << Head(c.reply);
        if (std::string(c.target) == "token") {
            EXPECT_EQ("", service_.Stats()["requests"][1]["token"].asString());
        }
    }
}

TEST_F(AudioTaskTest, UnreadableOrMissingReplyIsALocalFailure)
{
    LogCapture log;
    service_.Control("fail", "kind=non_json");
    Outcome outcome = Run(source_);
    EXPECT_EQ(-1, outcome.code);
    EXPECT_EQ("null", outcome.error);

    service_.Control("fail", "kind=drop");
    outcome = Run(source_);
    EXPECT_EQ(-1, outcome.code);
    EXPECT_NE(std::string::npos, outcome.error.find("curl_error_code")) << outcome.error;
    EXPECT_EQ(2u, LogCapture::Matching(2, "speech curl error: ").size());
}

TEST_F(AudioTaskTest, NoConverterOutputSendsNothing)
{
    LogCapture log;
    CData* data = CData::GetInstance();
    data->AddKey({{"pair0", "s0"}, {"pair1", "s1"}, {"pair2", "s2"}});
    const std::string before = data->GetServerKey().apiKey;
    // A piece file left by an earlier start, or by a run that ended without
    // emptying Temp, is not this start's cut.
    ASSERT_TRUE(WriteBinaryFile(pieceFile_, SpeechPcm()));
    const Outcome outcome = Run(GetTempDir() + "\\no_such_source.wav");
    EXPECT_EQ(-1, outcome.code);
    EXPECT_EQ("no file", outcome.error);
    EXPECT_EQ(0, service_.TokenRequests());
    EXPECT_EQ(0, service_.RecognizeRequests());
    EXPECT_EQ(1u, LogCapture::Matching(2, "read pcm file null ").size());
    // The start took its pair even though nothing was sent.
    const int next = (before.back() - '0' + 2) % 3;
    EXPECT_EQ("pair" + std::to_string(next), data->GetServerKey().apiKey);
}

// One REST piece through the scheduler, which starts a failed piece again.
class RestRetryTest : public PipelineWindowTest {
protected:
    void TearDown() override
    {
        EXPECT_TRUE(PumpUntil([this] { return convert_.GetRunning() == 0; }, 120000));
        PipelineWindowTest::TearDown();
    }

    // The piece as it came back for the last time; null when it did not.
    AudioPiece* RunPiece(const std::string& source)
    {
        const tonespeech::Recording recording = tonespeech::Speak({14});
        EXPECT_TRUE(WriteBinaryFile(source, tonespeech::WavFile(recording.samples)));
        const int seconds = static_cast<int>(recording.samples.size() / tonespeech::kSampleRate + 1);
        if (!convert_.AddTask(source, seconds, source))
            return nullptr;
        const bool back = PumpUntil(
            [this] {
                convert_.OnTimer();
                return !window_->Received(WM_USER_AUDIO_RESULT).empty();
            },
            120000);
        return back ? reinterpret_cast<AudioPiece*>(window_->Received(WM_USER_AUDIO_RESULT)[0].wParam) : nullptr;
    }

    CAudioConvert convert_;
};

TEST_F(RestRetryTest, CutAndOversizedRepliesAreStartedAgainAsOtherFailures)
{
    struct Case {
        const char* failure;
        int count;
        int code;
        std::string message;
        const char* text;
    };
    const Case cases[] = {
        {"kind=cut&cut=body", 5, -1, "null", ""},
        {"kind=cut&cut=length", 4, 0, "success.", u8"测试"},
        {"kind=large&shape=result&bytes=262145", 5, -1, Styled(CurlFailure(CURLE_WRITE_ERROR)), ""},
        {"target=token&kind=large&shape=token&bytes=262145", 5, 3302, "authentication failed: invalid token", ""},
    };
    const std::string source = GetTempDir() + "\\rest_retry.wav";
    for (const Case& c : cases) {
        service_.Reset();
        window_->Clear();
        service_.Control("fail", std::string(c.failure) + "&count=" + std::to_string(c.count));
        LogCapture log;
        AudioPiece* piece = RunPiece(source);
        ASSERT_NE(nullptr, piece) << c.failure;
        EXPECT_EQ(c.code, piece->code.load()) << c.failure;
        EXPECT_EQ(c.message, piece->GetMessageText()) << c.failure;
        EXPECT_EQ(c.text, piece->GetText()) << c.failure;
        EXPECT_EQ(5, piece->starts) << c.failure;
        EXPECT_EQ(5, service_.RecognizeRequests()) << c.failure;
        EXPECT_EQ(4u, LogCapture::Matching(2, "speech task failed. ").size()) << c.failure;
        convert_.RemoveFile(source);
    }
}

TEST(AudioTask, RefusesAnEmptyLineOrPieceFile)
{
    CAudioTask task;
    EXPECT_FALSE(task.Start(L"", "x.pcm", 0));
    EXPECT_FALSE(task.Start(L"-i x", "", 0));
}

}  // namespace
