// SPDX-License-Identifier: BSD-2-Clause
// The window reading a network receiver: a tcp:// source served by the test on 127.0.0.1, and
// a gpsd:// one whose "gpsd" is the test too. Sentences and UBX frames come through the same
// pipeline as from a port; commands and correction frames go back whole; a lost source is
// connected again.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "serial/ReceiverCommands.h"
#include "integration/GPSControllerHarness.h"
#include "sources/CorrectionQueue.h"

namespace {

using namespace std::chrono_literals;

// One listening socket on 127.0.0.1 with an ephemeral port, and the peer it accepted.
class Server {
public:
    Server()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 2) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    ~Server()
    {
        dropPeer();
        if (m_listener >= 0) ::close(m_listener);
    }
    std::uint16_t port = 0;

    // A waiting connection taken, without waiting.
    bool tryAccept()
    {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, 0) <= 0) return false;
        m_peer = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        return m_peer >= 0;
    }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(::send(m_peer, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    // What the peer sent so far, without waiting.
    std::string& received()
    {
        char buffer[4096];
        pollfd entry{m_peer, POLLIN, 0};
        while (::poll(&entry, 1, 0) > 0) {
            const ssize_t got = ::recv(m_peer, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            m_received.append(buffer, static_cast<std::size_t>(got));
        }
        return m_received;
    }
    void dropPeer()
    {
        if (m_peer >= 0) ::close(m_peer);
        m_peer = -1;
        m_received.clear();
    }

private:
    int m_listener = -1;
    int m_peer = -1;
    std::string m_received;
};

// A UBX ACK-ACK for CFG-VALSET (class 0x06, id 0x8A), checksum included.
std::string ackFrame()
{
    std::string frame = {'\xB5', '\x62', '\x05', '\x01', '\x02', '\x00', '\x06', '\x8A'};
    std::uint8_t a = 0, b = 0;
    for (std::size_t i = 2; i < frame.size(); ++i) {
        a = static_cast<std::uint8_t>(a + static_cast<std::uint8_t>(frame[i]));
        b = static_cast<std::uint8_t>(b + a);
    }
    frame.push_back(static_cast<char>(a));
    frame.push_back(static_cast<char>(b));
    return frame;
}

class ReceiverReaderSourceTest : public harness::ControllerTest {
protected:
    // The reader thread takes from it until TearDown stops the reader: a fixture member, so
    // that it outlives the thread, also when a test ends early.
    CorrectionQueue corrections;
};

TEST_F(ReceiverReaderSourceTest, TcpSourceIsReadWrittenWholeAndConnectedAgainWhenItComesBack)
{
    Server server;
    ASSERT_NE(server.port, 0);
    const std::string name = "tcp://127.0.0.1:" + std::to_string(server.port);
    std::vector<binary::UbxRecord> ubx;
    controller().setSource(name);
    controller().setCorrections(&corrections);
    controller().setUbxListener([&](const binary::UbxRecord& record) { ubx.push_back(record); });
    wake();
    ASSERT_TRUE(until([&] { return server.tryAccept(); })) << "the reader never connected";

    server.send(controllertest::onTheWire("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
                ackFrame());
    ASSERT_TRUE(until([&] { return window->latitude.value.has_value() && !ubx.empty(); }, 5.0));
    EXPECT_TRUE(monitorView.contains("#### Open " + name));
    EXPECT_TRUE(controller().hasConnection());
    EXPECT_EQ(window->utc.text, "12:35:19");
    ASSERT_EQ(ubx.size(), 1u);
    const auto* ack = std::get_if<binary::UbxAck>(&ubx[0]);
    ASSERT_NE(ack, nullptr);
    EXPECT_TRUE(ack->accepted);

    // A command and a correction frame, each whole: the reader writes them between reads.
    const std::string command(300, 'C');
    const std::string frame(700, 'R');
    corrections.push(std::vector<std::uint8_t>(frame.begin(), frame.end()));
    controller().sendToReceiver(std::vector<std::uint8_t>(command.begin(), command.end()));
    ASSERT_TRUE(until([&] { return server.received().size() >= command.size() + frame.size(); }, 5.0));
    const std::string& got = server.received();
    // The first UBX frame also had the receiver asked who it is (MON-VER poll) beforehand.
    EXPECT_NE(got.find(command), std::string::npos);
    EXPECT_NE(got.find(frame), std::string::npos);

    // The other end goes away: told, then connected again once it listens anew.
    platform.bundle.entries = {{"DoctorReconnected", "%@ is back"}};
    server.dropPeer();
    ASSERT_TRUE(until([&] { return !platform.alerts.sheets.empty(); }, 5.0));
    EXPECT_FALSE(controller().hasConnection());
    EXPECT_EQ(platform.alerts.sheets.back().message, "ConnectionLost");
    EXPECT_EQ(platform.alerts.sheets.back().informative, name);
    EXPECT_FALSE(window->latitude.value.has_value()) << "the read-outs of a lost source are cleared";
    ASSERT_TRUE(until([&] { return server.tryAccept(); })) << "the reader did not try again";
    EXPECT_TRUE(until([&] { return monitorView.contains(name + " is back"); }, 5.0));
}

TEST_F(ReceiverReaderSourceTest, GpsdSourceIsReadAndRefusesWritesWithAMessage)
{
    Server gpsd;
    ASSERT_NE(gpsd.port, 0);
    controller().setSource("gpsd://127.0.0.1:" + std::to_string(gpsd.port));
    wake();
    ASSERT_TRUE(until([&] { return gpsd.tryAccept(); }));
    ASSERT_TRUE(until([&] { return gpsd.received().find("?WATCH=") != std::string::npos; }, 5.0));
    gpsd.send("{\"class\":\"VERSION\",\"release\":\"3.22\"}\r\n" +
              controllertest::onTheWire("$GPVTG,054.7,T,,M,5.5,N,,K"));
    ASSERT_TRUE(until([&] { return window->sog.value.has_value(); }, 5.0));
    EXPECT_FLOAT_EQ(*window->cog.value, 54.7f);
    EXPECT_FALSE(monitorView.contains("VERSION")) << "gpsd's own reports are not receiver lines";

    const std::size_t before = gpsd.received().size();
    controller().sendToReceiver({0xB5, 0x62, 0x06, 0x04});
    EXPECT_TRUE(until([&] { return monitorView.contains("GpsdWriteRefused"); }, 5.0));
    EXPECT_EQ(gpsd.received().size(), before) << "nothing reached gpsd";
    EXPECT_FALSE(controller().requestRestart(RestartDepth::Cold)) << "no restart through gpsd";
}

TEST_F(ReceiverReaderSourceTest, AnAddressThatCannotBeReadIsToldAndNothingIsOpened)
{
    const struct {
        const char* text;
        bool fromPreferences;
    } cases[] = {{"ntrip://user@127.0.0.1:1/MOUNT", false}, {"tcp://127.0.0.1", true}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.text);
        platform.alerts.sheets.clear();
        window = std::make_unique<controllertest::MainWindow>();
        window->controller->setSleeper(&sleeper);
        if (k.fromPreferences)
            platform.preferences.values["SourceURL"] = platform::PreferenceValue(std::string(k.text));
        else
            controller().setSource(k.text);
        controller().start();
        ASSERT_FALSE(platform.alerts.sheets.empty());
        EXPECT_EQ(platform.alerts.sheets[0].message, "sourceUnusable");
        EXPECT_FALSE(platform.alerts.sheets[0].informative.value_or("").empty());
        controller().onGPSConnect();
        EXPECT_FALSE(controller().hasConnection());
        controller().shutdown();
    }
}

}  // namespace
