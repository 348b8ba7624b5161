#include "app/SplashController.h"

#include <filesystem>

#include "platform/Alerts.h"
#include "platform/Application.h"
#include "platform/Drawer.h"
#include "platform/ImageView.h"
#include "platform/Services.h"
#include "platform/Workspace.h"

namespace {

const char* const kSplashImage = "splash.icns";
const char* const kApplicationPath = "/Applications/Corvane.app";
const char* const kMediaFolder = "/Mac/Corvane/";
const char* const kMediaApplication = "Corvane.app";
const char* const kHelpPage = "help/index.html";

void launchAndQuit(platform::Workspace& workspace, const std::string& path)
{
    // Whether the launch worked is not looked at: once the program is found, the user has
    // chosen to switch, and this application ends (saving its settings on the way).
    workspace.launchApplication(path);
    if (platform::Application* application = platform::services().application)
        application->terminate();
}

}  // namespace

void SplashController::awakeFromNib()
{
    if (m_splashImageView) m_splashImageView->setImageNamed(kSplashImage);
    if (m_splashDrawer) m_splashDrawer->open();
}

void SplashController::onCorvane()
{
    platform::Workspace* workspace = platform::services().workspace;
    if (!workspace) return;

    if (workspace->isExecutableFileAtPath(kApplicationPath)) {
        launchAndQuit(*workspace, kApplicationPath);
        return;
    }
    for (const std::string& mount : workspace->mountedRemovableMedia()) {
        const std::string candidate = pathWithComponents({mount, kMediaFolder, kMediaApplication});
        if (workspace->isExecutableFileAtPath(candidate)) {
            launchAndQuit(*workspace, candidate);
            return;
        }
    }
}

void SplashController::onLearnMore()
{
    const platform::Services& services = platform::services();
    if (!services.bundle || !services.workspace) return;
    const auto path = services.bundle->pathForResource(kHelpPage);
    if (!path || path->empty()) return;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(*path, error);
    if (error) return;
    services.workspace->openURL(fileURLWithPath(absolute.string()));
}

std::string SplashController::pathWithComponents(const std::vector<std::string>& components)
{
    std::string joined;
    for (const std::string& component : components) {
        if (component.empty()) continue;
        if (!joined.empty()) joined += '/';
        joined += component;
    }
    std::string path;
    for (const char c : joined)
        if (c != '/' || path.empty() || path.back() != '/') path += c;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string SplashController::fileURLWithPath(const std::string& path)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '/' || byte == '-' ||
                           byte == '.' || byte == '_' || byte == '~';
        if (plain) {
            url += c;
        } else {
            url += '%';
            url += hex[byte >> 4];
            url += hex[byte & 0x0F];
        }
    }
    return url;
}
