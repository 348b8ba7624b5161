// SPDX-License-Identifier: BSD-2-Clause
// Draws the sky plot, the compass tape, the data-ready lamp and the receiver test through the same canvas the
// program uses, into PNG files, so the instruments can be looked at without a receiver.
// Each recorded NMEA log named after the folder gives one more sky plot, of the sky at the
// log's end: skyplot-NAME.png.
//
// Each log also gives the receiver test as it stands after replaying it:
// receiver-test-NAME.png. The simulated receiver's cold restart is always drawn.
//
//   gpsdesk-render OUTPUT_FOLDER [LOG...]

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <filesystem>
#include <fstream>
#include <string>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "receiver/ReceiverState.h"
#include "instruments/SatelliteStore.h"
#include "stream/SentencePipeline.h"
#include "receiver/Satellite.h"
#include "platform/Services.h"
#include "platform/View.h"
#include "posix/StringsBundle.h"
#include "qt/QtCanvas.h"
#include "sim/Scenario.h"
#include "instruments/CompassView.h"
#include "instruments/DataLampView.h"
#include "app/ReceiverTestController.h"
#include "quality/ReceiverTest.h"
#include "instruments/ReceiverTestView.h"
#include "instruments/SkyPlotView.h"

namespace {

// A host of fixed size; redraw requests are not needed off screen.
class FixedHost : public platform::ViewHost {
public:
    FixedHost(float width, float height) : m_bounds{0, 0, width, height} {}
    void setNeedsDisplay() override {}
    platform::Rect bounds() const override { return m_bounds; }

private:
    platform::Rect m_bounds;
};

// Renders at twice the size so the picture stays crisp on dense screens.
bool render(platform::View& view, float width, float height, const std::filesystem::path& file)
{
    FixedHost host(width, height);
    view.setHost(&host);
    constexpr int kScale = 2;
    QImage image(static_cast<int>(width) * kScale, static_cast<int>(height) * kScale,
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xf0, 0xf0, 0xf0));
    {
        QPainter painter(&image);
        painter.scale(kScale, kScale);
        qtplatform::QtCanvas canvas(painter, height);
        view.drawRect(canvas, host.bounds());
    }
    view.setHost(nullptr);
    const bool saved = image.save(QString::fromStdString(file.string()), "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.c_str());
    return saved;
}

constexpr float kFeetPerMetre = 3.2808399200439453f;

// Folds a recorded log through the receiver model, as the reader would, and hands the sky at
// its end to the store. The log's own fix times stand for the clock, so satellites the
// receiver stopped listing age out as they would live. Satellites in view, or nothing when
// the log cannot be read.
std::optional<std::size_t> loadSky(const std::filesystem::path& log, SatelliteStore& store)
{
    std::ifstream input(log);
    if (!input) return std::nullopt;
    ReceiverState state;
    double nowSeconds = 0.0;
    for (std::string line; std::getline(input, line);) {
        const LineResult result = SentencePipeline::decodeText(line);
        if (result.kind != LineResult::Kind::Decoded) continue;
        state.apply(*result.record, nowSeconds);
        if (const auto& time = state.time())
            nowSeconds = time->hours * 3600.0 + time->minutes * 60.0 + time->seconds;
    }
    state.expire(nowSeconds);
    store.setSatellitesInView(state.satellites());
    store.setMeters(true);
    store.setDop(state.pdop().value_or(0.0f), state.hdop().value_or(0.0f), state.vdop().value_or(0.0f));
    store.setAltitude(state.altitudeMeters().value_or(0.0f) * kFeetPerMetre);
    return state.satellitesInView();
}

// Ten minutes of a receiver standing in a yard with a building to the north-west: after a
// hot and a warm start, a cold start; fixes scattered about a metre; satellites of four
// systems crossing the sky, those behind the building weak or lost.
void scriptReceiverTest(ReceiverTest& test)
{
    std::uint64_t state = 12345;
    const auto uniform = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    };
    const auto gaussian = [&] {
        return std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * std::numbers::pi * uniform());
    };
    test.started(-400.0, RunStart::HotRestart);
    test.sentence(-399.4);
    test.position(-399.4, 0, std::nullopt);
    test.position(-397.8, 3, std::nullopt);
    test.started(-300.0, RunStart::WarmRestart);
    test.sentence(-299.1);
    test.position(-299.1, 0, std::nullopt);
    test.position(-271.0, 2, std::nullopt);
    test.position(-269.5, 3, std::nullopt);
    test.started(-50.0, RunStart::ColdRestart);
    test.sentence(-49.2);

    struct Orbit {
        Constellation system;
        int svid;
        double elevation, azimuth, snr;
    };
    const Orbit orbits[] = {
        {Constellation::GPS, 2, 71, 40, 44},      {Constellation::GPS, 5, 48, 130, 41},
        {Constellation::GPS, 7, 15, 200, 33},     {Constellation::GPS, 9, 33, 300, 42},
        {Constellation::GPS, 12, 8, 20, 30},      {Constellation::GPS, 15, 60, 250, 46},
        {Constellation::GPS, 18, 25, 95, 38},     {Constellation::GLONASS, 67, 56, 54, 40},
        {Constellation::GLONASS, 68, 22, 330, 36}, {Constellation::GLONASS, 82, 51, 77, 39},
        {Constellation::Galileo, 3, 44, 149, 40}, {Constellation::Galileo, 15, 18, 290, 39},
        {Constellation::Galileo, 27, 24, 268, 35}, {Constellation::BeiDou, 27, 78, 59, 44},
        {Constellation::BeiDou, 28, 29, 115, 34}, {Constellation::BeiDou, 30, 12, 312, 36},
    };
    const GeodeticPosition home{48.1173, 11.5167, 545.4};
    const LocalTangentPlane plane(home);
    for (int second = -50; second <= 600; ++second) {
        const double t = second;
        const bool searching = second < -40;
        const bool fixed = second >= -14;
        test.sentence(t);
        std::vector<SatelliteInView> sky;
        for (const Orbit& orbit : orbits) {
            SatelliteInView s;
            s.constellation = orbit.system;
            s.svid = orbit.svid;
            s.elevationDegrees = static_cast<int>(std::lround(orbit.elevation + 6.0 * std::sin(t / 300.0 + orbit.svid)));
            s.azimuthDegrees = static_cast<int>(std::lround(orbit.azimuth + t * 0.02 + 360.0)) % 360;
            const bool behindBuilding = s.azimuthDegrees > 280 && s.elevationDegrees < 35;
            double snr = orbit.snr + 3.0 * std::sin(t / 25.0 + orbit.svid) + gaussian();
            if (behindBuilding) snr -= 18.0;
            const bool acquired = !searching && second > -40 + (orbit.svid % 9) * 2;
            if (acquired && snr >= 12.0) s.snrDbHz = static_cast<int>(std::lround(snr));
            s.usedInFix = fixed && s.snrDbHz && *s.snrDbHz >= 30;
            sky.push_back(s);
        }
        test.satellites(t, sky);
        if (!fixed) {
            test.position(t, 0, std::nullopt);
            continue;
        }
        FixSample fix;
        fix.timeSeconds = t;
        fix.position = plane.toGeodetic({0.55 * gaussian(), 0.8 * gaussian(), 2.0 * gaussian()});
        fix.hdop = 0.9f;
        fix.speedKnots = 0.05f;
        test.position(t, second < -12 ? 2 : 3, fix);
    }
}

// The simulated receiver's sentences, second by second, through the model into the test:
// two minutes standing, a cold restart, four more minutes.
void simulateColdRestart(ReceiverTestController& controller)
{
    sim::Scenario scenario(11, false);
    ReceiverState state;
    controller.setRestartSender([](RestartDepth) { return true; });
    controller.connected(0.0);
    for (int second = 0; second < 360; ++second) {
        if (second == 120) {
            controller.restart(RestartDepth::Cold, second);
            scenario.restart(4);
        }
        scenario.step();
        for (int sentence = 0; sentence < sim::kSentenceCount; ++sentence) {
            for (const std::string& line : scenario.sentences(static_cast<sim::Sentence>(sentence))) {
                controller.feedLine(state, line, second + 0.1 * (sentence + 1));
            }
        }
        controller.tick(second + 0.9);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: gpsdesk-render OUTPUT_FOLDER [LOG...]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);

    const auto resources = platform::posix::StringsBundle::findResourcesFolder();
    platform::posix::StringsBundle bundle(resources.value_or("resources"), std::vector<std::string>{});
    platform::services().bundle = &bundle;

    bool ok = true;

    // Ten satellites in view: strong, weak, one just risen, one without signal.
    SatelliteStore store;
    store.start();
    struct Sky {
        int number, elevation, azimuth, snr;
    };
    const Sky sky[] = {{2, 71, 40, 44},  {5, 48, 130, 41},  {7, 15, 200, 30}, {9, 33, 300, 38},
                       {12, 5, 20, 18},  {15, 60, 250, 46}, {18, 25, 95, 35}, {21, 2, 160, -1},
                       {26, 80, 330, 47}, {29, 38, 60, 39}};
    std::uint32_t slot = 0;
    for (const auto& s : sky) store.satellite(slot++)->set(s.number, s.elevation, s.azimuth, s.snr);
    store.update();
    store.setDop(1.8f, 1.2f, 1.4f);
    store.setAltitude(545.4f * 3.2808399200439453f);
    SkyPlotView skyPlot;
    skyPlot.setSatelliteStore(&store);
    ok &= render(skyPlot, 500, 236, out / "skyplot.png");

    for (unsigned heading : {0u, 137u, 350u}) {
        CompassView compass;
        compass.setRange(90);
        compass.setHeading(heading);
        ok &= render(compass, 460, 24, out / ("compass-" + std::to_string(heading) + ".png"));
    }

    for (unsigned state : {0u, 1u, 2u}) {
        DataLampView lamp;
        lamp.drawDataReady(state);
        ok &= render(lamp, 20, 20, out / ("lamp-" + std::to_string(state) + ".png"));
    }
    // The sky plot as big as the satellite drawer shows it.
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path log = argv[i];
        SatelliteStore logStore;
        logStore.start();
        const auto inView = loadSky(log, logStore);
        if (!inView) {
            std::fprintf(stderr, "cannot read %s\n", log.c_str());
            ok = false;
            continue;
        }
        std::printf("%s: %zu satellites in view\n", log.filename().c_str(), *inView);
        SkyPlotView logPlot;
        logPlot.setSatelliteStore(&logStore);
        ok &= render(logPlot, 460, 236, out / ("skyplot-" + log.stem().string() + ".png"));
    }
    ReceiverTest test;
    scriptReceiverTest(test);
    ReceiverTestView testView;
    testView.setReceiverTest(&test);
    testView.setNow(600.0);
    ok &= render(testView, 960, 620, out / "receiver-test.png");

    {
        ReceiverTestController controller;
        ReceiverTestView view;
        controller.setView(&view);
        simulateColdRestart(controller);
        ok &= render(view, 960, 620, out / "receiver-test-cold.png");
    }
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        std::ifstream log(path, std::ios::binary);
        ReceiverTestController controller;
        ReceiverTestView view;
        controller.setView(&view);
        ReceiverState state;
        controller.connected(0.0);
        // The log's own pace: one second per RMC.
        double now = 0.0;
        for (std::string line; std::getline(log, line);) {
            if (line.size() > 6 && line.compare(3, 3, "RMC") == 0) now += 1.0;
            controller.feedLine(state, line, now);
        }
        controller.tick(now);
        ok &= log.eof() && render(view, 960, 620, out / ("receiver-test-" + path.stem().string() + ".png"));
    }

    platform::services().bundle = nullptr;
    return ok ? 0 : 1;
}
