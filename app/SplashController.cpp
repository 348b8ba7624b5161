// SPDX-License-Identifier: BSD-2-Clause
#include "app/SplashController.h"

#include <array>
#include <charconv>
#include <filesystem>

#include "platform/Alerts.h"
#include "platform/Alert.h"
#include "platform/Application.h"
#include "platform/Button.h"
#include "platform/Drawer.h"
#include "platform/ImageView.h"
#include "platform/Services.h"
#include "platform/Workspace.h"

namespace {

const char* const kSplashImage = "splash.png";
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

void SplashController::start()
{
    if (m_splashImageView) m_splashImageView->setImageNamed(kSplashImage);
    m_applicationFound = findApplication().has_value();
    updateLaunchButton();
    if (m_splashDrawer) m_splashDrawer->open();
}

std::optional<std::string> SplashController::findApplication() const
{
    platform::Workspace* workspace = platform::services().workspace;
    if (!workspace) return std::nullopt;
    if (workspace->isExecutableFileAtPath(kApplicationPath)) return kApplicationPath;
    for (const std::string& mount : workspace->mountedRemovableMedia()) {
        std::string candidate = pathWithComponents({mount, kMediaFolder, kMediaApplication});
        if (workspace->isExecutableFileAtPath(candidate)) return candidate;
    }
    return std::nullopt;
}

void SplashController::onCorvane()
{
    if (const auto path = findApplication())
        launchAndQuit(*platform::services().workspace, *path);
}

void SplashController::onLaunch()
{
    if (m_applicationFound)
        onCorvane();
    else
        onShowOnMap();
}

void SplashController::onShowOnMap()
{
    if (!m_position) return;
    platform::Workspace* workspace = platform::services().workspace;
    const bool opened =
        workspace && workspace->openURL(geoURI(m_position->latitudeDegrees, m_position->longitudeDegrees));
    if (!opened) Alert::showMessageWithKey("NoMapApplication");
}

void SplashController::setPosition(float latitudeDegrees, float longitudeDegrees)
{
    const bool had = m_position.has_value();
    m_position = Position{latitudeDegrees, longitudeDegrees};
    if (!had) updateLaunchButton();
}

void SplashController::clearPosition()
{
    if (!m_position) return;
    m_position.reset();
    updateLaunchButton();
}

void SplashController::updateLaunchButton()
{
    if (!m_launchButton) return;
    m_launchButton->setTitle(Alert::localizedStringWithKey(
        m_applicationFound ? "button.startCompanion" : "button.showOnMap"));
    m_launchButton->setEnabled(m_applicationFound || m_position.has_value());
}

std::string SplashController::geoURI(float latitudeDegrees, float longitudeDegrees)
{
    std::string uri = "geo:";
    for (const float degrees : {latitudeDegrees, longitudeDegrees}) {
        std::array<char, 32> digits{};
        const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(),
                                                static_cast<double>(degrees),
                                                std::chars_format::fixed, 5);
        if (error != std::errc()) return {};
        if (uri.size() > 4) uri += ',';
        uri.append(digits.data(), end);
    }
    return uri;
}

void SplashController::onLearnMore()
{
    const platform::Services& services = platform::services();
    const auto path = services.bundle ? services.bundle->pathForResource(kHelpPage) : std::nullopt;
    if (!path || path->empty()) {
        Alert::showMessageWithKey("NoHelpPage");
        return;
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(*path, error);
    if (error) absolute = *path;
    // Without a program to open it (no xdg-open), the user can still be told where it is.
    if (!services.workspace || !services.workspace->openURL(fileURLWithPath(absolute.string())))
        Alert::showMessage(Alert::localizedStringWithKey("HelpNotOpened", {absolute.string()}));
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
