// The running makerservice spoken to by the program's own HTTP library, the
// way the update checker and the diagnostics upload speak to it.
#include "MakerServiceControl.h"
#include "StringUtils.h"

#include <fstream>
#include <string>
#include <vector>

namespace {

using makerservice::Control;

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string headers;
};

Reply Perform(CURL* curl, const std::string& path)
{
    Reply reply;
    std::string url = makerservice::BaseUrl() + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, makerservice::AppendTo);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, makerservice::AppendTo);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, curl_version());
    reply.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_cleanup(curl);
    return reply;
}

Reply Get(const std::string& path, const char* acceptEncoding, long timeoutSeconds = 10)
{
    CURL* curl = curl_easy_init();
    if (acceptEncoding)
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, acceptEncoding);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    return Perform(curl, path);
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream file(path, std::ios::binary);
    file << content;
    ASSERT_TRUE(file.good()) << path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class MakerServiceWireTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_DEFAULT); }

    void SetUp() override
    {
        ASSERT_FALSE(makerservice::BaseUrl().empty()) << "makerservice.port is missing";
        Control("/control/reset", "");
    }
};

TEST_F(MakerServiceWireTest, ReleasedFilesAreListedPlainAndDeflated)
{
    Control("/control/version", R"({"app": "WireApp", "latest-version": "1.4.6", "minimum-required": "1.0.0"})");
    std::string files = makerservice::Root() + "\\apps\\WireApp\\files";
    CreateDirectoryA(files.c_str(), nullptr);
    CreateDirectoryA((files + "\\skin").c_str(), nullptr);
    WriteFile(files + "\\abc.txt", "abc");
    WriteFile(files + "\\skin\\empty.png", "");

    Reply plain = Get("/latest/WireApp", nullptr);
    Reply packed = Get("/latest/WireApp", "deflate");
    ASSERT_EQ(CURLE_OK, packed.code);
    EXPECT_EQ(200, packed.status);
    EXPECT_NE(std::string::npos, packed.headers.find("Content-Encoding: deflate"));
    EXPECT_EQ(std::string::npos, plain.headers.find("Content-Encoding"));
    EXPECT_EQ(plain.body, packed.body);

    Json::Value manifest;
    std::istringstream(packed.body) >> manifest;
    EXPECT_EQ("1.4.6", manifest["version"].asString());
    ASSERT_EQ(2u, manifest["files"].size());
    EXPECT_EQ("abc.txt", manifest["files"][0]["path"].asString());
    EXPECT_EQ(3u, manifest["files"][0]["size"].asUInt());
    EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", manifest["files"][0]["digest"].asString());
    EXPECT_EQ("skin\\empty.png", manifest["files"][1]["path"].asString());
    EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", manifest["files"][1]["digest"].asString());

    Reply version = Get("/version/WireApp", "deflate");
    Json::Value versions;
    std::istringstream(version.body) >> versions;
    EXPECT_EQ("1.4.6", versions["latest-version"].asString());
    EXPECT_EQ("1.0.0", versions["minimum-required"].asString());
}

TEST_F(MakerServiceWireTest, MultipartUploadIsStoredWhole)
{
    // Large enough that the HTTP library asks for "100 Continue" first.
    std::string zip = "PK\x03\x04";
    for (int i = 0; zip.size() < 300000; ++i)
        zip += static_cast<char>(i * 7 + (i >> 9));
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + "Vantorin202612092300Log.zip";
    WriteFile(path, zip);

    CURL* curl = curl_easy_init();
    curl_mime* form = curl_mime_init(curl);
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, "reqformat");
    curl_mime_data(part, "plain", CURL_ZERO_TERMINATED);
    part = curl_mime_addpart(form);
    curl_mime_name(part, "file");
    // The temporary folder lies in the user's profile, whose name may be
    // Chinese; the HTTP library reads file names as UTF-8.
    curl_mime_filedata(part, WideToUtf8(AnsiToWide(path)).c_str());
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    Reply reply = Perform(curl, "/upload");
    curl_mime_free(form);
    DeleteFileA(path.c_str());

    ASSERT_EQ(CURLE_OK, reply.code);
    EXPECT_EQ(200, reply.status) << reply.body;
    Json::Value uploads = Control("/control/uploads");
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ("plain", uploads[0]["reqformat"].asString());
    EXPECT_EQ("Vantorin202612092300Log.zip", uploads[0]["filename"].asString());
    EXPECT_TRUE(ReadFile(makerservice::Root() + "\\uploads\\1.zip") == zip);
}

TEST_F(MakerServiceWireTest, FaultsAsTheClientSeesThem)
{
    Control("/control/version", R"({"app": "WireApp", "latest-version": "1.4.6", "minimum-required": "1.0.0"})");
    struct Case {
        const char* fault;
        CURLcode code;
        long status;
    };
    const Case cases[] = {
        {"404", CURLE_OK, 404},
        {"500", CURLE_OK, 500},
        {"notjson", CURLE_OK, 200},
        {"hang", CURLE_OPERATION_TIMEDOUT, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        std::string body = std::string(R"({"path": "/version/WireApp", "fault": ")") + c.fault + R"(", "count": 1})";
        Control("/control/fault", body.c_str());
        Reply reply = Get("/version/WireApp", "deflate", 3);
        EXPECT_EQ(c.code, reply.code);
        EXPECT_EQ(c.status, reply.status);
        Json::Value value;
        Json::CharReaderBuilder builder;
        std::string errors;
        std::istringstream stream(reply.body);
        EXPECT_FALSE(Json::parseFromStream(builder, stream, &value, &errors) && value.isObject());
        // The count of 1 is used up: the next request is served normally.
        EXPECT_EQ(200, Get("/version/WireApp", "deflate").status);
    }
}

}  // namespace
