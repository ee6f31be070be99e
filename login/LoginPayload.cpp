#include "login/LoginPayload.h"

#include <json/reader.h>
#include <json/value.h>

#include <cstring>
#include <exception>

#include "app/LoginApp.h"
#include "login/GameLaunch.h"
#include "login/LauncherDownload.h"
#include "login/TextConversion.h"
#include "platform/File.h"
#include "platform/MainLoop.h"

namespace {

constexpr char16_t kLogFileName[] = u"log.txt";

// "log.txt", opened for appending; created readable by its owner only, since it holds
// credentials. When it cannot be opened every write does nothing.
class LoginLog {
public:
    LoginLog() {
        try {
            m_file.emplace(kLogFileName,
                           platform::CFile::modeCreate | platform::CFile::modeNoTruncate |
                               platform::CFile::modeWrite | platform::CFile::modeAppend |
                               platform::CFile::shareDenyNone,
                           platform::FileAccess::OwnerOnly);
        } catch (const platform::CFileException&) {
        }
    }

    void WriteLine(std::string line) {
        if (!m_file) return;
        line += '\n';
        try {
            m_file->Write(line.data(), line.size());
        } catch (const platform::CFileException&) {
            m_file.reset();
        }
    }

private:
    std::optional<platform::CFile> m_file;
};

// The member's text: a string up to its first NUL, a number or boolean as written.
std::optional<std::string> MemberText(const Json::Value& root, const char* key,
                                      const std::string& source) {
    const Json::Value* value = root.find(key, key + std::strlen(key));
    if (!value) return std::nullopt;
    if (value->isString()) return std::string(value->asCString());
    if (value->isNumeric() || value->isBool()) {
        const ptrdiff_t start = value->getOffsetStart();
        const ptrdiff_t limit = value->getOffsetLimit();
        if (start >= 0 && limit >= start && static_cast<size_t>(limit) <= source.size()) {
            return source.substr(static_cast<size_t>(start), static_cast<size_t>(limit - start));
        }
        return value->asString();
    }
    return std::nullopt;
}

}  // namespace

std::optional<LoginResult> ParseLoginResult(const std::string& json) {
    try {
        Json::Reader reader;
        Json::Value root;
        if (!reader.parse(json, root, true) || !root.isObject()) return std::nullopt;
        LoginResult result;
        const std::pair<const char*, std::string*> members[] = {
            {"uid", &result.uid},     {"token", &result.token}, {"server_id", &result.serverId},
            {"other", &result.other}, {"sign", &result.sign},
        };
        for (const auto& [key, target] : members) {
            std::optional<std::string> text = MemberText(root, key, json);
            if (!text) return std::nullopt;
            *target = std::move(*text);
        }
        return result;
    } catch (const std::exception&) {  // JsonCpp throws on nesting deeper than it allows
        return std::nullopt;
    }
}

std::u16string BuildCredential(const LoginResult& result) {
    return NarrowToWide(result.token) + u"&" + NarrowToWide(result.serverId) + u"&" +
           NarrowToWide(result.other) + u"&" + NarrowToWide(result.sign);
}

void SetLoginData(const std::u16string& loginData) {
    theApp.m_strLoginData = WideToNarrow(loginData);
}

bool RecordLogin(const std::u16string& json) {
    LoginLog log;
    log.WriteLine(WideToNarrow(json));
    const std::optional<LoginResult> result = ParseLoginResult(WideToNarrow(json));
    if (!result) return false;
    const std::u16string credential = BuildCredential(*result);
    log.WriteLine(WideToNarrow(credential));
    SetLoginData(NarrowToWide(result->uid) + u"," + credential);
    return true;
}

namespace {

// One hand-off at a time: a download runs the main loop, so another login could arrive
// meanwhile; and once a start was attempted the program is ending.
bool g_handOffRunning = false;

template <typename Step>
void RunOneHandOff(Step step) {
    if (g_handOffRunning || platform::IsQuitPending()) return;
    g_handOffRunning = true;
    struct Reset {
        ~Reset() { g_handOffRunning = false; }
    } reset;
    step();
}

}  // namespace

void HandOffLogin(const std::u16string& json, const std::function<void()>& dropElementHooks,
                  LauncherDownloadView* view) {
    RunOneHandOff([&] {
        if (!RecordLogin(json)) return;
        EnsureLauncherAndLaunch(view);
        if (dropElementHooks) dropElementHooks();
    });
}

void HandOffCodeCallback(const std::u16string& url, const std::function<void()>& dropElementHooks) {
    RunOneHandOff([&] {
        LaunchGameClient(url);
        if (dropElementHooks) dropElementHooks();
    });
}
