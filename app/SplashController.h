// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {
class Button;
class Drawer;
class ImageView;
class View;
}  // namespace platform

// The splash drawer: shows the product picture and offers to start the main navigation
// application (ending this one) or, where there is none, to show the current position on the
// desktop's map; and to open the help page. Main thread only.
class SplashController {
public:
    // Outlets, set by the window description before start; not owned.
    void setSplashDrawer(platform::Drawer* drawer) { m_splashDrawer = drawer; }
    void setSplashImageView(platform::ImageView* view) { m_splashImageView = view; }
    void setSplashView(platform::View* view) { m_splashView = view; }
    // The drawer's first button: "Start Corvane" or "Show on Map".
    void setLaunchButton(platform::Button* button) { m_launchButton = button; }

    // Shows the picture, titles the first button after what it will do and opens the drawer.
    void start();
    // The first button's action: onCorvane when the application was found on waking, else
    // onShowOnMap.
    void onLaunch();
    // Starts the main navigation application from the applications folder or, failing that,
    // from the first removable disk that carries it, then ends this application. Does
    // nothing when it is nowhere.
    void onCorvane();
    // Opens the help page in the user's browser; silent when it cannot.
    void onLearnMore();
    // Opens the current position as a geo: address through the desktop (a map application);
    // says so on the window when the desktop cannot open it. Nothing while no position is known.
    void onShowOnMap();

    // The latest valid position from the window controller (degrees, north and east
    // positive); clearPosition when it is gone. "Show on Map" is enabled only with one.
    void setPosition(float latitudeDegrees, float longitudeDegrees);
    void clearPosition();
    // Whether the first button starts the navigation application (else it shows the map).
    bool launchesApplication() const { return m_applicationFound; }

    // "geo:48.16315,11.52527": five decimals (about a metre), a point whatever the locale.
    static std::string geoURI(float latitudeDegrees, float longitudeDegrees);

    // Joins path components with "/", a doubled separator counting as one.
    static std::string pathWithComponents(const std::vector<std::string>& components);
    // A file:// address for an absolute path, with the bytes a URL may not carry escaped.
    static std::string fileURLWithPath(const std::string& path);

private:
    platform::Drawer* m_splashDrawer = nullptr;
    platform::ImageView* m_splashImageView = nullptr;
    platform::View* m_splashView = nullptr;  // the drawer's content; not used by the code
    platform::Button* m_launchButton = nullptr;
    bool m_applicationFound = false;
    struct Position {
        float latitudeDegrees;
        float longitudeDegrees;
    };
    std::optional<Position> m_position;

    // Where the navigation application is, in the order onCorvane looks; nothing when nowhere.
    std::optional<std::string> findApplication() const;
    void updateLaunchButton();
};
