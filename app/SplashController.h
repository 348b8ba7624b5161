#pragma once

#include <string>
#include <vector>

namespace platform {
class Drawer;
class ImageView;
class View;
}  // namespace platform

// The splash drawer: shows the product picture and offers to start the main navigation
// application (ending this one) or to open the help page. Main thread only.
class SplashController {
public:
    // Outlets, set by the window description before awakeFromNib; not owned.
    void setSplashDrawer(platform::Drawer* drawer) { m_splashDrawer = drawer; }
    void setSplashImageView(platform::ImageView* view) { m_splashImageView = view; }
    void setSplashView(platform::View* view) { m_splashView = view; }

    // Shows the picture and opens the drawer.
    void awakeFromNib();
    // Starts the main navigation application from the applications folder or, failing that,
    // from the first removable disk that carries it, then ends this application. Does
    // nothing when it is nowhere.
    void onCorvane();
    // Opens the help page in the user's browser; silent when it cannot.
    void onLearnMore();

    // Joins path components with "/", a doubled separator counting as one.
    static std::string pathWithComponents(const std::vector<std::string>& components);
    // A file:// address for an absolute path, with the bytes a URL may not carry escaped.
    static std::string fileURLWithPath(const std::string& path);

private:
    platform::Drawer* m_splashDrawer = nullptr;
    platform::ImageView* m_splashImageView = nullptr;
    platform::View* m_splashView = nullptr;  // the drawer's content; not used by the code
};
