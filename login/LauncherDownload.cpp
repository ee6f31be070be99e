#include "login/LauncherDownload.h"

#include <memory>
#include <optional>
#include <vector>

#include "app/LoginApp.h"
#include "app/Settings.h"
#include "login/GameLaunch.h"
#include "login/TextConversion.h"
#include "platform/Digest.h"
#include "platform/File.h"
#include "platform/Internet.h"
#include "platform/MainLoop.h"
#include "platform/Module.h"

namespace {

constexpr char16_t kUserAgent[] = u"qarvelle-login";
constexpr size_t kCopyBufferBytes = 256 * 1024;

using platform::CFileException;

// Fetches the launcher into `path`. Returns true when the complete file is in place; on a file
// error returns false with the error in `fileError`, to be shown once the network is released.
bool FetchLauncher(const std::u16string& path, std::optional<CFileException>& fileError,
                   LauncherDownloadView* view) {
    unsigned service = 0;
    std::u16string server, object;
    platform::INTERNET_PORT port = 0;
    platform::AfxParseURL(LauncherDownloadAddress(), service, server, object, port);

    platform::CInternetSession session(kUserAgent);
    const std::unique_ptr<platform::CHttpConnection> connection =
        session.GetHttpConnection(server, port, service == platform::AFX_INET_SERVICE_HTTPS);
    if (!connection) return false;
    const std::unique_ptr<platform::CHttpFile> request =
        connection->OpenRequest(platform::HTTP_VERB_GET, object);
    if (!request) return false;
    try {
        request->SendRequest();
        if (request->QueryInfoStatusCode() != platform::HTTP_STATUS_OK) return false;
        const uint64_t limit = GetLauncherSizeLimit();
        const std::optional<uint64_t> announced = request->QueryContentLength();
        if (announced && *announced > limit) return false;

        platform::CStagedFile::RemoveStale(path);
        platform::CStagedFile file(path);
        const std::optional<std::string> expected = GetLauncherSha256();
        std::optional<platform::CSha256> digest;  // only when there is one to match
        if (expected) digest.emplace();
        std::vector<char> buffer(kCopyBufferBytes);
        while (const size_t n = request->Read(buffer.data(), buffer.size())) {
            if (n > limit - file.BytesWritten()) return false;  // an endless body
            file.Write(buffer.data(), n);
            if (digest) digest->Update(buffer.data(), n);
            if (view) view->ShowDownloadProgress(file.BytesWritten(), announced);
        }
        if (file.BytesWritten() == 0 || (announced && *announced != file.BytesWritten())) {
            return false;
        }
        if (digest && digest->HexDigest() != *expected) return false;  // not the operator's
        file.Commit(platform::FileAccess::Executable);
        return true;
    } catch (const platform::CInternetException&) {
        return false;
    } catch (const CFileException& e) {
        fileError = e;
        return false;
    }
}

// Whether the launcher lies at `path` and, when its digest is known, matches it; one that does
// not match is fetched again and replaced.
bool PresentLauncherIsGenuine(const std::u16string& path) {
    if (!platform::PathFileExistsW(path)) return false;
    const std::optional<std::string> expected = GetLauncherSha256();
    return !expected || platform::Sha256OfFile(path) == *expected;
}

}  // namespace

std::u16string LauncherPath() {
    return GetModuleDirectory() + u"/" + kLauncherFileName;
}

std::u16string LauncherDownloadAddress() {
    return HostBaseAddress(GetDownloadHost()) + kLauncherObjectPath;
}

void EnsureLauncherAndLaunch(LauncherDownloadView* view) {
    const std::u16string path = LauncherPath();
    if (!PresentLauncherIsGenuine(path)) {
        std::optional<CFileException> fileError;
        const bool fetched = FetchLauncher(path, fileError, view);
        if (view) view->HideDownloadProgress();
        if (fileError) fileError->ReportError();
        if (!fetched) {
            // A file error has said what went wrong; a cancelled download needs no word.
            if (view && !fileError && !platform::IsQuitPending()) view->ShowDownloadFailed();
            return;
        }
    }
    LaunchGameClient(NarrowToWide(theApp.m_strLoginData));
}
